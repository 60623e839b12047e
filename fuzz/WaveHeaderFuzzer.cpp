// Arbitrary track header files ("_waveheader") with some audio behind them: opening the track,
// playing it, building its peaks and exporting it must never crash or misbehave, whatever
// format record the header holds.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "FuzzSandbox.h"
#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "storage/SuperWaveFile.h"
#include "storage/TrackFormat.h"

namespace {

// A format the engine may hold: a playable one, or none yet. Playable is judged here on its
// own, field by field: PCM, mono or stereo, 8 or 16 bits, and a block align that matches them
// (any other would skew every byte count of the track and the header of its export).
void RequireUsable(const WaveFormat& format) {
    const bool playable = format.FormatTag == 1 && (format.Channels == 1 || format.Channels == 2) &&
                          (format.BitsPerSample == 8 || format.BitsPerSample == 16) &&
                          format.BlockAlign == format.Channels * format.BitsPerSample / 8;
    if (!playable && !IsEmptyFormat(format)) {
        std::fprintf(stderr, "an unusable format was taken\n");
        abort();
    }
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
    if (size == 0)
        return 0;
    // Byte 0: header length (0-40), bit 7 a cache; then the header; then the audio.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view header = input.substr(1, data[0] % 41);
    WriteSongFile("channel1__waveheader", header);
    WriteSongFile("channel1_1", input.substr(1 + header.size(), 1 << 16));
    WriteSongFile("channel1_", "3 channel1_1\n");

    CacheSize = data[0] & 0x80 ? 4096 : 0;
    SuperWaveFile track;
    track.Open("channel1_");
    RequireUsable(track.Format);
    static std::vector<int16_t> mix(static_cast<size_t>(BufferSize) * 2);
    track.SeekFrames(0);
    for (int i = 0; i < 4; ++i)
        track.ReadMixBuffer(mix.data());
    track.BuildPeaks(1 + (data[0] * 13) % 700);
    uint8_t* peaks = nullptr;
    int32_t count = 0;
    track.GetPeaks(peaks, count);
    if (count > 0 && !peaks)
        abort();
    for (int32_t i = 0; i < count; ++i)
        (void)*static_cast<volatile uint8_t*>(peaks + i);
    track.ExportWave("export.wav");

    // The raw record as a format: refused unless usable.
    if (header.size() >= sizeof(WaveFormat)) {
        WaveFormat format;
        std::memcpy(&format, header.data(), sizeof format);
        SuperWaveFile empty;
        try {
            empty.SetFormat(format);
            RequireUsable(empty.Format);
        } catch (const DisplayedError&) {
        }
    }
    CheckSentinel();
    return 0;
}
