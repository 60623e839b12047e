#pragma once

// The driver threads of open ALSA devices. Each owns its PCM (opened non-blocking) and waits
// in poll() on the PCM's descriptors and an eventfd that the device's callers signal, so that
// a reset or close never waits for the sound hardware.

#include <poll.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/os/FileDescriptor.h"
#include "platform/wave/WaveBackend.h"
#include "platform/wave/alsa/AlsaPcm.h"

namespace wave {

// Which PCMs the layer holds open, per direction: a second open of the same one is refused
// with Allocated whatever ALSA itself would allow.
class AlsaDeviceClaims {
  public:
    bool Claim(Direction direction, const std::string& name);
    void Release(Direction direction, const std::string& name);
    bool IsClaimed(Direction direction, const std::string& name);

  private:
    std::mutex lock_;
    std::set<std::pair<Direction, std::string>> claimed_;
};

class AlsaDriver : public DeviceDriver {
  public:
    AlsaDriver(AlsaPcm pcm, const AlsaStreamSetup& setup, const WaveFormat& format,
               std::shared_ptr<AlsaDeviceClaims> claims, Direction direction, std::string name);
    ~AlsaDriver() override;
    void Wake() override;

  protected:
    // Waits (unlocked) until woken, the PCM is ready (when asked for) or timeoutMs passed.
    void Wait(std::unique_lock<std::mutex>& lock, int timeoutMs, bool forPcm);
    int PeriodMs() const;

    AlsaPcm pcm_;
    const AlsaStreamSetup setup_;
    const uint32_t frameBytes_;
    const uint32_t rate_;

  private:
    std::shared_ptr<AlsaDeviceClaims> claims_;
    const Direction direction_;
    const std::string name_;
    FileDescriptor wake_;
    std::vector<pollfd> fds_;  // [0] the eventfd, then the PCM's own
};

// Writes each queued buffer with snd_pcm_writei; a buffer comes back once ALSA reports its
// last frame played (written minus delay), so the caller's position follows what is heard.
class AlsaPlaybackDriver final : public AlsaDriver {
  public:
    using AlsaDriver::AlsaDriver;
    void Run(WaveDevice& device) override;
};

// Reads into the oldest queued buffer with snd_pcm_readi while started. The PCM starts when
// the first buffer is queued after Start; when the buffers come back late, ALSA's ring holds
// the input meanwhile.
class AlsaCaptureDriver final : public AlsaDriver {
  public:
    using AlsaDriver::AlsaDriver;
    void Run(WaveDevice& device) override;
};

}  // namespace wave
