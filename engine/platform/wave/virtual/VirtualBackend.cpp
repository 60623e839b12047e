#include "platform/wave/virtual/VirtualBackend.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/wave/BackendSelection.h"
#include "platform/wave/VirtualOutput.h"
#include "platform/wave/WaveDevice.h"

namespace wave {

namespace {

constexpr size_t PlayedReserve = 1 << 20;

WaveDevice::Clock::duration FramesToDuration(uint64_t frames, uint32_t rate) {
    return std::chrono::duration_cast<WaveDevice::Clock::duration>(
        std::chrono::nanoseconds(frames * 1000000000ull / rate));
}

uint64_t DurationToFrames(WaveDevice::Clock::duration elapsed, uint32_t rate) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    return ns <= 0 ? 0 : static_cast<uint64_t>(ns) * rate / 1000000000ull;
}

// Keeps a device known to its card while its driver thread runs, so that a fault set on the
// card wakes the driver at once.
class CardAttachment {
  public:
    CardAttachment(VirtualCard& card, WaveDevice& device) : card_(card), device_(device) {
        card_.Attach(&device_);
    }
    ~CardAttachment() { card_.Detach(&device_); }
    CardAttachment(const CardAttachment&) = delete;
    CardAttachment& operator=(const CardAttachment&) = delete;

  private:
    VirtualCard& card_;
    WaveDevice& device_;
};

// Plays the queued buffers one after another: each ends one buffer length after the
// previous one ended, or after it was queued when the card had run dry.
class VirtualPlaybackDriver final : public DeviceDriver {
  public:
    explicit VirtualPlaybackDriver(std::shared_ptr<VirtualCard> card) : card_(std::move(card)) {}
    ~VirtualPlaybackDriver() override { card_->Release(Direction::Playback); }

    void Run(WaveDevice& device) override {
        CardAttachment attached(*card_, device);
        const WaveFormat& format = device.Format();
        std::unique_lock<std::mutex> lock(device.Mutex());
        bool clockRunning = false;
        WaveDevice::Clock::time_point bufferStart;
        for (;;) {
            if (device.QuitRequested())
                return;
            if (device.PendingCommand() != WaveDevice::Command::None) {
                clockRunning = false;
                device.ServeCommand(lock);
                continue;
            }
            const VirtualFault fault = card_->Fault();
            if (fault == VirtualFault::Lost) {
                device.FailAndIdle(lock);
                return;
            }
            HeaderQueue& queue = device.Queued();
            if (queue.Empty() || fault == VirtualFault::Stalled) {
                clockRunning = false;
                device.WaitForChange(lock);
                continue;
            }
            WaveHeader* header = queue.At(0);
            const uint32_t frames = header->BufferLength / format.BlockAlign;
            if (card_->pacing.load() == Pacing::RealTime) {
                const auto now = WaveDevice::Clock::now();
                if (!clockRunning) {
                    bufferStart = now;
                    clockRunning = true;
                }
                const auto end = bufferStart + FramesToDuration(frames, format.SamplesPerSec);
                if (now < end) {
                    device.WaitUntil(lock, end);
                    continue;
                }
                bufferStart = end;
            } else {
                clockRunning = false;
            }
            const size_t bytes = size_t{frames} * format.BlockAlign;
            if (VirtualFileOutput* output = card_->Output()) {
                // Writing the file is this card's playing: done without the device's lock, so
                // that the engine can queue its next buffers meanwhile. The header stays at the
                // front of the queue: only this thread takes headers off it.
                lock.unlock();
                output->Write(header->Data, bytes);
                lock.lock();
            } else {
                card_->AppendPlayed(header->Data, bytes);
            }
            device.CompleteFront(lock);
            // Nothing queued after the callback had its chance to write: the card ran dry.
            if (clockRunning && device.Queued().Empty()) {
                clockRunning = false;
                device.NoteRanDry();
            }
        }
    }

  private:
    std::shared_ptr<VirtualCard> card_;
};

// Fills the queued buffers from the card's source while started. In real time the source runs
// from Start on: the frames that arrive before the first buffer is queued are dropped, and a
// buffer is complete once the frames it holds have had time to arrive.
class VirtualCaptureDriver final : public DeviceDriver {
  public:
    explicit VirtualCaptureDriver(std::shared_ptr<VirtualCard> card) : card_(std::move(card)) {}
    ~VirtualCaptureDriver() override { card_->Release(Direction::Capture); }

    void Run(WaveDevice& device) override {
        CardAttachment attached(*card_, device);
        const WaveFormat& format = device.Format();
        const uint32_t rate = format.SamplesPerSec;
        const uint64_t ringFrames = uint64_t{rate} * CaptureRingMs / 1000;
        std::unique_lock<std::mutex> lock(device.Mutex());
        bool capturing = false;  // a start was seen and no command has ended it
        uint64_t startsSeen = 0;
        WaveDevice::Clock::time_point start;
        uint64_t consumed = 0;  // source frames since start, taken or dropped
        bool armed = true;      // no buffer has taken input since start
        for (;;) {
            if (device.QuitRequested())
                return;
            const bool realTime = card_->pacing.load() == Pacing::RealTime;
            HeaderQueue& queue = device.Queued();
            // What arrived so far goes into the buffer being filled before it comes back.
            auto takeWhatArrived = [&] {
                if (capturing && realTime && !armed && !queue.Empty()) {
                    const uint64_t elapsed = Elapsed(start, rate);
                    if (elapsed > consumed)
                        consumed += Fill(*queue.At(0), elapsed - consumed, format);
                }
            };
            if (device.PendingCommand() != WaveDevice::Command::None) {
                takeWhatArrived();
                capturing = false;
                device.ServeCommand(lock);
                continue;
            }
            const VirtualFault fault = card_->Fault();
            if (fault == VirtualFault::Lost) {
                takeWhatArrived();  // what was recorded is kept
                device.FailAndIdle(lock);
                return;
            }
            if (!device.CaptureStarted()) {
                capturing = false;
                device.WaitForChange(lock);
                continue;
            }
            if (!capturing || device.CaptureStarts() != startsSeen) {
                capturing = true;
                startsSeen = device.CaptureStarts();
                start = device.CaptureStartedAt();
                consumed = 0;
                armed = true;
            }
            if (queue.Empty() || fault == VirtualFault::Stalled) {
                device.WaitForChange(lock);
                continue;
            }
            WaveHeader& header = *queue.At(0);
            if (realTime) {
                if (armed) {
                    // Nothing could take the input before this buffer was queued.
                    const auto queuedAt = WaveDevice::QueuedAt(queue.MarkAt(0));
                    const uint64_t dropped =
                        queuedAt > start ? DurationToFrames(queuedAt - start, rate) : 0;
                    card_->SkipCaptured(dropped, format);
                    consumed += dropped;
                    armed = false;
                }
                const uint64_t elapsed = Elapsed(start, rate);
                if (elapsed > consumed + ringFrames) {
                    // The buffers came back too late: what the card could not hold is lost.
                    const uint64_t lost = elapsed - consumed - ringFrames;
                    card_->SkipCaptured(lost, format);
                    consumed += lost;
                    device.NoteOverrun();
                }
                const uint32_t space =
                    (header.BufferLength - header.BytesRecorded) / format.BlockAlign;
                const auto full = start + FramesToDuration(consumed + space, rate);
                if (WaveDevice::Clock::now() < full) {
                    device.WaitUntil(lock, full);
                    continue;
                }
            } else {
                armed = false;
            }
            const uint32_t space = (header.BufferLength - header.BytesRecorded) / format.BlockAlign;
            consumed += Fill(header, space, format);
            device.CompleteFront(lock);
        }
    }

  private:
    static uint64_t Elapsed(WaveDevice::Clock::time_point start, uint32_t rate) {
        return DurationToFrames(WaveDevice::Clock::now() - start, rate);
    }

    uint32_t Fill(WaveHeader& header, uint64_t frames, const WaveFormat& format) {
        const uint32_t space = (header.BufferLength - header.BytesRecorded) / format.BlockAlign;
        const auto count = static_cast<uint32_t>(std::min<uint64_t>(frames, space));
        card_->FillCaptured(header.Data + header.BytesRecorded, count, format);
        header.BytesRecorded += count * format.BlockAlign;
        return count;
    }

    std::shared_ptr<VirtualCard> card_;
};

}  // namespace

VirtualCard::VirtualCard(std::string name, bool keepPlayed,
                         std::shared_ptr<VirtualFileOutput> output)
    : name_(std::move(name)), output_(std::move(output)), keepPlayed_(keepPlayed) {
    if (keepPlayed_)
        played_.reserve(PlayedReserve);
}

Result VirtualCard::Claim(Direction direction) {
    std::lock_guard<std::mutex> guard(lock_);
    bool& open = direction == Direction::Playback ? outOpen_ : inOpen_;
    if (open)
        return Allocated;
    if (openResult_ != NoError)
        return openResult_;
    if (fault_.load() == VirtualFault::Lost)
        return NoDriver;
    open = true;
    return NoError;
}

void VirtualCard::Release(Direction direction) {
    std::lock_guard<std::mutex> guard(lock_);
    (direction == Direction::Playback ? outOpen_ : inOpen_) = false;
}

void VirtualCard::SetOpenResult(Result result) {
    std::lock_guard<std::mutex> guard(lock_);
    openResult_ = result;
}

void VirtualCard::Attach(WaveDevice* device) {
    std::lock_guard<std::mutex> guard(devicesLock_);
    devices_.push_back(device);
}

void VirtualCard::Detach(WaveDevice* device) {
    std::lock_guard<std::mutex> guard(devicesLock_);
    std::erase(devices_, device);
}

void VirtualCard::SetFault(VirtualFault fault) {
    fault_.store(fault);
    // Drivers take the card's own lock while they hold their device's; the list has a lock of
    // its own, taken before a device's and never while a driver holds one.
    std::lock_guard<std::mutex> guard(devicesLock_);
    for (WaveDevice* device : devices_)
        device->Wake();
}

void VirtualCard::AppendPlayed(const char* data, size_t bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    if (keepPlayed_)
        played_.append(data, bytes);
}

std::string VirtualCard::TakePlayed() {
    std::lock_guard<std::mutex> guard(lock_);
    std::string taken = played_;
    played_.clear();  // keeps its capacity, so the driver thread does not allocate again
    return taken;
}

size_t VirtualCard::PlayedCount() {
    std::lock_guard<std::mutex> guard(lock_);
    return played_.size();
}

void VirtualCard::SetKeepPlayed(bool keep) {
    std::lock_guard<std::mutex> guard(lock_);
    keepPlayed_ = keep;
    if (keep)
        played_.reserve(PlayedReserve);
}

void VirtualCard::SetSource(VirtualCaptureSource source) {
    std::lock_guard<std::mutex> guard(lock_);
    source_ = std::move(source);
    sourcePos_ = 0;
    phase_ = 0.0;
}

void VirtualCard::FillCaptured(char* dst, uint32_t frames, const WaveFormat& format) {
    std::lock_guard<std::mutex> guard(lock_);
    const size_t bytes = size_t{frames} * format.BlockAlign;
    const char silence = format.BitsPerSample == 8 ? '\x80' : '\0';
    switch (source_.kind) {
        case VirtualCaptureSource::Kind::Silence:
            std::memset(dst, silence, bytes);
            break;
        case VirtualCaptureSource::Kind::Pcm: {
            const size_t left = source_.pcm.size() - std::min(sourcePos_, source_.pcm.size());
            const size_t copied = std::min(left, bytes);
            std::memcpy(dst, source_.pcm.data() + sourcePos_, copied);
            std::memset(dst + copied, silence, bytes - copied);
            sourcePos_ += copied;
            break;
        }
        case VirtualCaptureSource::Kind::TestSignal: {
            const double step = 2.0 * std::numbers::pi * source_.frequencyHz / format.SamplesPerSec;
            const double amplitude = std::clamp(source_.amplitude, 0.0, 1.0);
            char* out = dst;
            for (uint32_t frame = 0; frame < frames; ++frame) {
                const double value = amplitude * std::sin(phase_);
                phase_ = std::fmod(phase_ + step, 2.0 * std::numbers::pi);
                for (uint16_t channel = 0; channel < format.Channels; ++channel) {
                    if (format.BitsPerSample == 8) {
                        *out++ = static_cast<char>(
                            static_cast<uint8_t>(128 + std::lround(value * 127.0)));
                    } else {
                        const auto sample = static_cast<int16_t>(std::lround(value * 32767.0));
                        std::memcpy(out, &sample, sizeof sample);
                        out += sizeof sample;
                    }
                }
            }
            break;
        }
    }
}

void VirtualCard::SkipCaptured(uint64_t frames, const WaveFormat& format) {
    std::lock_guard<std::mutex> guard(lock_);
    switch (source_.kind) {
        case VirtualCaptureSource::Kind::Silence:
            break;
        case VirtualCaptureSource::Kind::Pcm: {
            const uint64_t bytes = frames * format.BlockAlign;
            sourcePos_ = static_cast<size_t>(
                std::min<uint64_t>(source_.pcm.size(), uint64_t{sourcePos_} + bytes));
            break;
        }
        case VirtualCaptureSource::Kind::TestSignal: {
            const double step = 2.0 * std::numbers::pi * source_.frequencyHz / format.SamplesPerSec;
            phase_ = std::fmod(phase_ + step * static_cast<double>(frames), 2.0 * std::numbers::pi);
            break;
        }
    }
}

VirtualBackend::VirtualBackend(unsigned count, bool keepPlayed) {
    for (unsigned i = 0; i < count; ++i)
        cards_.push_back(
            std::make_shared<VirtualCard>("Virtual card " + std::to_string(i), keepPlayed));
}

VirtualBackend::VirtualBackend(std::shared_ptr<VirtualFileOutput> output) {
    auto card = std::make_shared<VirtualCard>("Virtual card 0", false, std::move(output));
    card->pacing.store(Pacing::FreeRunning);
    cards_.push_back(std::move(card));
}

uint32_t VirtualBackend::DeviceCount(Direction) {
    return static_cast<uint32_t>(cards_.size());
}

Result VirtualBackend::GetCaps(Direction, uint32_t deviceId, DeviceCaps& caps) {
    if (deviceId >= cards_.size())
        return BadDeviceId;
    caps.ProductName = cards_[deviceId]->Name();
    caps.Channels = 2;
    caps.Formats = 0;
    for (uint32_t rate : FlagRates)
        for (uint16_t channels : {1, 2})
            for (uint16_t bits : {8, 16})
                caps.Formats |= FormatFlagFor(rate, channels, bits);
    return NoError;
}

Result VirtualBackend::Open(Direction direction, uint32_t deviceId, const WaveFormat&,
                            std::unique_ptr<DeviceDriver>& driver) {
    if (deviceId >= cards_.size())
        return BadDeviceId;
    const std::shared_ptr<VirtualCard>& card = cards_[deviceId];
    if (Result claimed = card->Claim(direction); claimed != NoError)
        return claimed;
    if (direction == Direction::Playback)
        driver = std::make_unique<VirtualPlaybackDriver>(card);
    else
        driver = std::make_unique<VirtualCaptureDriver>(card);
    return NoError;
}

std::shared_ptr<VirtualCard> VirtualBackend::Card(unsigned index) {
    return index < cards_.size() ? cards_[index] : nullptr;
}

// --- Test hooks ---

namespace {

std::shared_ptr<VirtualCard> CurrentVirtualCard(unsigned card) {
    auto* backend = dynamic_cast<VirtualBackend*>(CurrentBackend().get());
    return backend ? backend->Card(card) : nullptr;
}

}  // namespace

void SetVirtualPacing(unsigned card, Pacing pacing) {
    if (auto found = CurrentVirtualCard(card))
        found->pacing.store(pacing);
}

std::string TakePlayedBytes(unsigned card) {
    auto found = CurrentVirtualCard(card);
    return found ? found->TakePlayed() : std::string();
}

size_t PlayedByteCount(unsigned card) {
    auto found = CurrentVirtualCard(card);
    return found ? found->PlayedCount() : 0;
}

void SetVirtualPlayedCollection(unsigned card, bool keep) {
    if (auto found = CurrentVirtualCard(card))
        found->SetKeepPlayed(keep);
}

void SetVirtualCaptureSource(unsigned card, VirtualCaptureSource source) {
    if (auto found = CurrentVirtualCard(card))
        found->SetSource(std::move(source));
}

void SetVirtualOpenResult(unsigned card, Result result) {
    if (auto found = CurrentVirtualCard(card))
        found->SetOpenResult(result);
}

void SetVirtualFault(unsigned card, VirtualFault fault) {
    if (auto found = CurrentVirtualCard(card))
        found->SetFault(fault);
}

VirtualOutputProgress GetVirtualOutputProgress() {
    VirtualOutputProgress progress;
    auto found = CurrentVirtualCard(0);
    if (const VirtualFileOutput* output = found ? found->Output() : nullptr) {
        progress.bytesWritten = output->Written();
        progress.writeError = output->Error();
    }
    return progress;
}

}  // namespace wave
