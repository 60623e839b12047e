#include "storage/StorageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/os/Files.h"

StorageFile::~StorageFile() {
    Close();
}

StorageFile::StorageFile(StorageFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      directCapable_(std::exchange(other.directCapable_, false)),
      direct_(std::exchange(other.direct_, false)) {}

StorageFile& StorageFile::operator=(StorageFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        directCapable_ = std::exchange(other.directCapable_, false);
        direct_ = std::exchange(other.direct_, false);
    }
    return *this;
}

bool StorageFile::OpenReadWrite(const char* path, uint32_t flags) {
    return Open(path, O_RDWR | O_CREAT | O_NOFOLLOW, flags);
}

bool StorageFile::OpenRead(const char* path, uint32_t flags) {
    return Open(path, O_RDONLY, flags);
}

bool StorageFile::Create(const char* path, uint32_t flags) {
    return Open(path, O_WRONLY | O_CREAT | O_TRUNC, flags);
}

bool StorageFile::CreateNew(const char* path, uint32_t flags) {
    return Open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, flags);
}

bool StorageFile::Open(const char* path, int accessFlags, uint32_t flags) {
    Close();
    accessFlags |= O_CLOEXEC;
    if (flags & FileNoBuffering) {
        fd_ = OpenKeepingTimes(path, accessFlags | O_DIRECT);
        if (fd_ >= 0) {
            directCapable_ = direct_ = true;
        } else if (errno != EINVAL) {
            return false;
        }
    }
    if (fd_ < 0) {
        fd_ = OpenKeepingTimes(path, accessFlags);
        if (fd_ < 0)
            return false;
    }
    if (flags & FileSequentialScan)
        posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

void StorageFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    directCapable_ = direct_ = false;
}

bool StorageFile::Aligned(const void* buffer, int64_t offset, size_t count) const {
    return reinterpret_cast<uintptr_t>(buffer) % DirectAlignment == 0 &&
           offset % static_cast<int64_t>(DirectAlignment) == 0 && count % DirectAlignment == 0;
}

bool StorageFile::UseDirect(bool on) {
    on = on && directCapable_;
    if (on == direct_)
        return on;
    int flags = fcntl(fd_, F_GETFL);
    if (flags < 0 || fcntl(fd_, F_SETFL, on ? (flags | O_DIRECT) : (flags & ~O_DIRECT)) < 0) {
        if (on)
            directCapable_ = false;
        return direct_;
    }
    direct_ = on;
    return on;
}

size_t StorageFile::ReadAt(int64_t offset, void* buffer, size_t count) {
    if (fd_ < 0 || offset < 0)
        return 0;
    // Reads always go through the page cache (see StorageFile.h).
    UseDirect(false);
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        int64_t at = offset + static_cast<int64_t>(done);
        ssize_t got = ::pread(fd_, out + done, count - done, at);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EINVAL && direct_) {
                UseDirect(false);
                directCapable_ = false;
                continue;
            }
            break;
        }
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

size_t StorageFile::WriteAt(int64_t offset, const void* data, size_t count) {
    if (fd_ < 0 || offset < 0)
        return 0;
    const auto* in = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < count) {
        int64_t at = offset + static_cast<int64_t>(done);
        UseDirect(Aligned(in + done, at, count - done));
        ssize_t put = ::pwrite(fd_, in + done, count - done, at);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EINVAL && direct_) {
                UseDirect(false);
                directCapable_ = false;
                continue;
            }
            break;
        }
        if (put == 0)
            break;
        done += static_cast<size_t>(put);
    }
    return done;
}

bool StorageFile::Truncate(int64_t length) {
    if (fd_ < 0)
        return false;
    int result;
    do {
        result = ::ftruncate(fd_, length);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

int64_t StorageFile::Size() const {
    struct stat info;
    if (fd_ < 0 || ::fstat(fd_, &info) != 0)
        return -1;
    return info.st_size;
}

bool StorageFile::Sync(const char* path) {
    return fd_ >= 0 && SyncData(fd_, path);
}
