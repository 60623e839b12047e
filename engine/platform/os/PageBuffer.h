#pragma once

#include <cstddef>
#include <cstdint>

// A zero-filled, page-aligned block of memory: what wave buffers, track caches and the
// scratch buffer live in (page alignment also satisfies O_DIRECT file I/O). Allocation
// failure is reported by Allocate returning false, never by an exception, so that each
// caller can raise the error its own users expect.
class PageBuffer {
  public:
    PageBuffer() = default;
    ~PageBuffer();
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;
    PageBuffer(PageBuffer&& other) noexcept;
    PageBuffer& operator=(PageBuffer&& other) noexcept;

    // Replaces the block with a new zero-filled one of size bytes (0 frees it).
    bool Allocate(size_t size);
    void Free();

    uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

    static size_t PageSize();

    // Makes every allocation of more than bytes fail (0: no limit), so that tests can reach
    // the paths that handle running out of memory.
    static void LimitAllocationsForTests(size_t bytes);

  private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};
