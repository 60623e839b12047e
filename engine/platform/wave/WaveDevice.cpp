#include "platform/wave/WaveDevice.h"

#include <algorithm>

namespace wave {

void HeaderQueue::Reserve(size_t capacity) {
    if (capacity <= entries_.size())
        return;
    std::vector<Entry> grown(std::max(capacity, entries_.size() * 2));
    for (size_t i = 0; i < size_; ++i)
        grown[i] = entries_[Slot(i)];
    entries_ = std::move(grown);
    head_ = 0;
}

bool HeaderQueue::Push(WaveHeader* header, uint64_t mark) {
    if (size_ == entries_.size())
        return false;
    Entry& entry = entries_[Slot(size_)];
    entry.header = header;
    entry.mark = mark;
    ++size_;
    return true;
}

WaveHeader* HeaderQueue::PopFront() {
    if (size_ == 0)
        return nullptr;
    WaveHeader* header = entries_[head_].header;
    head_ = (head_ + 1) % entries_.size();
    --size_;
    return header;
}

WaveDevice::WaveDevice(Direction direction, const WaveFormat& format, void* instance)
    : direction_(direction), format_(format), instance_(instance) {
    queue_.Reserve(8);
}

WaveDevice::~WaveDevice() {
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            quit_ = true;
        }
        Notify();
        thread_.join();
    }
}

void WaveDevice::Attach(std::unique_ptr<DeviceDriver> driver) {
    driver_ = std::move(driver);
    thread_ = std::thread([this] { driver_->Run(*this); });
    // Read by callers on any thread (thread_ itself is joined by Close): callers only get the
    // handle once Attach has returned.
    driverThread_ = thread_.get_id();
}

void WaveDevice::Notify() {
    changed_.notify_all();
    if (driver_)
        driver_->Wake();
}

void WaveDevice::Wake() {
    // Taking the lock first: a driver that has just looked and is about to wait cannot miss
    // the wake-up.
    { std::lock_guard<std::mutex> guard(lock_); }
    Notify();
}

DeviceState WaveDevice::State() const {
    std::lock_guard<std::mutex> guard(lock_);
    if (quit_)
        return DeviceState::Invalid;
    return failed_ ? DeviceState::Failed : DeviceState::Working;
}

Result WaveDevice::Prepare(WaveHeader* header) {
    if (!header || !header->Data || header->BufferLength == 0)
        return UnspecifiedError;
    std::lock_guard<std::mutex> guard(lock_);
    if (header->Flags & HeaderPrepared)
        return NoError;
    // Growing here keeps Write and AddBuffer free of allocation: only prepared headers can
    // be queued.
    try {
        queue_.Reserve(prepared_ + 1);
    } catch (const std::bad_alloc&) {
        return NoMemory;
    }
    ++prepared_;
    header->Flags |= HeaderPrepared;
    return NoError;
}

Result WaveDevice::Unprepare(WaveHeader* header) {
    if (!header)
        return UnspecifiedError;
    std::lock_guard<std::mutex> guard(lock_);
    if (header->Flags & HeaderInQueue)
        return StillPlaying;
    if (!(header->Flags & HeaderPrepared))
        return NoError;
    header->Flags &= ~HeaderPrepared;
    if (prepared_ > 0)
        --prepared_;
    return NoError;
}

Result WaveDevice::Queue(WaveHeader* header) {
    if (!header)
        return UnspecifiedError;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (quit_)
            return InvalidHandle;  // a call racing the device's close
        if (failed_)
            return NoDriver;
        if (!(header->Flags & HeaderPrepared))
            return Unprepared;
        if (header->Flags & HeaderInQueue)
            return StillPlaying;
        const auto now = static_cast<uint64_t>(Clock::now().time_since_epoch().count());
        if (!queue_.Push(header, now)) {
            // Only when a header prepared on another device is queued here.
            try {
                queue_.Reserve(queue_.Size() + 1);
            } catch (const std::bad_alloc&) {
                return NoMemory;
            }
            queue_.Push(header, now);
        }
        if (direction_ == Direction::Capture)
            header->BytesRecorded = 0;
        header->Flags = (header->Flags & ~(HeaderDone | HeaderFailed)) | HeaderInQueue;
        if (dry_) {
            // The device had played everything and the run went on: there was a gap.
            dry_ = false;
            underruns_.fetch_add(1, std::memory_order_relaxed);
        }
    }
    Notify();
    return NoError;
}

Result WaveDevice::StartCapture() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (quit_)
            return InvalidHandle;
        if (failed_)
            return NoDriver;
        if (!captureStarted_) {
            captureStarted_ = true;
            captureStartedAt_ = Clock::now();
            ++captureStarts_;
        }
    }
    Notify();
    return NoError;
}

Result WaveDevice::StopCapture() {
    return RunCommand(Command::Stop);
}

Result WaveDevice::Reset() {
    return RunCommand(Command::Reset);
}

Result WaveDevice::RunCommand(Command command) {
    // The driver thread serves commands; asked from inside a callback it would wait for
    // itself.
    if (std::this_thread::get_id() == driverThread_)
        return HandleBusy;
    std::lock_guard<std::mutex> one(commandLock_);
    std::unique_lock<std::mutex> lock(lock_);
    if (quit_)
        return InvalidHandle;  // closed meanwhile on another thread
    captureStarted_ = false;
    dry_ = false;
    command_ = command;
    const uint64_t ticket = ++commandsIssued_;
    lock.unlock();
    Notify();
    lock.lock();
    served_.wait(lock, [&] { return commandsServed_ >= ticket; });
    return NoError;
}

void WaveDevice::ServeCommand(std::unique_lock<std::mutex>& lock) {
    const Command command = command_;
    const uint64_t ticket = commandsIssued_;
    if (command == Command::Reset) {
        // Only what was queued when the reset began: a callback may queue its header again.
        for (size_t count = queue_.Size(); count > 0 && !queue_.Empty(); --count)
            CompleteFront(lock);
    } else if (command == Command::Stop && direction_ == Direction::Capture) {
        if (!queue_.Empty() && queue_.At(0)->BytesRecorded > 0)
            CompleteFront(lock);
    }
    command_ = Command::None;
    commandsServed_ = ticket;
    served_.notify_all();
}

void WaveDevice::CompleteFront(std::unique_lock<std::mutex>& lock) {
    WaveHeader* header = queue_.PopFront();
    if (!header)
        return;
    if (direction_ == Direction::Capture && header->BytesRecorded > 0)
        peak_.store(PeakOf(header->Data, header->BytesRecorded, format_),
                    std::memory_order_relaxed);
    header->Flags = (header->Flags & ~HeaderInQueue) | HeaderDone;
    if (failed_)
        header->Flags |= HeaderFailed;
    lock.unlock();
    Deliver(header);
    lock.lock();
}

void WaveDevice::FailAndIdle(std::unique_lock<std::mutex>& lock) {
    failed_ = true;
    captureStarted_ = false;
    // Everything queued now comes back; nothing new can be queued.
    while (!queue_.Empty())
        CompleteFront(lock);
    for (;;) {
        if (quit_)
            return;
        if (command_ != Command::None) {
            ServeCommand(lock);
            continue;
        }
        changed_.wait(lock);
    }
}

Result WaveDevice::Close() {
    if (std::this_thread::get_id() == driverThread_)
        return HandleBusy;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (quit_)
            return InvalidHandle;  // another thread is closing it
        if (!queue_.Empty())
            return StillPlaying;
        if (command_ != Command::None)
            return HandleBusy;  // a reset or stop on another thread is being served
        quit_ = true;
    }
    Notify();
    if (thread_.joinable())
        thread_.join();
    return NoError;
}

}  // namespace wave
