#pragma once

#include <cstddef>
#include <vector>

// A first-in-first-out list of buffer pointers with a fixed capacity, set while the transport
// is stopped. Push and Pop never allocate, so the player and driver threads can use it.
template <typename T>
class BufferRing {
  public:
    void Reserve(size_t capacity) {
        slots_.assign(capacity, nullptr);
        head_ = 0;
        count_ = 0;
    }
    void Clear() {
        head_ = 0;
        count_ = 0;
    }
    bool Empty() const { return count_ == 0; }
    size_t Size() const { return count_; }
    // False when full (which the buffer accounting never allows).
    bool Push(T* item) {
        if (count_ == slots_.size())
            return false;
        slots_[(head_ + count_) % slots_.size()] = item;
        ++count_;
        return true;
    }
    T* Pop() {
        if (count_ == 0)
            return nullptr;
        T* item = slots_[head_];
        head_ = (head_ + 1) % slots_.size();
        --count_;
        return item;
    }

    // Visits every item, oldest first.
    template <typename F>
    void ForEach(F visit) const {
        for (size_t i = 0; i < count_; ++i)
            visit(slots_[(head_ + i) % slots_.size()]);
    }

  private:
    std::vector<T*> slots_;
    size_t head_ = 0;
    size_t count_ = 0;
};
