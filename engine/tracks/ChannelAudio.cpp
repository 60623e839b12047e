// A track's audio as the GUI sees it: importing and exporting WAV files, clearing, the level
// array and the pieces' times. Positions arrive in milliseconds; the track file works in
// frames and bytes.
#include <algorithm>
#include <climits>
#include <cstring>

#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "platform/os/PageBuffer.h"
#include "storage/SuperWaveFile.h"
#include "storage/TrackFormat.h"
#include "storage/WavFileReader.h"
#include "tracks/Channel.h"
#include "tracks/TrackInUse.h"

namespace {

// The import moves a WAV file into the track in blocks of this size (50000 bytes rounded up
// to a multiple of 1024); each block is appended padded to a multiple of 1024 bytes.
constexpr size_t TransferGrain = 1024;
constexpr size_t TransferBlock = (50000 + TransferGrain - 1) / TransferGrain * TransferGrain;

int64_t FramesToMs(int64_t frames) {
    return SampleRate == 0 ? 0 : frames * 1000 / static_cast<int64_t>(SampleRate);
}

// A byte offset of the track stream (32-bit, as the metafile stores it) at ms.
int32_t MsToStreamBytes(int ms, uint16_t blockAlign) {
    return static_cast<int32_t>(std::clamp<int64_t>(MsToFrames(ms) * blockAlign, 0, INT32_MAX));
}

}  // namespace

void Channel::ImportWav(const char* path, int position_ms) {
    ThrowIfTrackInUse(*File);
    if (!path)
        throw DisplayedError("Can't open file: ");
    // Everything that can refuse the file does so before the track is touched.
    WavFileReader wav(path);
    PageBuffer block;
    if (!block.Allocate(TransferBlock))
        throw DisplayedError("Out of memory");
    const WaveFormat& format = wav.Format();
    // A track that already has the file's layout keeps its format as it is (normally without a
    // rate), so that importing into a track holding audio works; otherwise the track takes the
    // file's format, rate included, which a track holding audio refuses.
    if (!SameSampleLayout(File->Format, format))
        File->SetFormat(format);

    File->SeekFrames(MsToFrames(std::max(position_ms, 0)));
    // The pad is silence in the track's format (for 16-bit tracks the zero bytes of a plain
    // pad; an 8-bit track would click at the end of every import on zeros).
    const uint8_t fill = File->GetFillByte();
    try {
        for (;;) {
            const size_t got = wav.Read(block.Data(), TransferBlock);
            if (got == 0)
                break;
            const size_t padded = (got + TransferGrain - 1) / TransferGrain * TransferGrain;
            std::memset(block.Data() + got, fill, padded - got);
            File->AppendBytes(block.Data(), padded);
        }
    } catch (...) {
        // What reached the track stays listed in its files, so the track opens as it now is.
        try {
            File->Save();
        } catch (...) {
        }
        File->FreePeaks();
        throw;
    }
    File->Save();
    File->FreePeaks();
}

void Channel::ImportWav(const char* path) {
    ImportWav(path,
              Mixer ? static_cast<int>(std::min<unsigned long>(Mixer->GetPos_ms(), INT_MAX)) : 0);
}

void Channel::ExportToWave(const char* path) {
    if (!path)
        throw StorageError(CantOpenRealfileText);
    File->ExportWave(path);
}

void Channel::ClearData() {
    ThrowIfTrackInUse(*File);
    File->DeleteAll();
    File->FreePeaks();
}

void Channel::ClearData(int from_ms, int to_ms) {
    ThrowIfTrackInUse(*File);
    const uint16_t blockAlign = File->Format.BlockAlign;
    File->ClearRange(MsToStreamBytes(from_ms, blockAlign), MsToStreamBytes(to_ms, blockAlign));
    File->FreePeaks();
}

void Channel::BuildPeakData(int resolution_ms) {
    File->BuildPeaks(
        static_cast<int32_t>(std::clamp<int64_t>(MsToFrames(resolution_ms), 0, INT32_MAX)));
}

void Channel::GetPeakData(unsigned char** peaks, int* count) {
    uint8_t* array = nullptr;
    int32_t length = 0;
    File->GetPeaks(array, length);
    if (peaks)
        *peaks = array;
    if (count)
        *count = length;
}

void Channel::GetFileTimes_ms(std::vector<uint32_t>& times) const {
    const uint16_t blockAlign = File->Format.BlockAlign;
    if (blockAlign == 0)
        return;
    const std::vector<int32_t> segments = File->GetSegments();
    for (size_t i = 0; i + 2 < segments.size(); i += 3) {
        times.push_back(static_cast<uint32_t>(FramesToMs(segments[i] / blockAlign)));
        times.push_back(static_cast<uint32_t>(FramesToMs(segments[i + 1] / blockAlign)));
    }
}
