#include "platform/os/Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/os/FileDescriptor.h"

namespace {

std::atomic<FileOperationObserver> observer{nullptr};

}  // namespace

void SetFileOperationObserver(FileOperationObserver installed) {
    observer.store(installed);
}

void NoteFileOperation(FileOperation operation, const char* path) {
    if (FileOperationObserver watching = observer.load(std::memory_order_relaxed))
        watching(operation, path);
}

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool SyncData(int fd, const char* path) {
    int result;
    do {
        result = ::fdatasync(fd);
    } while (result < 0 && errno == EINTR);
    if (result != 0)
        return false;
    NoteFileOperation(FileOperation::DataSync, path);
    return true;
}

int OpenKeepingTimes(const char* path, int flags, int mode) {
    int fd;
    do {
        fd = ::open(path, flags | O_NOATIME, mode);
    } while (fd < 0 && errno == EINTR);
    // O_NOATIME is refused for files of other users; such files are read the plain way.
    if (fd < 0 && errno == EPERM) {
        do {
            fd = ::open(path, flags, mode);
        } while (fd < 0 && errno == EINTR);
    }
    return fd;
}

bool SyncFolderOf(const std::string& path) {
    const std::string folder = FolderOf(path);
    FileDescriptor dir(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.Valid() && ::fsync(dir.Get()) == 0;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool ReplaceFileAtomically(const std::string& path, const void* data, size_t size) {
    if (path.empty())
        return false;
    // Named after the process: two programs saving the same file at once (the GUI and the
    // command line saving the settings) must not write through or rename each other's copy.
    const std::string temporary = path + ".tmp." + std::to_string(::getpid());
    // A leftover of an earlier crash is stale; never write through whatever sits there.
    ::unlink(temporary.c_str());
    {
        FileDescriptor file(
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!file.Valid())
            return false;
        const bool ok = WriteAll(file.Get(), data, size) && ::fsync(file.Get()) == 0;
        if (file.Close() != 0 || !ok) {
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable.
    SyncFolderOf(path);
    NoteFileOperation(FileOperation::Replace, path.c_str());
    return true;
}
