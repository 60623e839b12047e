// Arbitrary metafiles and segment files: loading must never crash, never touch a file outside
// the song folder, and always leave a stream whose segments are sorted, disjoint and inside
// the 32-bit offset range, whatever is then written, cleared, saved and loaded again.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSandbox.h"
#include "storage/SegmentedFile.h"
#include "storage/StorageError.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        abort();
    }
}

void CheckStream(const SegmentedFile& stream) {
    int64_t previousEnd = 0;
    for (int i = 0; i < stream.GetSegmentCount(); ++i) {
        const FileSegment& segment = stream.GetSegment(i);
        Require(segment.Start >= previousEnd, "segments sorted and disjoint");
        Require(segment.Length >= 0 && segment.End() <= INT32_MAX, "segment within range");
        Require(segment.FileName.find('/') == std::string::npos && segment.FileName != "." &&
                    segment.FileName != "..",
                "segment file inside the song folder");
        previousEnd = segment.End();
    }
    Require(stream.GetTotalBytes() == previousEnd, "total length is the last segment's end");
}

void ReadAll(SegmentedFile& stream) {
    static std::vector<uint8_t> block(65536);
    int64_t total = std::min<int64_t>(stream.GetTotalBytes(), 1 << 20);
    for (int64_t at = -100; at < total + 100; at += static_cast<int64_t>(block.size()))
        stream.ReadAt(at, block.data(), block.size());
}

bool Load(SegmentedFile& stream) {
    try {
        stream.LoadMetafile("channel1_");
        return true;
    } catch (const StorageError&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterFuzzSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ClearSongFolder();
    TrimLogNowAndThen();
    // Part 0 is the metafile, parts 1-4 the files channel1_1 .. channel1_4.
    std::vector<std::string> parts = SplitInput(data, size, 5);
    WriteSongFile("channel1_", reinterpret_cast<const uint8_t*>(parts[0].data()), parts[0].size());
    for (size_t i = 1; i < parts.size(); ++i)
        WriteSongFile("channel1_" + std::to_string(i),
                      reinterpret_cast<const uint8_t*>(parts[i].data()), parts[i].size());
    // Things a metafile may name that are no segment files.
    symlink("../sentinel", "channel1_5");
    mkfifo("channel1_6", 0644);
    mkdir("channel1_7", 0755);

    SegmentedFile stream;
    Load(stream);
    CheckStream(stream);
    ReadAll(stream);

    // Edits on what was loaded, steered by the input's first bytes.
    uint32_t a = size > 0 ? data[0] : 0;
    uint32_t b = size > 1 ? data[1] : 0;
    int64_t total = stream.GetTotalBytes();
    int64_t at = (a * 7919) % (total + 300);
    std::vector<uint8_t> bytes(1 + b * 3, static_cast<uint8_t>(a));
    stream.WriteAt(at, bytes.data(), bytes.size());
    CheckStream(stream);
    try {
        stream.ClearRange(static_cast<int32_t>(at / 2), static_cast<int32_t>(at + b));
        stream.SaveMetafile();
    } catch (const StorageError&) {
    }
    CheckStream(stream);
    ReadAll(stream);

    SegmentedFile reloaded;
    Load(reloaded);
    CheckStream(reloaded);
    Require(reloaded.GetSegments() == stream.GetSegments(), "a saved stream loads back the same");
    stream.DeleteAll();
    CheckSentinel();
    return 0;
}
