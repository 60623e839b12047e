#include "platform/AlsaBackend.h"

namespace wave {

AlsaBackend::AlsaBackend(bool) {}
uint32_t AlsaBackend::DeviceCount(Direction) { return 0; }
Result AlsaBackend::GetCaps(Direction, uint32_t, DeviceCaps&) { return BadDeviceId; }
Result AlsaBackend::Open(Direction, uint32_t, const WaveFormat&, std::unique_ptr<DeviceDriver>&) {
    return BadDeviceId;
}

}  // namespace wave
