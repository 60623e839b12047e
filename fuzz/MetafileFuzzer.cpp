// Arbitrary metafiles and segment files: loading must never crash, never touch a file outside
// the song folder, and always leave a stream whose segments are sorted, disjoint and inside
// the 32-bit offset range, whatever is then written, cleared, saved and loaded again.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
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

// Checks the stream's shape and reads all of it (past both ends too).
void CheckStream(SegmentedFile& stream) {
    int64_t end = 0;
    for (int i = 0; i < stream.GetSegmentCount(); ++i) {
        const FileSegment& segment = stream.GetSegment(i);
        Require(segment.Start >= end, "segments sorted and disjoint");
        Require(segment.Length >= 0 && segment.End() <= INT32_MAX, "segment within range");
        Require(segment.FileName.find('/') == std::string::npos && segment.FileName != "." &&
                    segment.FileName != "..",
                "segment file inside the song folder");
        end = segment.End();
    }
    Require(stream.GetTotalBytes() == end, "total length is the last segment's end");
    static std::vector<uint8_t> block(65536);
    for (int64_t at = -100; at < std::min<int64_t>(end, 1 << 20) + 100; at += 65536)
        stream.ReadAt(at, block.data(), block.size());
}

void Load(SegmentedFile& stream) {
    try {
        stream.LoadMetafile("channel1_");
    } catch (const StorageError&) {
    }
    CheckStream(stream);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterFuzzSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ClearSongFolder();
    TrimLogNowAndThen();
    // Split at zero bytes: the metafile, then the files channel1_1 .. channel1_4.
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && parts.size() < 5)
            parts.emplace_back();
        else
            parts.back().push_back(static_cast<char>(data[i]));
    }
    for (size_t i = 0; i < parts.size(); ++i)
        WriteSongFile(i == 0 ? "channel1_" : "channel1_" + std::to_string(i), parts[i]);
    // Things a metafile may name that are no segment files.
    symlink("../sentinel", "channel1_5");
    mkfifo("channel1_6", 0644);
    mkdir("channel1_7", 0755);

    SegmentedFile stream;
    Load(stream);
    // Edits on what was loaded, steered by the input's first bytes.
    // Offsets are worked out in 64 bits: a loaded stream may end just below 2 GiB, and a write
    // or a range reaching past that is part of what is tried here.
    const int64_t a = size > 0 ? data[0] : 0;
    const int64_t b = size > 1 ? data[1] : 0;
    const int64_t at = (a * 7919) % (int64_t{stream.GetTotalBytes()} + 300);
    std::vector<uint8_t> bytes(static_cast<size_t>(1 + b * 3), static_cast<uint8_t>(a));
    stream.WriteAt(at, bytes.data(), bytes.size());
    CheckStream(stream);
    try {
        // ClearRange takes 32-bit offsets: an end past the largest one is held at it.
        stream.ClearRange(static_cast<int32_t>(at / 2),
                          static_cast<int32_t>(std::min<int64_t>(at + b, INT32_MAX)));
        stream.SaveMetafile();
    } catch (const StorageError&) {
    }
    CheckStream(stream);

    SegmentedFile reloaded;
    Load(reloaded);
    Require(reloaded.GetSegments() == stream.GetSegments(), "a saved stream loads back the same");
    stream.DeleteAll();
    CheckSentinel();
    return 0;
}
