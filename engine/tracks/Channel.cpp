#include "tracks/Channel.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/EngineStatics.h"
#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "platform/wave/WaveFormat.h"
#include "storage/SuperWaveFile.h"
#include "storage/TrackFormat.h"

char Channel::Antal = 0;
short* Channel::Data = nullptr;
unsigned int Channel::FadeResolution_ms = 50;
size_t Channel::dataBytes_ = 0;

Channel::Channel() {
    // The file first: when it cannot be made (no memory for its cache), nothing has been
    // counted and no mixing block is left behind.
    auto file = std::make_unique<SuperWaveFile>();
    if (!GrowData(static_cast<size_t>(BufferSize) * 4))
        throw DisplayedError("Out of memory");
    ++Antal;
    VolumeEvents.push_back({0, 1.0f});
    PanEvents.push_back({0, 0.0f});
    File = file.release();
}

Channel::~Channel() {
    delete File;  // its files stay on disk
    if (--Antal == 0) {
        std::free(Data);
        Data = nullptr;
        dataBytes_ = 0;
    }
}

bool Channel::GrowData(size_t bytes) {
    if (Data && bytes <= dataBytes_)
        return true;
    void* block = std::calloc(bytes, 1);
    if (!block)
        return false;
    if (Data)
        std::memcpy(block, Data, dataBytes_);
    std::free(Data);
    Data = static_cast<short*>(block);
    dataBytes_ = bytes;
    return true;
}

void Channel::SetFormat(bool stereo, bool sixteenBit) {
    WaveFormat format;
    format.FormatTag = WaveFormatPcm;
    format.Channels = stereo ? 2 : 1;
    // The song's rate applies to every track, so a track's format carries none.
    format.SamplesPerSec = 0;
    format.AvgBytesPerSec = 0;
    format.BlockAlign = static_cast<uint16_t>(format.Channels * (sixteenBit ? 2 : 1));
    format.BitsPerSample = sixteenBit ? 16 : 8;
    format.ExtraSize = 0;
    // A track that already lays its samples out so keeps its format: one whose stored format
    // carries a rate (from an imported WAV file) still takes this call with audio in it.
    if (SameSampleLayout(File->Format, format))
        return;
    File->SetFormat(format);
}

void Channel::GetFormat(bool& stereo, bool& sixteenBit) const {
    stereo = File->Format.Channels == 2;
    sixteenBit = File->Format.BitsPerSample == 16;
}

void Channel::SetSoundCard(char index) {
    if (!Mixer || !Mixer->GetSoundcard(index))
        throw DisplayedError("Invalid sound card index");
    CardIndex = index;
}

void Channel::SetCache(int bytes) {
    File->SetCacheSize(bytes);
}

int Channel::GetCacheSize() const {
    return static_cast<int>(File->CacheLength);
}

int Channel::GetTotalLength() const {
    const uint16_t blockAlign = File->Format.BlockAlign;
    if (blockAlign == 0)
        return 0;
    return File->GetTotalBytes() / blockAlign;
}

void Channel::CloseFiles() {
    File->CloseHandles();
}
