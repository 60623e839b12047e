#pragma once

// The bookkeeping of one open wave device, shared by every backend: header flags, the queue
// of written/added headers, the reset/stop handshake with the driver thread, the done
// callbacks, the input peak and the under-run count. The backend's DeviceDriver runs on the
// device's driver thread and moves the bytes.
//
// Locking: one mutex per device guards the queue, the flags of queued headers and the
// commands. Callbacks are made without it, so a callback may prepare, write and add headers.
// Nothing here allocates after the device is open, except PrepareHeader growing the queue
// the first time more headers are prepared than before.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/WaveApi.h"
#include "platform/WaveBackend.h"

namespace wave {

// A first-in first-out ring of queued headers; each entry carries a number the driver may
// use (e.g. the stream position at which the buffer ends).
class HeaderQueue {
  public:
    // Makes room for at least capacity headers; never shrinks.
    void Reserve(size_t capacity);
    // False when full.
    bool Push(WaveHeader* header);
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

    // Starts the driver thread; called once, right after the backend opened the device.
    void Attach(std::unique_ptr<DeviceDriver> driver);

    Direction GetDirection() const { return direction_; }
    const WaveFormat& Format() const { return format_; }

    // --- Caller side (the engine's threads) ---
    Result Prepare(WaveHeader* header);
    Result Unprepare(WaveHeader* header);
    Result Queue(WaveHeader* header);
    // Returns every queued header through the callback (on the driver thread) before it
    // returns. Capture also stops.
    Result Reset();
    Result StartCapture();
    // Stops capture; a partly filled buffer comes back, empty ones stay queued.
    Result StopCapture();
    // StillPlaying while headers are queued; otherwise stops the driver thread (after which
    // the object may be deleted).
    Result Close();
    uint16_t Peak() const { return peak_.load(std::memory_order_relaxed); }
    uint32_t Underruns() const { return underruns_.load(std::memory_order_relaxed); }

    // --- Driver side (the driver thread, holding the lock unless said otherwise) ---
    std::mutex& Mutex() { return lock_; }
    HeaderQueue& Queued() { return queue_; }
    bool QuitRequested() const { return quit_; }
    Command PendingCommand() const { return command_; }
    bool CaptureStarted() const { return captureStarted_; }
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
    void NoteUnderrun() { underruns_.fetch_add(1, std::memory_order_relaxed); }

  protected:
    // Calls the user's callback for a header that came back.
    virtual void Deliver(WaveHeader* header) = 0;
    void* Instance() const { return instance_; }

  private:
    Result RunCommand(Command command);
    void Notify();

    const Direction direction_;
    const WaveFormat format_;
    void* const instance_;

    std::mutex lock_;
    std::condition_variable changed_;  // anything the driver waits for
    std::condition_variable served_;   // a command was served
    HeaderQueue queue_;
    size_t prepared_ = 0;
    bool quit_ = false;
    bool captureStarted_ = false;
    Command command_ = Command::None;
    uint64_t commandsIssued_ = 0;
    uint64_t commandsServed_ = 0;
    std::mutex commandLock_;  // one command at a time

    std::atomic<uint16_t> peak_{0};
    std::atomic<uint32_t> underruns_{0};

    std::unique_ptr<DeviceDriver> driver_;
    std::thread thread_;
};

class WaveOut final : public WaveDevice {
  public:
    WaveOut(const WaveFormat& format, WaveOutCallback callback, void* instance)
        : WaveDevice(Direction::Playback, format, instance), callback_(callback) {}

  private:
    void Deliver(WaveHeader* header) override {
        if (callback_)
            callback_(this, OutDone, Instance(), header);
    }
    const WaveOutCallback callback_;
};

class WaveIn final : public WaveDevice {
  public:
    WaveIn(const WaveFormat& format, WaveInCallback callback, void* instance)
        : WaveDevice(Direction::Capture, format, instance), callback_(callback) {}

  private:
    void Deliver(WaveHeader* header) override {
        if (callback_)
            callback_(this, InData, Instance(), header);
    }
    const WaveInCallback callback_;
};

}  // namespace wave
