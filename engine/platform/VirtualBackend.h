#pragma once

// In-process sound cards: the wave layer's backend for machines without sound hardware and
// for tests. A card plays each queued buffer at the real-time rate of its format (or at once
// when free-running) and keeps what it played; its input fills queued buffers from a source
// at the same pace. The input never drops anything: a buffer queued late is filled at once
// with what the card captured meanwhile.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/VirtualCards.h"
#include "platform/WaveBackend.h"

namespace wave {

// One virtual card: its settings, what it played and where its input stands.
class VirtualCard {
  public:
    VirtualCard(std::string name, bool keepPlayed);

    const std::string& Name() const { return name_; }

    std::atomic<Pacing> pacing{Pacing::RealTime};

    // Open/close bookkeeping; Claim gives the result the open should report.
    Result Claim(Direction direction);
    void Release(Direction direction);
    void SetOpenResult(Result result);

    // Played bytes (driver thread appends, tests take).
    void AppendPlayed(const char* data, size_t bytes);
    std::string TakePlayed();
    size_t PlayedCount();
    void SetKeepPlayed(bool keep);

    // Capture source.
    void SetSource(VirtualCaptureSource source);
    // Fills `frames` frames of `format` at dst from the source (driver thread).
    void FillCaptured(char* dst, uint32_t frames, const WaveFormat& format);

  private:
    const std::string name_;

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
