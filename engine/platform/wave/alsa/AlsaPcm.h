#pragma once

// Owning wrappers for what the ALSA backend opens (PCM handles, hardware parameter records),
// and the translation of ALSA's answers into wave result codes.

#include <alsa/asoundlib.h>

#include <atomic>
#include <memory>
#include <string>

#include "platform/wave/WaveBackend.h"

namespace wave {

// An open PCM, closed when the object goes away.
class AlsaPcm {
  public:
    AlsaPcm() = default;
    ~AlsaPcm() { Close(); }
    AlsaPcm(const AlsaPcm&) = delete;
    AlsaPcm& operator=(const AlsaPcm&) = delete;
    AlsaPcm(AlsaPcm&& other) noexcept : pcm_(other.pcm_) { other.pcm_ = nullptr; }

    // Opens `name` without blocking (a busy device answers at once); returns 0 or -errno.
    int Open(const std::string& name, Direction direction);
    void Close();
    snd_pcm_t* Get() const { return pcm_; }
    explicit operator bool() const { return pcm_ != nullptr; }

    // How many PCMs this process holds open through the layer: ALSA's cached configuration
    // can be dropped only while none is.
    static int OpenCount() { return openCount_.load(); }

  private:
    snd_pcm_t* pcm_ = nullptr;
    static inline std::atomic<int> openCount_{0};
};

// A hardware parameter record.
class AlsaHwParams {
  public:
    AlsaHwParams();
    ~AlsaHwParams() { snd_pcm_hw_params_free(params_); }
    AlsaHwParams(const AlsaHwParams&) = delete;
    AlsaHwParams& operator=(const AlsaHwParams&) = delete;
    snd_pcm_hw_params_t* Get() const { return params_; }

  private:
    snd_pcm_hw_params_t* params_ = nullptr;
};

// The result code for an ALSA error; `configuring` says the error came from setting the
// PCM's format (where EINVAL means the format is not offered).
Result ResultFromAlsa(int error, bool configuring);

struct AlsaStreamSetup {
    snd_pcm_uframes_t periodFrames = 0;
    snd_pcm_uframes_t bufferFrames = 0;
};

// Sets the PCM up for interleaved `format` with the backend's period and buffer sizes.
Result ConfigurePcm(snd_pcm_t* pcm, const WaveFormat& format, Direction direction,
                    AlsaStreamSetup& setup);

// The channels and format flags the PCM can do (probed on a PCM opened for it).
void ProbeCaps(snd_pcm_t* pcm, DeviceCaps& caps);

// Silences alsa-lib's own error printing (the layer reports errors as result codes);
// ZEMBLA_ALSA_VERBOSE=1 keeps it.
void QuietAlsaErrors();

}  // namespace wave
