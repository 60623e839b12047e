// Arbitrary track header files ("_waveheader") with some audio behind them: opening the track,
// playing it, building its peaks and exporting it must never crash or misbehave, whatever
// format record the header holds.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSandbox.h"
#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "storage/ScratchBuffer.h"
#include "storage/StorageError.h"
#include "storage/SuperWaveFile.h"
#include "storage/TrackFormat.h"

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
    const size_t headerLength = std::min<size_t>(data[0] % 41, size - 1);
    const bool cache = data[0] & 0x80;
    const uint8_t* header = data + 1;
    const uint8_t* audio = header + headerLength;
    const size_t audioLength = std::min<size_t>(size - 1 - headerLength, 1 << 16);
    WriteSongFile("channel1__waveheader", header, headerLength);
    WriteSongFile("channel1_1", audio, audioLength);
    const std::string metafile = "3 channel1_1\n";
    WriteSongFile("channel1_", reinterpret_cast<const uint8_t*>(metafile.data()), metafile.size());

    CacheSize = cache ? 4096 : 0;
    SuperWaveFile track;
    track.Open("channel1_");
    const TrackFormatKind kind = KindOfFormat(track.Format);
    if (kind == TrackFormatKind::None && !IsEmptyFormat(track.Format)) {
        std::fprintf(stderr, "an unusable format was taken from the header file\n");
        abort();
    }

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
    if (headerLength >= sizeof(WaveFormat)) {
        WaveFormat format;
        std::memcpy(&format, header, sizeof format);
        SuperWaveFile empty;
        try {
            empty.SetFormat(format);
            if (KindOfFormat(empty.Format) == TrackFormatKind::None && !IsEmptyFormat(empty.Format))
                abort();
        } catch (const DisplayedError&) {
        }
    }
    CheckSentinel();
    return 0;
}
