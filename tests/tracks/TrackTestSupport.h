#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "soundcard/SoundCard.h"
#include "soundcard/WaveBuff.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

// Gives channel a format and audio: bytes (in the track's format) written from startFrame on,
// through the track's own file, as a recording or an import would.
inline void WriteTrackAudio(Channel* channel, const std::string& baseName, bool stereo,
                            bool sixteenBit, int64_t startFrame, const std::string& bytes) {
    SuperWaveFile* file = channel->GetChannelFile();
    file->Open(baseName);
    channel->SetFormat(stereo, sixteenBit);
    file->SeekFrames(startFrame);
    file->AppendBytes(bytes.data(), bytes.size());
    file->Save();
}

// A new track of the engine attached to its files in the current folder, formatted as the
// engine formats a track unless told otherwise.
inline Channel* NewTrack(bool stereo = true, bool sixteenBit = true, bool formatted = true) {
    Channel* channel = Mixer->AddChannel();
    channel->GetChannelFile()->Open("channel" + std::to_string(channel->GetIndex()) + "_");
    if (formatted)
        channel->SetFormat(stereo, sixteenBit);
    return channel;
}

// Runs one mixing pass at MixPos over the first channelCount channels of the engine and returns
// what each card holds afterwards (16-bit stereo, BufferSize frames). The cards' buffers are
// renewed first, so that each pass starts from a fresh, empty buffer without a device.
inline std::vector<std::vector<int16_t>> MixPass(const std::vector<SoundCard*>& cards,
                                                 int channelCount) {
    for (SoundCard* card : cards) {
        card->CreateBuffers(2, BufferSize);
        card->NextOutBuffer();
    }
    for (int i = 0; i < channelCount; ++i)
        Mixer->GetChannel(static_cast<char>(i))->Mix();
    std::vector<std::vector<int16_t>> result;
    for (SoundCard* card : cards) {
        const Outbuff* buffer = card->CurrentBuffer();
        result.emplace_back(buffer->Samples(), buffer->Samples() + buffer->Length() / 2);
    }
    return result;
}

// Samples of a constant 16-bit stereo signal, frames long.
inline std::string ConstantStereo16(int16_t left, int16_t right, size_t frames) {
    std::string bytes;
    for (size_t i = 0; i < frames; ++i) {
        for (int16_t s : {left, right}) {
            bytes.push_back(static_cast<char>(s & 0xFF));
            bytes.push_back(static_cast<char>((s >> 8) & 0xFF));
        }
    }
    return bytes;
}
