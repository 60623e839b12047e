#include "soundcard/SoundCard.h"

#include <new>
#include <vector>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "platform/os/Event.h"
#include "platform/wave/WaveApi.h"
#include "soundcard/BufferRing.h"
#include "soundcard/SoundCardBuffers.h"
#include "soundcard/WaveBuff.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

int8_t SoundCard::Antal = 0;
int32_t SoundCard::LagTime = 0;

namespace {

// How long the player waits for a returned buffer before it looks at the engine and the
// device again: a device that fails, or a Stop, never leaves it waiting for longer.
constexpr uint32_t BufferWaitSliceMs = 100;

}  // namespace

SoundCard::SoundCard(char index)
    : Index(static_cast<int8_t>(index)), buffers_(std::make_unique<Buffers>()) {
    recordFileClosed_ = std::make_unique<Event>(true, true);
    ++Antal;
}

SoundCard::~SoundCard() {
    if (recorder_.joinable())
        ReleaseRecording();
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

size_t SoundCard::OutputBufferCount() const {
    return buffers_->output.size();
}

size_t SoundCard::InputBufferCount() const {
    return buffers_->input.size();
}

const Outbuff& SoundCard::OutputBuffer(size_t i) const {
    return *buffers_->output[i];
}

const Inbuff& SoundCard::InputBuffer(size_t i) const {
    return *buffers_->input[i];
}

uint32_t SoundCard::DeviceNumber() const {
    // A negative identifier is sign-extended, as the device queries expect.
    return static_cast<uint32_t>(static_cast<int32_t>(DeviceId));
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

    // A second Init keeps the events and the recorder thread: the recorder may be waiting on
    // the record-data event right now.
    try {
        if (!bufferReturned_)
            bufferReturned_ = std::make_unique<Event>(false, false);
        if (!recordData_)
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
    Buffers& buffers = *buffers_;
    currentBuffer_ = nullptr;
    buffers.output.clear();
    buffers.input.clear();
    buffers.free.Clear();
    buffers.filled.Clear();
    {
        std::lock_guard<std::mutex> guard(recordQueueLock_);
        buffers.recorded.Clear();
    }

    const auto bytes = static_cast<uint32_t>(frames * 4 / 1024 * 1024);
    const size_t total = count > 0 ? static_cast<size_t>(count) : 0;
    buffers.free.Reserve(total);
    buffers.filled.Reserve(total);
    {
        std::lock_guard<std::mutex> guard(recordQueueLock_);
        buffers.recorded.Reserve(total);
    }
    for (size_t i = 0; i < total; ++i) {
        auto output = std::unique_ptr<Outbuff>(new (std::nothrow) Outbuff(bytes));
        if (!output)
            throw OrvellError("No memory for OutBuffs.");
        buffers.free.Push(output.get());
        buffers.output.push_back(std::move(output));
        buffers.input.push_back(std::make_unique<Inbuff>(bytes));
    }
}

bool SoundCard::InitPlayback(int rate) {
    const auto frameRate = static_cast<uint32_t>(rate);
    const WaveFormat format{WaveFormatPcm, 2, frameRate, frameRate * 4, 4, 16, 0};
    currentBuffer_ = nullptr;
    if (muted_)
        return false;
    // Between runs no buffer is at a device, so every buffer starts the run free.
    {
        std::lock_guard<std::mutex> guard(playbackLock_);
        buffers_->free.Clear();
        buffers_->filled.Clear();
        for (const auto& buffer : buffers_->output)
            buffers_->free.Push(buffer.get());
    }
    playbackFailed_ = false;
    if (bounceTarget_)
        return true;
    wave::WaveOut* device = nullptr;
    const wave::Result result =
        wave::WaveOutOpen(&device, DeviceNumber(), format, &SoundCard::OutCallback, this);
    if (result != wave::NoError) {
        waveOut_ = nullptr;
        OrvellError error = GetError(result, DeviceNumber());
        throw DisplayedError(error);
    }
    waveOut_ = device;
    return true;
}

void SoundCard::OutCallback(wave::WaveOut*, uint32_t message, void* instance,
                            wave::WaveHeader* header) {
    if (message == wave::OutDone && instance && header)
        static_cast<SoundCard*>(instance)->WaveOutProc(static_cast<Outbuff*>(header->User));
}

void SoundCard::WaveOutProc(Outbuff* buffer) {
    const bool failed = (buffer->Header()->Flags & wave::HeaderFailed) != 0;
    if (failed)
        playbackFailed_ = true;
    else if (clock_)
        PlayPos += static_cast<int32_t>(BufferSize);
    {
        std::lock_guard<std::mutex> guard(playbackLock_);
        try {
            buffer->Unprepare();
        } catch (const OrvellError&) {
            // Only a device that is already gone refuses; the buffer is free all the same.
        }
        buffers_->free.Push(buffer);
    }
    bufferReturned_->Set();
}

bool SoundCard::WaitForFreeBuffer(std::unique_lock<std::mutex>& guard) {
    if (playbackFailed_)
        return false;
    while (buffers_->free.Empty()) {
        guard.unlock();
        if (!bounceTarget_)
            bufferReturned_->Wait(BufferWaitSliceMs);
        if (!Mixer || !Mixer->IsPlaying_b())
            return false;
        wave::WaveOut* device = waveOut_;
        if (device && wave::WaveOutGetState(device) == wave::DeviceState::Failed)
            playbackFailed_ = true;
        if (playbackFailed_)
            return false;
        guard.lock();
    }
    return true;
}

bool SoundCard::AwaitFreeBuffer() {
    if (muted_)
        return true;
    std::unique_lock<std::mutex> guard(playbackLock_);
    return WaitForFreeBuffer(guard);
}

bool SoundCard::NextOutBuffer() {
    if (muted_)
        return true;
    Buffers& buffers = *buffers_;
    std::unique_lock<std::mutex> guard(playbackLock_);
    if (!WaitForFreeBuffer(guard))
        return false;
    if (currentBuffer_)
        buffers.filled.Push(currentBuffer_);
    currentBuffer_ = buffers.free.Pop();
    currentBuffer_->Clear();
    return true;
}

void SoundCard::Mix(const short* samples) {
    if (currentBuffer_)
        currentBuffer_->Mix(reinterpret_cast<const int16_t*>(samples));
}

void SoundCard::Play() {
    if (muted_)
        return;
    Buffers& buffers = *buffers_;
    if (currentBuffer_) {
        buffers.filled.Push(currentBuffer_);
        currentBuffer_ = nullptr;
    }
    if (Channel* target = bounceTarget_) {
        SuperWaveFile* file = target->GetChannelFile();
        while (Outbuff* buffer = buffers.filled.Pop()) {
            buffer->Header()->BytesRecorded = buffer->Length();
            try {
                file->AppendRecorded(*buffer->Header());
            } catch (...) {
                ReturnUnsent(buffer);
                throw;
            }
            ReturnUnsent(buffer);
            if (clock_)
                PlayPos += static_cast<int32_t>(BufferSize);
        }
        return;
    }
    while (Outbuff* buffer = buffers.filled.Pop()) {
        try {
            buffer->Prepare(waveOut_);
        } catch (const InternalError&) {
            ReturnUnsent(buffer);
            throw;
        }
        try {
            buffer->Write();
        } catch (unsigned int code) {
            ReturnUnsent(buffer);
            throw GetError(code, DeviceNumber());
        }
    }
}

void SoundCard::ReturnUnsent(Outbuff* buffer) {
    std::lock_guard<std::mutex> guard(playbackLock_);
    if (buffer->Prepared()) {
        try {
            buffer->Unprepare();
        } catch (const OrvellError&) {
            // The device is gone; the buffer is free all the same.
        }
    }
    buffers_->free.Push(buffer);
}

void SoundCard::BuildMix(Channel* channel) {
    channel->SetFormat(true, true);
    channel->Recording = true;
    bounceTarget_ = channel;
    channel->GetChannelFile()->Writing = true;
}

std::vector<int> SoundCard::OutputBufferPlaces() const {
    const Buffers& buffers = *buffers_;
    std::lock_guard<std::mutex> guard(playbackLock_);
    std::vector<int> places(buffers.output.size(), 0);
    auto count = [&](const Outbuff* buffer) {
        for (size_t i = 0; i < buffers.output.size(); ++i)
            if (buffers.output[i].get() == buffer)
                ++places[i];
    };
    buffers.free.ForEach(count);
    buffers.filled.ForEach(count);
    count(currentBuffer_);
    for (size_t i = 0; i < buffers.output.size(); ++i)
        if (buffers.output[i]->Header()->Flags & wave::HeaderInQueue)
            ++places[i];
    return places;
}

void SoundCard::StopPlayback() {
    if (muted_)
        return;
    if (Channel* target = bounceTarget_.exchange(nullptr)) {
        target->Recording = false;
        SuperWaveFile* file = target->GetChannelFile();
        file->Writing = false;
        bufferReturned_->Set();
        file->Save();
        return;
    }
    wave::WaveOut* device = waveOut_;
    if (!device)
        return;
    // Every queued buffer comes back through WaveOutProc before the reset returns.
    wave::WaveOutReset(device);
    std::this_thread::yield();
    const wave::Result result = wave::WaveOutClose(device);
    if (result != wave::NoError)
        throw GetError(result, DeviceNumber());
    waveOut_ = nullptr;
    bufferReturned_->Set();
}
