#include "platform/wave/alsa/AlsaPcm.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <new>

namespace wave {

namespace {

constexpr snd_pcm_uframes_t PeriodFrames = 1024;
constexpr unsigned PlaybackPeriods = 4;
// Capture keeps half a second in ALSA's ring, so that a buffer the recorder hands back a
// little late loses nothing.
constexpr unsigned CaptureBufferMs = 500;

snd_pcm_format_t AlsaFormatOf(uint16_t bits) {
    return bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
}

void Discard(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

int AlsaPcm::Open(const std::string& name, Direction direction) {
    Close();
    const snd_pcm_stream_t stream =
        direction == Direction::Playback ? SND_PCM_STREAM_PLAYBACK : SND_PCM_STREAM_CAPTURE;
    const int error = snd_pcm_open(&pcm_, name.c_str(), stream, SND_PCM_NONBLOCK);
    if (error < 0) {
        pcm_ = nullptr;
        return error;
    }
    openCount_.fetch_add(1);
    return 0;
}

void AlsaPcm::Close() {
    if (!pcm_)
        return;
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
    openCount_.fetch_sub(1);
}

AlsaHwParams::AlsaHwParams() {
    if (snd_pcm_hw_params_malloc(&params_) < 0)
        throw std::bad_alloc();
}

Result ResultFromAlsa(int error, bool configuring) {
    switch (-error) {
        case 0:
            return NoError;
        case EBUSY:
        case EAGAIN:
            return Allocated;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return NoDriver;
        case ENOMEM:
            return NoMemory;
        case EINVAL:
            return configuring ? BadFormat : NoDriver;
        default:
            return UnspecifiedError;
    }
}

Result ConfigurePcm(snd_pcm_t* pcm, const WaveFormat& format, Direction direction,
                    AlsaStreamSetup& setup) {
    AlsaHwParams hw;
    snd_pcm_hw_params_t* params = hw.Get();
    int error = snd_pcm_hw_params_any(pcm, params);
    if (error < 0)
        return ResultFromAlsa(error, false);
    if ((error = snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (error = snd_pcm_hw_params_set_format(pcm, params, AlsaFormatOf(format.BitsPerSample))) <
            0 ||
        (error = snd_pcm_hw_params_set_channels(pcm, params, format.Channels)) < 0 ||
        (error = snd_pcm_hw_params_set_rate(pcm, params, format.SamplesPerSec, 0)) < 0)
        return BadFormat;

    snd_pcm_uframes_t period = PeriodFrames;
    int dir = 0;
    snd_pcm_hw_params_set_period_size_near(pcm, params, &period, &dir);
    snd_pcm_uframes_t buffer =
        direction == Direction::Playback
            ? period * PlaybackPeriods
            : std::max<snd_pcm_uframes_t>(
                  period * PlaybackPeriods,
                  snd_pcm_uframes_t{format.SamplesPerSec} * CaptureBufferMs / 1000);
    snd_pcm_hw_params_set_buffer_size_near(pcm, params, &buffer);
    if ((error = snd_pcm_hw_params(pcm, params)) < 0)
        return ResultFromAlsa(error, true);
    snd_pcm_hw_params_get_period_size(params, &setup.periodFrames, &dir);
    snd_pcm_hw_params_get_buffer_size(params, &setup.bufferFrames);

    snd_pcm_sw_params_t* sw = nullptr;
    if (snd_pcm_sw_params_malloc(&sw) < 0)
        return NoMemory;
    std::unique_ptr<snd_pcm_sw_params_t, void (*)(snd_pcm_sw_params_t*)> swOwner(
        sw, snd_pcm_sw_params_free);
    snd_pcm_sw_params_current(pcm, sw);
    snd_pcm_sw_params_set_avail_min(pcm, sw, setup.periodFrames);
    // Playback starts with the first frames written; capture starts when the device is
    // started.
    snd_pcm_sw_params_set_start_threshold(
        pcm, sw, direction == Direction::Playback ? 1 : setup.bufferFrames * 2);
    if ((error = snd_pcm_sw_params(pcm, sw)) < 0)
        return ResultFromAlsa(error, false);
    if ((error = snd_pcm_prepare(pcm)) < 0)
        return ResultFromAlsa(error, false);
    return NoError;
}

void ProbeCaps(snd_pcm_t* pcm, DeviceCaps& caps) {
    caps.Channels = 0;
    caps.Formats = 0;
    AlsaHwParams any;
    if (snd_pcm_hw_params_any(pcm, any.Get()) < 0)
        return;
    if (snd_pcm_hw_params_test_channels(pcm, any.Get(), 2) == 0)
        caps.Channels = 2;
    else if (snd_pcm_hw_params_test_channels(pcm, any.Get(), 1) == 0)
        caps.Channels = 1;

    AlsaHwParams narrowed;
    for (uint16_t bits : {8, 16}) {
        if (snd_pcm_hw_params_test_format(pcm, any.Get(), AlsaFormatOf(bits)) < 0)
            continue;
        for (uint16_t channels : {1, 2}) {
            if (snd_pcm_hw_params_test_channels(pcm, any.Get(), channels) < 0)
                continue;
            // Rates are tested within what the format and channel count leave possible.
            snd_pcm_hw_params_copy(narrowed.Get(), any.Get());
            if (snd_pcm_hw_params_set_format(pcm, narrowed.Get(), AlsaFormatOf(bits)) < 0 ||
                snd_pcm_hw_params_set_channels(pcm, narrowed.Get(), channels) < 0)
                continue;
            for (uint32_t rate : FlagRates)
                if (snd_pcm_hw_params_test_rate(pcm, narrowed.Get(), rate, 0) == 0)
                    caps.Formats |= FormatFlagFor(rate, channels, bits);
        }
    }
}

void QuietAlsaErrors() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* verbose = std::getenv("ZEMBLA_ALSA_VERBOSE");
        if (!verbose || !*verbose || *verbose == '0')
            snd_lib_error_set_handler(&Discard);
    });
}

}  // namespace wave
