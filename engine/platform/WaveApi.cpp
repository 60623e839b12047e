// The wave layer's entry points: backend selection, handle checking, and forwarding to the
// device bookkeeping (WaveDevice) and the current backend.

#include "platform/WaveApi.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "platform/AlsaBackend.h"
#include "platform/VirtualBackend.h"
#include "platform/VirtualCards.h"
#include "platform/WaveDevice.h"

namespace wave {

namespace {

constexpr unsigned DefaultVirtualCards = 2;
constexpr unsigned MaxVirtualCards = 64;

// Both live for the whole process (never destroyed), so that devices the engine closes from
// its own exit-time destructors still find them.
struct BackendSlot {
    std::mutex lock;
    std::shared_ptr<WaveBackend> current;
};

struct DeviceRegistry {
    std::mutex lock;
    std::vector<WaveDevice*> open;
};

BackendSlot& Slot() {
    static auto* slot = new BackendSlot;
    return *slot;
}

DeviceRegistry& Registry() {
    static auto* registry = new DeviceRegistry;
    return *registry;
}

unsigned VirtualCountFromEnvironment() {
    const char* text = std::getenv("ZEMBLA_VIRTUAL_CARDS");
    if (!text || !*text) return DefaultVirtualCards;
    char* end = nullptr;
    const unsigned long count = std::strtoul(text, &end, 10);
    if (*end != '\0' || count > MaxVirtualCards) {
        std::fprintf(stderr, "ZEMBLA_VIRTUAL_CARDS=%s is not a number of cards up to %u; using %u\n",
                     text, MaxVirtualCards, DefaultVirtualCards);
        return DefaultVirtualCards;
    }
    return static_cast<unsigned>(count);
}

std::shared_ptr<WaveBackend> BackendFromEnvironment() {
    const char* mode = std::getenv("ZEMBLA_AUDIO");
    if (mode && strcasecmp(mode, "virtual") == 0)
        return std::make_shared<VirtualBackend>(VirtualCountFromEnvironment(), false);
    if (mode && strcasecmp(mode, "alsa") == 0) return std::make_shared<AlsaBackend>(false);
    if (mode && *mode)
        std::fprintf(stderr, "ZEMBLA_AUDIO=%s is neither \"alsa\" nor \"virtual\"; ignored\n",
                     mode);
    auto alsa = std::make_shared<AlsaBackend>(false);
    if (alsa->DeviceCount(Direction::Playback) > 0) return alsa;
    return std::make_shared<VirtualBackend>(VirtualCountFromEnvironment(), false);
}

void Install(std::shared_ptr<WaveBackend> backend) {
    BackendSlot& slot = Slot();
    std::lock_guard<std::mutex> guard(slot.lock);
    slot.current = std::move(backend);
}

// The handle when it names an open device of that kind, otherwise nullptr.
template <typename Device>
Device* Checked(Device* device) {
    if (!device) return nullptr;
    DeviceRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    auto& open = registry.open;
    return std::find(open.begin(), open.end(), device) != open.end() ? device : nullptr;
}

template <typename Device, typename Callback>
Result OpenDevice(Direction direction, Device** handle, uint32_t deviceId,
                  const WaveFormat& format, Callback callback, void* instance) {
    if (!handle) return UnspecifiedError;
    *handle = nullptr;
    std::shared_ptr<WaveBackend> backend = CurrentBackend();
    if (deviceId >= backend->DeviceCount(direction)) return BadDeviceId;
    if (!IsSupportedFormat(format)) return BadFormat;
    try {
        auto device = std::make_unique<Device>(format, callback, instance);
        std::unique_ptr<DeviceDriver> driver;
        if (Result opened = backend->Open(direction, deviceId, format, driver);
            opened != NoError)
            return opened;
        DeviceRegistry& registry = Registry();
        {
            std::lock_guard<std::mutex> guard(registry.lock);
            registry.open.push_back(device.get());
        }
        try {
            device->Attach(std::move(driver));
        } catch (...) {
            std::lock_guard<std::mutex> guard(registry.lock);
            std::erase(registry.open, device.get());
            throw;
        }
        *handle = device.release();
        return NoError;
    } catch (const std::bad_alloc&) {
        return NoMemory;
    } catch (const std::system_error&) {
        return NoMemory;  // no thread could be started
    }
}

template <typename Device>
Result CloseDevice(Device* handle) {
    Device* device = Checked(handle);
    if (!device) return InvalidHandle;
    if (Result closed = device->Close(); closed != NoError) return closed;
    {
        DeviceRegistry& registry = Registry();
        std::lock_guard<std::mutex> guard(registry.lock);
        std::erase(registry.open, static_cast<WaveDevice*>(device));
    }
    delete device;
    return NoError;
}

uint32_t CountDevices(Direction direction) {
    std::shared_ptr<WaveBackend> backend = CurrentBackend();
    backend->Refresh();
    return backend->DeviceCount(direction);
}

Result Caps(Direction direction, uint32_t deviceId, DeviceCaps& caps) {
    std::shared_ptr<WaveBackend> backend = CurrentBackend();
    if (deviceId >= backend->DeviceCount(direction)) return BadDeviceId;
    try {
        return backend->GetCaps(direction, deviceId, caps);
    } catch (const std::bad_alloc&) {
        return NoMemory;
    }
}

}  // namespace

std::shared_ptr<WaveBackend> CurrentBackend() {
    BackendSlot& slot = Slot();
    std::lock_guard<std::mutex> guard(slot.lock);
    if (!slot.current) slot.current = BackendFromEnvironment();
    return slot.current;
}

void UseVirtualCards(unsigned count) { Install(std::make_shared<VirtualBackend>(count, true)); }

void UseAlsa() { Install(std::make_shared<AlsaBackend>(true)); }

void SelectBackendFromEnvironment() { Install(BackendFromEnvironment()); }

const char* BackendName() { return CurrentBackend()->Name(); }

uint32_t WaveOutGetNumDevs() { return CountDevices(Direction::Playback); }

Result WaveOutGetDevCaps(uint32_t deviceId, DeviceCaps& caps) {
    return Caps(Direction::Playback, deviceId, caps);
}

Result WaveOutOpen(WaveOut** device, uint32_t deviceId, const WaveFormat& format,
                   WaveOutCallback callback, void* instance) {
    return OpenDevice(Direction::Playback, device, deviceId, format, callback, instance);
}

Result WaveOutPrepareHeader(WaveOut* device, WaveHeader* header) {
    WaveOut* checked = Checked(device);
    return checked ? checked->Prepare(header) : InvalidHandle;
}

Result WaveOutUnprepareHeader(WaveOut* device, WaveHeader* header) {
    WaveOut* checked = Checked(device);
    return checked ? checked->Unprepare(header) : InvalidHandle;
}

Result WaveOutWrite(WaveOut* device, WaveHeader* header) {
    WaveOut* checked = Checked(device);
    return checked ? checked->Queue(header) : InvalidHandle;
}

Result WaveOutReset(WaveOut* device) {
    WaveOut* checked = Checked(device);
    return checked ? checked->Reset() : InvalidHandle;
}

Result WaveOutClose(WaveOut* device) { return CloseDevice(device); }

uint32_t WaveOutGetUnderruns(WaveOut* device) {
    WaveOut* checked = Checked(device);
    return checked ? checked->Underruns() : 0;
}

uint32_t WaveInGetNumDevs() { return CountDevices(Direction::Capture); }

Result WaveInGetDevCaps(uint32_t deviceId, DeviceCaps& caps) {
    return Caps(Direction::Capture, deviceId, caps);
}

Result WaveInOpen(WaveIn** device, uint32_t deviceId, const WaveFormat& format,
                  WaveInCallback callback, void* instance) {
    return OpenDevice(Direction::Capture, device, deviceId, format, callback, instance);
}

Result WaveInPrepareHeader(WaveIn* device, WaveHeader* header) {
    WaveIn* checked = Checked(device);
    return checked ? checked->Prepare(header) : InvalidHandle;
}

Result WaveInUnprepareHeader(WaveIn* device, WaveHeader* header) {
    WaveIn* checked = Checked(device);
    return checked ? checked->Unprepare(header) : InvalidHandle;
}

Result WaveInAddBuffer(WaveIn* device, WaveHeader* header) {
    WaveIn* checked = Checked(device);
    return checked ? checked->Queue(header) : InvalidHandle;
}

Result WaveInStart(WaveIn* device) {
    WaveIn* checked = Checked(device);
    return checked ? checked->StartCapture() : InvalidHandle;
}

Result WaveInStop(WaveIn* device) {
    WaveIn* checked = Checked(device);
    return checked ? checked->StopCapture() : InvalidHandle;
}

Result WaveInReset(WaveIn* device) {
    WaveIn* checked = Checked(device);
    return checked ? checked->Reset() : InvalidHandle;
}

Result WaveInClose(WaveIn* device) { return CloseDevice(device); }

uint16_t WaveInGetPeak(WaveIn* device) {
    WaveIn* checked = Checked(device);
    return checked ? checked->Peak() : 0;
}

}  // namespace wave
