#include "platform/VirtualBackend.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/WaveDevice.h"

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

// Plays the queued buffers one after another: each ends one buffer length after the
// previous one ended, or after it was queued when the card had run dry.
class VirtualPlaybackDriver final : public DeviceDriver {
  public:
    explicit VirtualPlaybackDriver(std::shared_ptr<VirtualCard> card) : card_(std::move(card)) {}
    ~VirtualPlaybackDriver() override { card_->Release(Direction::Playback); }

    void Run(WaveDevice& device) override {
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
            HeaderQueue& queue = device.Queued();
            if (queue.Empty()) {
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
            card_->AppendPlayed(header->Data, size_t{frames} * format.BlockAlign);
            device.CompleteFront(lock);
            // Nothing queued after the callback had its chance to write: the card ran dry.
            if (clockRunning && device.Queued().Empty()) {
                clockRunning = false;
                device.NoteUnderrun();
            }
        }
    }

  private:
    std::shared_ptr<VirtualCard> card_;
};

// Fills the queued buffers from the card's source while started. In real time the card
// captures continuously from Start on; a buffer is complete once the frames it holds have
// had time to arrive.
class VirtualCaptureDriver final : public DeviceDriver {
  public:
    explicit VirtualCaptureDriver(std::shared_ptr<VirtualCard> card) : card_(std::move(card)) {}
    ~VirtualCaptureDriver() override { card_->Release(Direction::Capture); }

    void Run(WaveDevice& device) override {
        const WaveFormat& format = device.Format();
        std::unique_lock<std::mutex> lock(device.Mutex());
        bool clockRunning = false;
        WaveDevice::Clock::time_point clockStart;
        uint64_t framesTaken = 0;  // since clockStart
        for (;;) {
            if (device.QuitRequested())
                return;
            const bool realTime = card_->pacing.load() == Pacing::RealTime;
            if (device.PendingCommand() != WaveDevice::Command::None) {
                // What arrived so far goes into the buffer being filled before it comes back.
                if (clockRunning && realTime && !device.Queued().Empty()) {
                    const uint64_t elapsed = DurationToFrames(WaveDevice::Clock::now() - clockStart,
                                                              format.SamplesPerSec);
                    if (elapsed > framesTaken)
                        framesTaken += Fill(*device.Queued().At(0), elapsed - framesTaken, format);
                }
                clockRunning = false;
                device.ServeCommand(lock);
                continue;
            }
            if (!device.CaptureStarted()) {
                clockRunning = false;
                device.WaitForChange(lock);
                continue;
            }
            if (!clockRunning) {
                clockStart = WaveDevice::Clock::now();
                framesTaken = 0;
                clockRunning = true;
            }
            HeaderQueue& queue = device.Queued();
            if (queue.Empty()) {
                device.WaitForChange(lock);
                continue;
            }
            WaveHeader& header = *queue.At(0);
            const uint32_t space = (header.BufferLength - header.BytesRecorded) / format.BlockAlign;
            if (realTime) {
                const auto full =
                    clockStart + FramesToDuration(framesTaken + space, format.SamplesPerSec);
                if (WaveDevice::Clock::now() < full) {
                    device.WaitUntil(lock, full);
                    continue;
                }
            }
            framesTaken += Fill(header, space, format);
            device.CompleteFront(lock);
        }
    }

  private:
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

VirtualCard::VirtualCard(std::string name, bool keepPlayed)
    : name_(std::move(name)), keepPlayed_(keepPlayed) {
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

VirtualBackend::VirtualBackend(unsigned count, bool keepPlayed) {
    for (unsigned i = 0; i < count; ++i)
        cards_.push_back(
            std::make_shared<VirtualCard>("Virtual card " + std::to_string(i), keepPlayed));
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

}  // namespace wave
