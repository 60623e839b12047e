#pragma once

// In-process sound cards: the wave layer's backend for machines without sound hardware and
// for tests. A card plays each queued buffer at the real-time rate of its format (or at once
// when free-running) and keeps what it played. Its input runs from a source in real time
// while capture is started: what arrives while no buffer is queued is dropped, and a buffer
// that comes back late gets what the card held meanwhile, up to CaptureRingMs of it (beyond
// that the input is lost: an overrun). Free-running input has no clock: buffers are filled as
// soon as they are queued and nothing is ever dropped. A card may play into a file instead of
// keeping what it played (VirtualFileOutput).

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/wave/WaveBackend.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "platform/wave/virtual/VirtualFileOutput.h"

namespace wave {

// One virtual card: its settings, what it played and where its input stands.
class VirtualCard {
  public:
    VirtualCard(std::string name, bool keepPlayed,
                std::shared_ptr<VirtualFileOutput> output = nullptr);

    const std::string& Name() const { return name_; }
    // Where the wave-out writes what it plays; nullptr for a card that keeps it (or not).
    VirtualFileOutput* Output() const { return output_.get(); }

    std::atomic<Pacing> pacing{Pacing::RealTime};

    // Open/close bookkeeping; Claim gives the result the open should report.
    Result Claim(Direction direction);
    void Release(Direction direction);
    void SetOpenResult(Result result);

    // The card's open devices, so that a fault reaches them at once (driver threads).
    void Attach(WaveDevice* device);
    void Detach(WaveDevice* device);
    void SetFault(VirtualFault fault);
    VirtualFault Fault() const { return fault_.load(); }

    // Played bytes (driver thread appends, tests take).
    void AppendPlayed(const char* data, size_t bytes);
    std::string TakePlayed();
    size_t PlayedCount();
    void SetKeepPlayed(bool keep);

    // Capture source.
    void SetSource(VirtualCaptureSource source);
    // Fills `frames` frames of `format` at dst from the source (driver thread).
    void FillCaptured(char* dst, uint32_t frames, const WaveFormat& format);
    // Moves the source on by `frames` frames that nobody took (driver thread).
    void SkipCaptured(uint64_t frames, const WaveFormat& format);

  private:
    const std::string name_;
    const std::shared_ptr<VirtualFileOutput> output_;
    std::atomic<VirtualFault> fault_{VirtualFault::None};
    std::mutex devicesLock_;  // guards devices_
    std::vector<WaveDevice*> devices_;

    std::mutex lock_;  // guards everything below
    Result openResult_ = NoError;
    bool outOpen_ = false;
    bool inOpen_ = false;
    bool keepPlayed_;
    std::string played_;
    VirtualCaptureSource source_;
    size_t sourcePos_ = 0;  // bytes of pcm used
    double phase_ = 0.0;    // radians, test signal
};

class VirtualBackend final : public WaveBackend {
  public:
    VirtualBackend(unsigned count, bool keepPlayed);
    // One free-running card, "Virtual card 0", playing into output.
    explicit VirtualBackend(std::shared_ptr<VirtualFileOutput> output);

    const char* Name() const override { return "virtual"; }
    uint32_t DeviceCount(Direction direction) override;
    Result GetCaps(Direction direction, uint32_t deviceId, DeviceCaps& caps) override;
    Result Open(Direction direction, uint32_t deviceId, const WaveFormat& format,
                std::unique_ptr<DeviceDriver>& driver) override;

    // nullptr when there is no such card.
    std::shared_ptr<VirtualCard> Card(unsigned index);

  private:
    std::vector<std::shared_ptr<VirtualCard>> cards_;
};

}  // namespace wave
