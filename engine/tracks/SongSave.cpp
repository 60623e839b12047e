#include "tracks/SongSave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/OrvellError.h"
#include "platform/os/FileDescriptor.h"
#include "platform/os/Files.h"

namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

[[noreturn]] void ThrowSaveFailed(const std::string& what, int error) {
    throw DisplayedError("Can't save the song: " + what + ": " + std::strerror(error) +
                         ". The song on disk is as it was saved before.");
}

void SyncFile(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid() || !SyncData(file.Get(), path.c_str()))
        ThrowSaveFailed(path, errno);
}

void SyncFolder() {
    if (!SyncFolderOf("."))
        ThrowSaveFailed("the song folder", errno);
}

}  // namespace

std::string SongSave::CurrentName(const char* file) {
    if (Exists(CommitMark)) {
        std::string pending = PendingName(file);
        if (Exists(pending))
            return pending;
    }
    return file;
}

void SongSave::FinishCommitted() {
    for (const char* file : Files) {
        const std::string pending = PendingName(file);
        if (Exists(pending) && std::rename(pending.c_str(), file) != 0)
            ThrowSaveFailed(file, errno);
    }
    // Every rename is durable before the mark goes: without the mark a reader takes the
    // song files themselves.
    SyncFolder();
    if (::unlink(CommitMark) != 0 && errno != ENOENT)
        ThrowSaveFailed(CommitMark, errno);
    SyncFolder();
}

void SongSave::Begin() {
    if (Exists(CommitMark)) {
        FinishCommitted();
        return;
    }
    for (const char* file : Files) {
        const std::string pending = PendingName(file);
        if (::unlink(pending.c_str()) != 0 && errno != ENOENT)
            ThrowSaveFailed(pending, errno);
    }
}

void SongSave::Commit() {
    for (const char* file : Files)
        SyncFile(PendingName(file));
    SyncFolder();
    static constexpr char mark[] = "This song's pending files are its saved version.\n";
    if (!ReplaceFileAtomically(CommitMark, mark, sizeof mark - 1))
        ThrowSaveFailed(CommitMark, errno != 0 ? errno : EIO);
    FinishCommitted();
}
