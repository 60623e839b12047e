#include "platform/os/Event.h"

#include <chrono>

Event::Event(bool manualReset, bool initiallySet) : manualReset_(manualReset), set_(initiallySet) {}

void Event::Set() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        set_ = true;
    }
    if (manualReset_)
        changed_.notify_all();
    else
        changed_.notify_one();
}

void Event::Reset() {
    std::lock_guard<std::mutex> guard(lock_);
    set_ = false;
}

bool Event::Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> guard(lock_);
    auto isSet = [this] { return set_; };
    if (timeoutMs == Infinite) {
        changed_.wait(guard, isSet);
    } else if (!changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), isSet)) {
        return false;
    }
    if (!manualReset_)
        set_ = false;
    return true;
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> guard(lock_);
    return set_;
}
