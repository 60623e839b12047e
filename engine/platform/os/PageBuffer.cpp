#include "platform/os/PageBuffer.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <utility>

PageBuffer::~PageBuffer() {
    Free();
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
    if (this != &other) {
        Free();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

namespace {
std::atomic<size_t> allocationLimit{0};
}

void PageBuffer::LimitAllocationsForTests(size_t bytes) {
    allocationLimit.store(bytes);
}

bool PageBuffer::Allocate(size_t size) {
    Free();
    if (size == 0)
        return true;
    if (const size_t limit = allocationLimit.load(std::memory_order_relaxed); limit && size > limit)
        return false;
    void* block = nullptr;
    if (posix_memalign(&block, PageSize(), size) != 0)
        return false;
    std::memset(block, 0, size);
    data_ = static_cast<uint8_t*>(block);
    size_ = size;
    return true;
}

void PageBuffer::Free() {
    std::free(data_);
    data_ = nullptr;
    size_ = 0;
}

size_t PageBuffer::PageSize() {
    static const size_t page = [] {
        long size = sysconf(_SC_PAGESIZE);
        return size > 0 ? static_cast<size_t>(size) : size_t{4096};
    }();
    return page;
}
