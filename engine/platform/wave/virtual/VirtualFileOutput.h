#pragma once

// The file a virtual card's wave-out plays into (see VirtualOutput.h). Write runs on the card's
// driver thread, one at a time (a card's wave-out is open once at most); the counts may be read
// from any thread.

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace wave {

class VirtualFileOutput {
  public:
    VirtualFileOutput(int fd, uint64_t limit) : fd_(fd), limit_(limit) {}

    // Writes what still fits under the limit and drops the rest; after a failed write, nothing.
    void Write(const char* data, size_t bytes);

    uint64_t Written() const { return written_.load(); }
    int Error() const { return error_.load(); }

  private:
    const int fd_;
    const uint64_t limit_;
    std::atomic<uint64_t> written_{0};
    std::atomic<int> error_{0};
};

}  // namespace wave
