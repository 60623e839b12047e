// Arbitrary files imported as WAV files, into an empty track and into one holding audio: the
// import must never crash or misbehave; a refused file leaves the track exactly as it was, and
// an accepted one leaves a usable format and a stream in whole 1024-byte blocks.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSandbox.h"
#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "storage/SuperWaveFile.h"
#include "storage/TrackFormat.h"
#include "tracks/Channel.h"

namespace {

[[noreturn]] void Finding(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    abort();
}

// The format, the pieces and every byte of the stream.
std::string State(SuperWaveFile& file) {
    std::string state(reinterpret_cast<const char*>(&file.Format), sizeof file.Format);
    for (int32_t value : file.GetSegments())
        state += std::to_string(value) + ",";
    std::vector<uint8_t> bytes(static_cast<size_t>(file.GetTotalBytes()));
    file.ReadAt(0, bytes.data(), bytes.size());
    return state + std::string(bytes.begin(), bytes.end());
}

void Import(Channel& channel, int position_ms) {
    SuperWaveFile& file = *channel.GetChannelFile();
    const std::string before = State(file);
    try {
        channel.ImportWav("in.wav", position_ms);
    } catch (const DisplayedError&) {
        if (State(file) != before)
            Finding("a refused import changed the track");
        return;
    }
    if (!FormatProblem(file.Format).empty())
        Finding("an import left an unusable format");
    if (file.GetTotalBytes() % 1024 != 0)
        Finding("an import left a partial block");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterFuzzSandbox();
    BufferSize = 1024;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ClearSongFolder();
    TrimLogNowAndThen();
    if (size == 0 || size > (1 << 20))
        return 0;
    // Byte 0: bit 7 a cache, bit 6 a format on the empty track, bits 0-5 the position in
    // tenths of a second; then the file.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    WriteSongFile("in.wav", input.substr(1));
    CacheSize = data[0] & 0x80 ? 4096 : 0;
    const int position_ms = (data[0] & 0x3F) * 100;

    Channel empty;
    empty.GetChannelFile()->Open("channel1_");
    if (data[0] & 0x40)
        empty.SetFormat(false, true);
    Import(empty, position_ms);

    Channel holding;
    SuperWaveFile& file = *holding.GetChannelFile();
    file.Open("channel2_");
    holding.SetFormat(true, true);
    const std::vector<uint8_t> audio(3072, 0x5A);
    file.SeekFrames(100);
    file.AppendBytes(audio.data(), audio.size());
    file.Save();
    Import(holding, position_ms);
    CheckSentinel();
    return 0;
}
