// The wave layer's entry points: the handles of open devices, and forwarding to the device
// bookkeeping (WaveDevice) and the current backend.

#include "platform/wave/WaveApi.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>

#include "platform/wave/BackendSelection.h"
#include "platform/wave/WaveDevice.h"

namespace wave {

namespace {

// The open devices. A handle is a slot number in its low byte and, above it, a generation
// drawn from a counter that only grows, so that a closed handle never names a device again.
// Every call pins its device for its duration; closing waits until no other call holds it.
//
// Nothing here has a destructor, so that devices the engine closes from its own exit-time (or
// unload-time) destructors still find the registry whatever order those run in.
class DeviceRegistry {
  public:
    static constexpr size_t Slots = 256;

    // The new device's handle, or 0 when every slot is taken.
    uintptr_t Add(WaveDevice* device) {
        std::lock_guard<std::mutex> guard(lock_);
        for (size_t i = 0; i < Slots; ++i) {
            if (slots_[i].device)
                continue;
            const uintptr_t handle = (++generation_ << 8) | i;
            slots_[i] = Slot{handle, device, 0, false};
            device->SetHandle(handle);
            return handle;
        }
        return 0;
    }

    // Forgets a device that never got to its caller.
    void Drop(uintptr_t handle) {
        std::lock_guard<std::mutex> guard(lock_);
        slots_[handle % Slots] = Slot{};
    }

    WaveDevice* Pin(uintptr_t handle, Direction direction) {
        std::lock_guard<std::mutex> guard(lock_);
        Slot& slot = slots_[handle % Slots];
        if (handle == 0 || slot.handle != handle || slot.retiring ||
            slot.device->GetDirection() != direction)
            return nullptr;
        ++slot.pins;
        return slot.device;
    }

    void Unpin(uintptr_t handle) {
        std::lock_guard<std::mutex> guard(lock_);
        Slot& slot = slots_[handle % Slots];
        // The closing call keeps its own pin while it waits for the others.
        if (--slot.pins == 1 && slot.retiring)
            Unpinned().notify_all();
    }

    // Takes the device away from its handle once the calls still holding it have returned.
    // The caller holds one pin itself, which this consumes.
    WaveDevice* Retire(uintptr_t handle) {
        std::unique_lock<std::mutex> lock(lock_);
        Slot& slot = slots_[handle % Slots];
        slot.retiring = true;
        Unpinned().wait(lock, [&] { return slot.pins == 1; });
        WaveDevice* device = slot.device;
        slot = Slot{};
        return device;
    }

  private:
    struct Slot {
        uintptr_t handle = 0;
        WaveDevice* device = nullptr;
        uint32_t pins = 0;
        bool retiring = false;
    };

    static std::condition_variable& Unpinned() {
        static auto* unpinned = new std::condition_variable;  // never destroyed, see above
        return *unpinned;
    }

    std::mutex lock_;
    Slot slots_[Slots] = {};
    uintptr_t generation_ = 0;
};

constinit DeviceRegistry registry;

// One call's hold on the device a handle names; empty when the handle names none (of that
// direction).
class Pinned {
  public:
    Pinned(const void* handle, Direction direction)
        : handle_(reinterpret_cast<uintptr_t>(handle)), device_(registry.Pin(handle_, direction)) {}
    ~Pinned() {
        if (device_)
            registry.Unpin(handle_);
    }
    Pinned(const Pinned&) = delete;
    Pinned& operator=(const Pinned&) = delete;

    explicit operator bool() const { return device_ != nullptr; }
    WaveDevice* operator->() const { return device_; }

    // Closes the device: once its driver thread has ended, waits for the other calls that
    // hold it and deletes it.
    Result Close() {
        if (const Result closed = device_->Close(); closed != NoError)
            return closed;
        delete registry.Retire(handle_);
        device_ = nullptr;
        return NoError;
    }

  private:
    const uintptr_t handle_;
    WaveDevice* device_;
};

template <typename Handle, typename Device, typename Callback>
Result OpenDevice(Direction direction, Handle** handle, uint32_t deviceId, const WaveFormat& format,
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
        const uintptr_t id = registry.Add(device.get());
        if (id == 0)
            return NoMemory;  // more devices open than anyone needs
        try {
            device->Attach(std::move(driver));
        } catch (...) {
            registry.Drop(id);
            throw;
        }
        device.release();
        *handle = reinterpret_cast<Handle*>(id);
        return NoError;
    } catch (const std::bad_alloc&) {
        return NoMemory;
    } catch (const std::system_error&) {
        return NoMemory;  // no thread could be started
    }
}

DeviceState StateOf(const void* handle, Direction direction) {
    Pinned device(handle, direction);
    return device ? device->State() : DeviceState::Invalid;
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

constexpr Direction Out = Direction::Playback;
constexpr Direction In = Direction::Capture;

}  // namespace

uint32_t WaveOutGetNumDevs() {
    return CountDevices(Out);
}

Result WaveOutGetDevCaps(uint32_t deviceId, DeviceCaps& caps) {
    return Caps(Out, deviceId, caps);
}

Result WaveOutOpen(WaveOut** device, uint32_t deviceId, const WaveFormat& format,
                   WaveOutCallback callback, void* instance) {
    return OpenDevice<WaveOut, WaveOutDevice>(Out, device, deviceId, format, callback, instance);
}

Result WaveOutPrepareHeader(WaveOut* handle, WaveHeader* header) {
    Pinned device(handle, Out);
    return device ? device->Prepare(header) : InvalidHandle;
}

Result WaveOutUnprepareHeader(WaveOut* handle, WaveHeader* header) {
    Pinned device(handle, Out);
    return device ? device->Unprepare(header) : InvalidHandle;
}

Result WaveOutWrite(WaveOut* handle, WaveHeader* header) {
    Pinned device(handle, Out);
    return device ? device->Queue(header) : InvalidHandle;
}

Result WaveOutReset(WaveOut* handle) {
    Pinned device(handle, Out);
    return device ? device->Reset() : InvalidHandle;
}

Result WaveOutClose(WaveOut* handle) {
    Pinned device(handle, Out);
    return device ? device.Close() : InvalidHandle;
}

DeviceState WaveOutGetState(WaveOut* handle) {
    return StateOf(handle, Out);
}

uint32_t WaveOutGetUnderruns(WaveOut* handle) {
    Pinned device(handle, Out);
    return device ? device->Underruns() : 0;
}

uint32_t WaveInGetNumDevs() {
    return CountDevices(In);
}

Result WaveInGetDevCaps(uint32_t deviceId, DeviceCaps& caps) {
    return Caps(In, deviceId, caps);
}

Result WaveInOpen(WaveIn** device, uint32_t deviceId, const WaveFormat& format,
                  WaveInCallback callback, void* instance) {
    return OpenDevice<WaveIn, WaveInDevice>(In, device, deviceId, format, callback, instance);
}

Result WaveInPrepareHeader(WaveIn* handle, WaveHeader* header) {
    Pinned device(handle, In);
    return device ? device->Prepare(header) : InvalidHandle;
}

Result WaveInUnprepareHeader(WaveIn* handle, WaveHeader* header) {
    Pinned device(handle, In);
    return device ? device->Unprepare(header) : InvalidHandle;
}

Result WaveInAddBuffer(WaveIn* handle, WaveHeader* header) {
    Pinned device(handle, In);
    return device ? device->Queue(header) : InvalidHandle;
}

Result WaveInStart(WaveIn* handle) {
    Pinned device(handle, In);
    return device ? device->StartCapture() : InvalidHandle;
}

Result WaveInStop(WaveIn* handle) {
    Pinned device(handle, In);
    return device ? device->StopCapture() : InvalidHandle;
}

Result WaveInReset(WaveIn* handle) {
    Pinned device(handle, In);
    return device ? device->Reset() : InvalidHandle;
}

Result WaveInClose(WaveIn* handle) {
    Pinned device(handle, In);
    return device ? device.Close() : InvalidHandle;
}

DeviceState WaveInGetState(WaveIn* handle) {
    return StateOf(handle, In);
}

uint32_t WaveInGetOverruns(WaveIn* handle) {
    Pinned device(handle, In);
    return device ? device->Overruns() : 0;
}

uint16_t WaveInGetPeak(WaveIn* handle) {
    Pinned device(handle, In);
    return device ? device->Peak() : 0;
}

}  // namespace wave
