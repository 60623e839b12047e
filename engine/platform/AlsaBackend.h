#pragma once

#include "platform/WaveBackend.h"

namespace wave {

class AlsaBackend final : public WaveBackend {
public:
    explicit AlsaBackend(bool rereadConfiguration);
    const char* Name() const override { return "ALSA"; }
    uint32_t DeviceCount(Direction direction) override;
    Result GetCaps(Direction direction, uint32_t deviceId, DeviceCaps& caps) override;
    Result Open(Direction direction, uint32_t deviceId, const WaveFormat& format,
                std::unique_ptr<DeviceDriver>& driver) override;
};

}  // namespace wave
