#include "platform/wave/alsa/AlsaBackend.h"

#include <alsa/asoundlib.h>

#include <cstdlib>
#include <cstring>

namespace wave {

namespace {

struct FreeString {
    void operator()(char* text) const { std::free(text); }
};
using HintText = std::unique_ptr<char, FreeString>;

size_t IndexOf(Direction direction) {
    return direction == Direction::Playback ? 0 : 1;
}

}  // namespace

AlsaBackend::AlsaBackend(bool rereadConfiguration) {
    QuietAlsaErrors();
    if (rereadConfiguration && AlsaPcm::OpenCount() == 0)
        snd_config_update_free_global();
}

void AlsaBackend::Refresh() {
    std::lock_guard<std::mutex> guard(lock_);
    EnumerateLocked();
}

void AlsaBackend::EnumerateLocked() {
    enumerated_ = true;
    std::vector<Device> found;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || !hints) {
        devices_.clear();
        return;
    }
    for (void** hint = hints; *hint; ++hint) {
        HintText name(snd_device_name_get_hint(*hint, "NAME"));
        HintText description(snd_device_name_get_hint(*hint, "DESC"));
        HintText ioid(snd_device_name_get_hint(*hint, "IOID"));
        if (!name || std::strcmp(name.get(), "null") == 0)
            continue;
        if (ioid && std::strcmp(ioid.get(), "Output") != 0)
            continue;
        Device device;
        device.pcm = name.get();
        device.product = description ? description.get() : name.get();
        device.product = device.product.substr(0, device.product.find('\n'));
        // A device seen before keeps what was probed about it.
        for (const Device& known : devices_)
            if (known.pcm == device.pcm) {
                device.caps[0] = known.caps[0];
                device.caps[1] = known.caps[1];
            }
        found.push_back(std::move(device));
    }
    snd_device_name_free_hint(hints);
    devices_ = std::move(found);
}

uint32_t AlsaBackend::DeviceCount(Direction) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!enumerated_)
        EnumerateLocked();
    return static_cast<uint32_t>(devices_.size());
}

std::string AlsaBackend::PcmName(uint32_t deviceId) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!enumerated_)
        EnumerateLocked();
    return deviceId < devices_.size() ? devices_[deviceId].pcm : std::string();
}

Result AlsaBackend::GetCaps(Direction direction, uint32_t deviceId, DeviceCaps& caps) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!enumerated_)
        EnumerateLocked();
    if (deviceId >= devices_.size())
        return BadDeviceId;
    Device& device = devices_[deviceId];
    std::optional<DeviceCaps>& known = device.caps[IndexOf(direction)];
    // An open device is not opened a second time to probe it (a file PCM would start its
    // output file again); it reports what was probed before, if anything.
    if (!known && !claims_->IsClaimed(direction, device.pcm)) {
        AlsaPcm pcm;
        const int error = pcm.Open(device.pcm, direction);
        if (error == 0) {
            DeviceCaps probed;
            ProbeCaps(pcm.Get(), probed);
            known = probed;
        } else if (direction == Direction::Capture && error != -EBUSY && error != -EAGAIN) {
            return ResultFromAlsa(error, false);  // the device cannot capture
        }
    }
    caps = known.value_or(DeviceCaps{});
    caps.ProductName = device.product;
    return NoError;
}

Result AlsaBackend::Open(Direction direction, uint32_t deviceId, const WaveFormat& format,
                         std::unique_ptr<DeviceDriver>& driver) {
    const std::string name = PcmName(deviceId);
    if (name.empty())
        return BadDeviceId;
    if (!claims_->Claim(direction, name))
        return Allocated;
    AlsaPcm pcm;
    AlsaStreamSetup setup;
    Result result = ResultFromAlsa(pcm.Open(name, direction), false);
    if (result == NoError)
        result = ConfigurePcm(pcm.Get(), format, direction, setup);
    if (result == NoError) {
        try {
            if (direction == Direction::Playback)
                driver = std::make_unique<AlsaPlaybackDriver>(std::move(pcm), setup, format,
                                                              claims_, direction, name);
            else
                driver = std::make_unique<AlsaCaptureDriver>(std::move(pcm), setup, format, claims_,
                                                             direction, name);
            return NoError;  // the driver releases the claim
        } catch (const std::exception&) {
            result = NoMemory;
        }
    }
    claims_->Release(direction, name);
    return result;
}

}  // namespace wave
