#include "soundcard/SoundCard.h"

#include <new>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "platform/Event.h"
#include "soundcard/WaveBuff.h"

int8_t SoundCard::Antal = 0;
int32_t SoundCard::LagTime = 0;

SoundCard::SoundCard(char index) : Index(static_cast<int8_t>(index)) {
    recordFileClosed_ = std::make_unique<Event>(true, true);
    ++Antal;
}

SoundCard::~SoundCard() {
    if (recorder_.joinable()) {
        exit_ = true;
        recordData_->Set();
        // Joined without a time limit: a recorder still writing a take must finish its write
        // before the card's memory goes away.
        recorder_.join();
    }
    CreateBuffers(0, 0);
    --Antal;
}

void SoundCard::Init(char deviceId) {
    auto device = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(deviceId)));
    wave::DeviceCaps caps;
    wave::Result result = wave::WaveOutGetDevCaps(device, caps);
    if (result != wave::NoError)
        throw GetError(result, device);

    Capabilities = caps;
    DeviceName = caps.ProductName;
    DeviceId = static_cast<int8_t>(deviceId);
    recordingFile_ = nullptr;
    muted_ = false;

    try {
        bufferReturned_ = std::make_unique<Event>(false, false);
        recordData_ = std::make_unique<Event>(false, false);
    } catch (const std::bad_alloc&) {
        throw OrvellError("Can't create event! (SoundCard constructor)");
    }
    if (!recorder_.joinable()) {
        exit_ = false;
        recorder_ = std::thread(&SoundCard::Recorder, this);
    }
    CreateBuffers(Mixer ? Mixer->BufferCount() : 0, BufferSize);
}

void SoundCard::CreateBuffers(int count, unsigned long frames) {
    currentBuffer_ = nullptr;
    outputBuffers_.clear();
    inputBuffers_.clear();
    freeList_.Clear();
    filledList_.Clear();
    {
        std::lock_guard<std::mutex> guard(recordQueueLock_);
        recordedQueue_.Clear();
    }

    const auto bytes = static_cast<uint32_t>(frames * 4 / 1024 * 1024);
    const size_t total = count > 0 ? static_cast<size_t>(count) : 0;
    freeList_.Reserve(total);
    filledList_.Reserve(total);
    {
        std::lock_guard<std::mutex> guard(recordQueueLock_);
        recordedQueue_.Reserve(total);
    }
    for (size_t i = 0; i < total; ++i) {
        auto output = std::unique_ptr<Outbuff>(new (std::nothrow) Outbuff(bytes));
        if (!output)
            throw OrvellError("No memory for OutBuffs.");
        freeList_.Push(output.get());
        outputBuffers_.push_back(std::move(output));
        inputBuffers_.push_back(std::make_unique<Inbuff>(bytes));
    }
}

bool SoundCard::NextOutBuffer() {
    if (muted_)
        return true;
    std::unique_lock<std::mutex> guard(playbackLock_);
    while (freeList_.Empty()) {
        guard.unlock();
        if (!bounceTarget_)
            bufferReturned_->Wait();
        if (!Mixer || !Mixer->IsPlaying_b())
            return false;
        guard.lock();
    }
    if (currentBuffer_)
        filledList_.Push(currentBuffer_);
    currentBuffer_ = freeList_.Pop();
    currentBuffer_->Clear();
    return true;
}

void SoundCard::Mix(const short* samples) {
    if (currentBuffer_)
        currentBuffer_->Mix(reinterpret_cast<const int16_t*>(samples));
}

void SoundCard::Recorder() {
    // Waits for captured buffers until the card goes away. The exit flag is checked after
    // every wake-up, so a card destroyed right after Init still ends its recorder.
    for (;;) {
        recordData_->Wait();
        if (exit_)
            return;
    }
}
