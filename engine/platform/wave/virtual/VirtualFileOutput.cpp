#include "platform/wave/virtual/VirtualFileOutput.h"

#include <algorithm>
#include <cerrno>

#include "platform/os/Files.h"

namespace wave {

void VirtualFileOutput::Write(const char* data, size_t bytes) {
    const uint64_t written = written_.load();
    if (error_.load() != 0 || written >= limit_)
        return;
    const auto count = static_cast<size_t>(std::min<uint64_t>(bytes, limit_ - written));
    errno = 0;
    if (!WriteAll(fd_, data, count)) {
        // A write that took nothing without saying why (a full device) counts as an I/O error.
        error_.store(errno != 0 ? errno : EIO);
        return;
    }
    written_.store(written + count);
}

}  // namespace wave
