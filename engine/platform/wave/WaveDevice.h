#pragma once

// The bookkeeping of one open wave device, shared by every backend: header flags, the queue
// of written/added headers, the reset/stop handshake with the driver thread, the done
// callbacks, failure, the input peak and the under-run and overrun counts. The backend's
// DeviceDriver runs on the device's driver thread and moves the bytes.
//
// Locking: one mutex per device guards the queue, the flags of queued headers, the state and
// the commands. Callbacks are made without it, so a callback may prepare, write and add
// headers. Nothing here allocates after the device is open, except PrepareHeader growing the
// queue the first time more headers are prepared than before.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/wave/WaveApi.h"
#include "platform/wave/WaveBackend.h"

namespace wave {

// A first-in first-out ring of queued headers; each entry carries a number the driver may
// use. WaveDevice stamps it with the time the header was queued (see QueuedAt); a driver may
// overwrite it (e.g. with the stream position at which the buffer ends).
class HeaderQueue {
  public:
    // Makes room for at least capacity headers; never shrinks.
    void Reserve(size_t capacity);
    // False when full.
    bool Push(WaveHeader* header, uint64_t mark);
    WaveHeader* PopFront();

    bool Empty() const { return size_ == 0; }
    size_t Size() const { return size_; }
    WaveHeader* At(size_t index) const { return entries_[Slot(index)].header; }
    uint64_t& MarkAt(size_t index) { return entries_[Slot(index)].mark; }

  private:
    size_t Slot(size_t index) const { return (head_ + index) % entries_.size(); }

    struct Entry {
        WaveHeader* header = nullptr;
        uint64_t mark = 0;
    };
    std::vector<Entry> entries_;
    size_t head_ = 0;
    size_t size_ = 0;
};

class WaveDevice {
  public:
    enum class Command { None, Reset, Stop };
    using Clock = std::chrono::steady_clock;

    WaveDevice(Direction direction, const WaveFormat& format, void* instance);
    virtual ~WaveDevice();
    WaveDevice(const WaveDevice&) = delete;
    WaveDevice& operator=(const WaveDevice&) = delete;

    // The handle callers know the device by (handed to the callback); set once, before Attach.
    void SetHandle(uintptr_t handle) { handle_ = handle; }
    // Starts the driver thread; called once, right after the backend opened the device.
    void Attach(std::unique_ptr<DeviceDriver> driver);

    Direction GetDirection() const { return direction_; }
    const WaveFormat& Format() const { return format_; }

    // --- Caller side (the engine's threads) ---
    Result Prepare(WaveHeader* header);
    Result Unprepare(WaveHeader* header);
    // NoDriver once the device failed.
    Result Queue(WaveHeader* header);
    // Returns every queued header through the callback (on the driver thread) before it
    // returns. Capture also stops.
    Result Reset();
    // NoDriver once the device failed.
    Result StartCapture();
    // Stops capture; a partly filled buffer comes back, empty ones stay queued.
    Result StopCapture();
    // StillPlaying while headers are queued, InvalidHandle when another thread closed it
    // already; otherwise stops the driver thread (after which the object may be deleted).
    Result Close();
    DeviceState State() const;
    uint16_t Peak() const { return peak_.load(std::memory_order_relaxed); }
    uint32_t Underruns() const { return underruns_.load(std::memory_order_relaxed); }
    uint32_t Overruns() const { return overruns_.load(std::memory_order_relaxed); }
    // Makes the driver look at its device again (a backend's own state changed).
    void Wake();

    // --- Driver side (the driver thread, holding the lock unless said otherwise) ---
    std::mutex& Mutex() { return lock_; }
    HeaderQueue& Queued() { return queue_; }
    bool QuitRequested() const { return quit_; }
    Command PendingCommand() const { return command_; }
    bool CaptureStarted() const { return captureStarted_; }
    // When the running capture was started, and how often it was started since the device
    // opened (so that a driver sees a stop and a new start it did not witness).
    Clock::time_point CaptureStartedAt() const { return captureStartedAt_; }
    uint64_t CaptureStarts() const { return captureStarts_; }
    // When a header was queued, from the mark WaveDevice gave its queue entry.
    static Clock::time_point QueuedAt(uint64_t mark) {
        return Clock::time_point(Clock::duration(static_cast<Clock::rep>(mark)));
    }
    void WaitForChange(std::unique_lock<std::mutex>& lock) { changed_.wait(lock); }
    void WaitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point deadline) {
        changed_.wait_until(lock, deadline);
    }
    // Finishes the pending command after the driver stopped its stream: Reset returns every
    // header queued now, Stop returns a partly filled capture buffer. Unlocks while calling
    // back.
    void ServeCommand(std::unique_lock<std::mutex>& lock);
    // Takes the oldest header off the queue, marks it done and hands it to the callback
    // (unlocked meanwhile). Capture: BytesRecorded says how much it holds, and the peak is
    // measured from it.
    void CompleteFront(std::unique_lock<std::mutex>& lock);
    // The device is gone: every queued header comes back marked failed, later writes are
    // refused. Then serves commands until the device is closed, and returns.
    void FailAndIdle(std::unique_lock<std::mutex>& lock);
    // Playback: everything queued has been played and nothing more came. A header queued
    // after this counts as an under-run (unless a reset came first).
    void NoteRanDry() { dry_ = true; }
    // Playback: the device ran out while headers were waiting (the driver was late).
    void NoteUnderrun() { underruns_.fetch_add(1, std::memory_order_relaxed); }
    // Capture: input was lost because no buffer could take it.
    void NoteOverrun() { overruns_.fetch_add(1, std::memory_order_relaxed); }

  protected:
    // Calls the user's callback for a header that came back.
    virtual void Deliver(WaveHeader* header) = 0;
    void* Instance() const { return instance_; }
    uintptr_t Handle() const { return handle_; }

  private:
    Result RunCommand(Command command);
    void Notify();

    const Direction direction_;
    const WaveFormat format_;
    void* const instance_;
    uintptr_t handle_ = 0;

    mutable std::mutex lock_;
    std::condition_variable changed_;  // anything the driver waits for
    std::condition_variable served_;   // a command was served
    HeaderQueue queue_;
    size_t prepared_ = 0;
    bool quit_ = false;
    bool failed_ = false;
    bool dry_ = false;
    bool captureStarted_ = false;
    Clock::time_point captureStartedAt_;
    uint64_t captureStarts_ = 0;
    Command command_ = Command::None;
    uint64_t commandsIssued_ = 0;
    uint64_t commandsServed_ = 0;
    std::mutex commandLock_;  // one command at a time

    std::atomic<uint16_t> peak_{0};
    std::atomic<uint32_t> underruns_{0};
    std::atomic<uint32_t> overruns_{0};

    std::unique_ptr<DeviceDriver> driver_;
    std::thread thread_;
    std::thread::id driverThread_;
};

class WaveOutDevice final : public WaveDevice {
  public:
    WaveOutDevice(const WaveFormat& format, WaveOutCallback callback, void* instance)
        : WaveDevice(Direction::Playback, format, instance), callback_(callback) {}

  private:
    void Deliver(WaveHeader* header) override {
        if (callback_)
            callback_(reinterpret_cast<WaveOut*>(Handle()), OutDone, Instance(), header);
    }
    const WaveOutCallback callback_;
};

class WaveInDevice final : public WaveDevice {
  public:
    WaveInDevice(const WaveFormat& format, WaveInCallback callback, void* instance)
        : WaveDevice(Direction::Capture, format, instance), callback_(callback) {}

  private:
    void Deliver(WaveHeader* header) override {
        if (callback_)
            callback_(reinterpret_cast<WaveIn*>(Handle()), InData, Instance(), header);
    }
    const WaveInCallback callback_;
};

}  // namespace wave
