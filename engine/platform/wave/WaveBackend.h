#pragma once

// What stands behind the wave layer: a backend lists its devices and opens them; an open
// device's driver moves the bytes of the queued headers on the device's driver thread. The
// bookkeeping every backend shares (header flags, the queue, reset and close, callbacks)
// lives in WaveDevice; a backend only supplies a DeviceDriver.

#include <cstdint>
#include <memory>

#include "platform/wave/WaveApi.h"

namespace wave {

enum class Direction { Playback, Capture };

class WaveDevice;

// The backend-specific half of one open device. Run is the body of the device's driver
// thread; it returns once the device asks it to quit.
class DeviceDriver {
  public:
    virtual ~DeviceDriver() = default;
    virtual void Run(WaveDevice& device) = 0;
    // Interrupts a wait inside Run that does not wait on the device's own condition variable
    // (called after every change of the device's state; may be called from any thread).
    virtual void Wake() {}
};

class WaveBackend {
  public:
    virtual ~WaveBackend() = default;
    virtual const char* Name() const = 0;

    // Looks for devices again (the numbers of open devices do not matter to them).
    virtual void Refresh() {}
    // Devices are numbered 0 .. count-1; capture shares the numbers of playback.
    virtual uint32_t DeviceCount(Direction direction) = 0;
    virtual Result GetCaps(Direction direction, uint32_t deviceId, DeviceCaps& caps) = 0;
    // Opens a device for a format that IsSupportedFormat accepted. On success the driver
    // holds the device until it is destroyed; opening a device that is held gives Allocated.
    virtual Result Open(Direction direction, uint32_t deviceId, const WaveFormat& format,
                        std::unique_ptr<DeviceDriver>& driver) = 0;
};

// PCM, 8 or 16 bits, mono or stereo, a sample rate, and block alignment and byte rate that
// agree with them.
bool IsSupportedFormat(const WaveFormat& format);

// The largest absolute sample value in the first `bytes` bytes of PCM in `format`, as a
// 16-bit magnitude (8-bit samples scaled up).
uint16_t PeakOf(const char* data, uint32_t bytes, const WaveFormat& format);

// The format flag for one rate/channels/bits combination, 0 when the rate has no flag.
uint32_t FormatFlagFor(uint32_t rate, uint16_t channels, uint16_t bits);

// The rates the format flags describe, lowest first.
inline constexpr uint32_t FlagRates[] = {11025, 22050, 44100, 48000, 96000};

// How much input a capture device holds for buffers that come back to it late; beyond that
// the input is lost (an overrun).
inline constexpr uint32_t CaptureRingMs = 500;

}  // namespace wave
