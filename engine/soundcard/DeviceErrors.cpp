// Device enumeration and the texts of wave API failures.
#include <cstdio>
#include <string>

#include "platform/wave/WaveApi.h"
#include "soundcard/SoundCard.h"

namespace {

const char* ErrorText(unsigned int code) {
    switch (code) {
        case wave::BadDeviceId:
            return "The specified device ID is out of range.";
        case wave::Allocated:
            return "The specified resource is already allocated.";
        case wave::InvalidHandle:
            return "The specified device handle is invalid.";
        case wave::NoDriver:
            return "No device driver is present.";
        case wave::NoMemory:
            return "The system is unable to allocate or lock memory.";
        case wave::HandleBusy:
            return "The handle is in use on another thread.";
        case wave::BadFormat:
            return "The system attempted to open with an unsupported wave format\n"
                   "or the device is allready open in a non-compatible mode. Check ya other "
                   "applications!";
        case wave::StillPlaying:
            return "Can't close device, there are still buffers in the queue.";
        case wave::Unprepared:
            return "The buffer hasn't been prepared.";
        default:
            return "Unknown error, failed to open wavedevice";
    }
}

std::string ProductName(unsigned int deviceId) {
    wave::DeviceCaps caps;
    if (wave::WaveOutGetDevCaps(deviceId, caps) != wave::NoError)
        return {};
    return caps.ProductName;
}

}  // namespace

OrvellError SoundCard::GetError(unsigned int code, unsigned int deviceId) {
    return OrvellError(std::string(ErrorText(code)) + "\nDevice: " + ProductName(deviceId));
}

void GetAllSoundCards(std::list<std::string>& names) {
    const uint32_t count = wave::WaveOutGetNumDevs();
    for (uint32_t device = 0; device < count; ++device) {
        std::string line = std::to_string(device) + ": " + ProductName(device);
        names.push_back(line);
    }
}
