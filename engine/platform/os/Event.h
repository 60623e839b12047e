#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// A waitable flag in the manner of the kernel events the engine's threads signal each other
// with. An auto-reset event releases one waiter and clears itself; a manual-reset event stays
// set until Reset.
class Event {
  public:
    static constexpr uint32_t Infinite = 0xFFFFFFFFu;

    Event(bool manualReset, bool initiallySet);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // Waits until the event is set or timeoutMs passed; true when it was set.
    bool Wait(uint32_t timeoutMs = Infinite);
    // Whether the event is set now, without waiting or consuming it.
    bool IsSet() const;

  private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    const bool manualReset_;
    bool set_;
};
