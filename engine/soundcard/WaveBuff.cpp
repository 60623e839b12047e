#include "soundcard/WaveBuff.h"

#include <cstring>

#include "core/OrvellError.h"
#include "soundcard/SoundCard.h"
#include "storage/SampleKernels.h"

WaveBuff::WaveBuff(uint32_t bytes) {
    if (!memory_.Allocate(bytes))
        throw OrvellError("Out of memory");
    header_.Data = reinterpret_cast<char*>(memory_.Data());
    header_.BufferLength = bytes;
    header_.User = this;
    header_.Flags = 0;
}

WaveBuff::~WaveBuff() = default;

Outbuff::Outbuff(uint32_t bytes) : WaveBuff(bytes) {}

Outbuff::~Outbuff() {
    // A buffer still prepared when its card goes away is released quietly: the device is
    // being torn down and nobody could act on an error now.
    if (prepared_ && device_)
        wave::WaveOutUnprepareHeader(device_, &header_);
}

void Outbuff::Prepare(wave::WaveOut* device) {
    device_ = device;
    if (wave::WaveOutPrepareHeader(device, &header_) != wave::NoError)
        throw InternalError("Can't prepare header!!");
    prepared_ = 1;
}

void Outbuff::Write() {
    const wave::Result result = wave::WaveOutWrite(device_, &header_);
    if (result != wave::NoError)
        throw static_cast<unsigned int>(result);
}

void Outbuff::Unprepare() {
    wave::Result result = wave::WaveOutUnprepareHeader(device_, &header_);
    if (result != wave::NoError) {
        SoundCard::GetError(result, 0);
        throw InternalError("Can't unprepare header");
    }
    device_ = nullptr;
    prepared_ = 0;
}

void Outbuff::Clear() {
    std::memset(memory_.Data(), 0, header_.BufferLength);
    fresh_ = true;
}

void Outbuff::Mix(const int16_t* samples) {
    if (fresh_) {
        std::memcpy(memory_.Data(), samples, header_.BufferLength);
        fresh_ = false;
        return;
    }
    SampleKernels::MixSaturating(Samples(), samples, header_.BufferLength / 2);
}

Inbuff::Inbuff(uint32_t bytes) : WaveBuff(bytes) {}

Inbuff::~Inbuff() {
    if (prepared_ && device_)
        wave::WaveInUnprepareHeader(device_, &header_);
}

void Inbuff::Prepare(wave::WaveIn* device) {
    device_ = device;
    if (wave::WaveInPrepareHeader(device, &header_) != wave::NoError)
        throw InternalError("Can't prepare header!!");
    prepared_ = 1;
}

wave::Result Inbuff::Add() {
    return wave::WaveInAddBuffer(device_, &header_);
}

void Inbuff::Unprepare() {
    if (wave::WaveInUnprepareHeader(device_, &header_) != wave::NoError)
        throw InternalError("Can't unprepare header");
    device_ = nullptr;
    prepared_ = 0;
}
