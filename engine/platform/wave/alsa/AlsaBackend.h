#pragma once

// The ALSA backend: the devices are the playback PCMs ALSA's device hints name (in hint
// order, leaving out the discard-only "null"); a device's product name is the first line of
// its hint description. Capture uses the PCM of the same number.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/wave/WaveBackend.h"
#include "platform/wave/alsa/AlsaDrivers.h"

namespace wave {

class AlsaBackend final : public WaveBackend {
  public:
    // rereadConfiguration drops ALSA's cached configuration first (when no PCM is open), so
    // that a changed HOME or configuration file is seen.
    explicit AlsaBackend(bool rereadConfiguration);

    const char* Name() const override { return "ALSA"; }
    void Refresh() override;
    uint32_t DeviceCount(Direction direction) override;
    Result GetCaps(Direction direction, uint32_t deviceId, DeviceCaps& caps) override;
    Result Open(Direction direction, uint32_t deviceId, const WaveFormat& format,
                std::unique_ptr<DeviceDriver>& driver) override;

    // The PCM name behind a device number ("" when there is none).
    std::string PcmName(uint32_t deviceId);

  private:
    struct Device {
        std::string pcm;
        std::string product;
        std::optional<DeviceCaps> caps[2];  // probed once, per direction
    };
    void EnumerateLocked();

    std::mutex lock_;
    bool enumerated_ = false;
    std::vector<Device> devices_;
    std::shared_ptr<AlsaDeviceClaims> claims_ = std::make_shared<AlsaDeviceClaims>();
};

}  // namespace wave
