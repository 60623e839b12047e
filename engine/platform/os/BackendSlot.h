#pragma once

#include <memory>
#include <mutex>

// The process-wide backend of one kind (sound cards, the synthesizer), made on first use and
// replaceable by programs and tests. A slot is meant to be a constinit global: it has no
// destructor, so that devices the engine closes from its own exit-time (or unload-time)
// destructors still find a backend whatever order those run in. Release, called from one
// exit-time destructor, lets go of the backend; devices still open keep theirs until they close.
template <class Backend>
class BackendSlot {
  public:
    constexpr BackendSlot() = default;

    template <class Make>
    std::shared_ptr<Backend> GetOrMake(Make make) {
        std::lock_guard<std::mutex> guard(lock_);
        if (!current_)
            current_ = new std::shared_ptr<Backend>(make());
        return *current_;
    }

    void Replace(std::shared_ptr<Backend> backend) {
        std::lock_guard<std::mutex> guard(lock_);
        if (current_)
            *current_ = std::move(backend);
        else
            current_ = new std::shared_ptr<Backend>(std::move(backend));
    }

    void Release() {
        std::lock_guard<std::mutex> guard(lock_);
        delete current_;
        current_ = nullptr;
    }

  private:
    std::mutex lock_;
    std::shared_ptr<Backend>* current_ = nullptr;  // on the heap: see the class comment
};

// The exit-time destructor that releases a slot's backend.
template <class Backend>
struct BackendSlotRelease {
    BackendSlot<Backend>& slot;
    ~BackendSlotRelease() { slot.Release(); }
};
