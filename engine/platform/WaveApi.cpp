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

constexpr size_t MaxOpenDevices = 256;

// The layer's global state needs no destructor, so that devices the engine closes from its
// own exit-time (or unload-time) destructors still find it whatever order those run in.
struct BackendSlot {
    std::mutex lock;
    std::shared_ptr<WaveBackend>* current = nullptr;  // on the heap, see BackendRelease
};
constinit BackendSlot slot;

struct DeviceRegistry {
    std::mutex lock;
    WaveDevice* open[MaxOpenDevices] = {};
};
constinit DeviceRegistry registry;

// Lets go of the current backend when the program ends or the library is unloaded; devices
// still open keep theirs until they are closed.
struct BackendRelease {
    ~BackendRelease() {
        std::lock_guard<std::mutex> guard(slot.lock);
        delete slot.current;
        slot.current = nullptr;
    }
} releaseAtExit;

unsigned VirtualCountFromEnvironment() {
    const char* text = std::getenv("ZEMBLA_VIRTUAL_CARDS");
    if (!text || !*text)
        return DefaultVirtualCards;
    char* end = nullptr;
    const unsigned long count = std::strtoul(text, &end, 10);
    if (*end != '\0' || count > MaxVirtualCards) {
        std::fprintf(stderr,
                     "ZEMBLA_VIRTUAL_CARDS=%s is not a number of cards up to %u; using %u\n", text,
                     MaxVirtualCards, DefaultVirtualCards);
        return DefaultVirtualCards;
    }
    return static_cast<unsigned>(count);
}

std::shared_ptr<WaveBackend> BackendFromEnvironment() {
    const char* mode = std::getenv("ZEMBLA_AUDIO");
    if (mode && strcasecmp(mode, "virtual") == 0)
        return std::make_shared<VirtualBackend>(VirtualCountFromEnvironment(), false);
    if (mode && strcasecmp(mode, "alsa") == 0)
        return std::make_shared<AlsaBackend>(false);
    if (mode && *mode)
        std::fprintf(stderr, "ZEMBLA_AUDIO=%s is neither \"alsa\" nor \"virtual\"; ignored\n",
                     mode);
    auto alsa = std::make_shared<AlsaBackend>(false);
    if (alsa->DeviceCount(Direction::Playback) > 0)
        return alsa;
    return std::make_shared<VirtualBackend>(VirtualCountFromEnvironment(), false);
}

void Install(std::shared_ptr<WaveBackend> backend) {
    std::lock_guard<std::mutex> guard(slot.lock);
    if (slot.current)
        *slot.current = std::move(backend);
    else
        slot.current = new std::shared_ptr<WaveBackend>(std::move(backend));
}

// The handle when it names an open device of that kind, otherwise nullptr.
template <typename Device>
Device* Checked(Device* device) {
    if (!device)
        return nullptr;
    std::lock_guard<std::mutex> guard(registry.lock);
    const auto end = std::end(registry.open);
    return std::find(std::begin(registry.open), end, device) != end ? device : nullptr;
}

bool Register(WaveDevice* device) {
    std::lock_guard<std::mutex> guard(registry.lock);
    for (WaveDevice*& entry : registry.open)
        if (!entry) {
            entry = device;
            return true;
        }
    return false;
}

void Unregister(WaveDevice* device) {
    std::lock_guard<std::mutex> guard(registry.lock);
    std::replace(std::begin(registry.open), std::end(registry.open), device,
                 static_cast<WaveDevice*>(nullptr));
}

template <typename Device, typename Callback>
Result OpenDevice(Direction direction, Device** handle, uint32_t deviceId, const WaveFormat& format,
                  Callback callback, void* instance) {
    if (!handle)
        return UnspecifiedError;
    *handle = nullptr;
    std::shared_ptr<WaveBackend> backend = CurrentBackend();
    if (deviceId >= backend->DeviceCount(direction))
        return BadDeviceId;
    if (!IsSupportedFormat(format))
        return BadFormat;
    try {
        auto device = std::make_unique<Device>(format, callback, instance);
        std::unique_ptr<DeviceDriver> driver;
        if (Result opened = backend->Open(direction, deviceId, format, driver); opened != NoError)
            return opened;
        if (!Register(device.get()))
            return NoMemory;  // more devices open than anyone needs
        try {
            device->Attach(std::move(driver));
        } catch (...) {
            Unregister(device.get());
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
    if (!device)
        return InvalidHandle;
    if (Result closed = device->Close(); closed != NoError)
        return closed;
    Unregister(device);
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
    if (deviceId >= backend->DeviceCount(direction))
        return BadDeviceId;
    try {
        return backend->GetCaps(direction, deviceId, caps);
    } catch (const std::bad_alloc&) {
        return NoMemory;
    }
}

}  // namespace

std::shared_ptr<WaveBackend> CurrentBackend() {
    std::lock_guard<std::mutex> guard(slot.lock);
    if (!slot.current)
        slot.current = new std::shared_ptr<WaveBackend>(BackendFromEnvironment());
    return *slot.current;
}

void UseVirtualCards(unsigned count) {
    Install(std::make_shared<VirtualBackend>(count, true));
}

void UseAlsa() {
    Install(std::make_shared<AlsaBackend>(true));
}

void SelectBackendFromEnvironment() {
    Install(BackendFromEnvironment());
}

const char* BackendName() {
    return CurrentBackend()->Name();
}

uint32_t WaveOutGetNumDevs() {
    return CountDevices(Direction::Playback);
}

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

Result WaveOutClose(WaveOut* device) {
    return CloseDevice(device);
}

uint32_t WaveOutGetUnderruns(WaveOut* device) {
    WaveOut* checked = Checked(device);
    return checked ? checked->Underruns() : 0;
}

uint32_t WaveInGetNumDevs() {
    return CountDevices(Direction::Capture);
}

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

Result WaveInClose(WaveIn* device) {
    return CloseDevice(device);
}

uint16_t WaveInGetPeak(WaveIn* device) {
    WaveIn* checked = Checked(device);
    return checked ? checked->Peak() : 0;
}

}  // namespace wave
