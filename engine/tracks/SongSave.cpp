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

void SyncFile(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid() || !SyncData(file.Get(), path.c_str()))
        SongSave::ThrowFailed(path, errno);
}

void SyncFolder() {
    if (!SyncFolderOf("."))
        SongSave::ThrowFailed("the song folder", errno);
}

}  // namespace

void SongSave::ThrowFailed(const std::string& file, int error) {
    throw DisplayedError("Can't save the song: " + file + ": " + std::strerror(error) +
                         ". The song on disk is as it was saved before.");
}

std::string SongSave::CurrentName(const char* file) {
    if (Exists(CommitMark)) {
        std::string pending = PendingName(file);
        if (Exists(pending))
            return pending;
    }
    return file;
}

void SongSave::FinishCommitted() {
    // Committed already: whatever fails now, the song opens as saved, and the next save
    // finishes the renames.
    const auto unfinished = [](const std::string& file) {
        throw DisplayedError("Can't finish saving the song: " + file + ": " + std::strerror(errno) +
                             ". It opens as saved.");
    };
    for (const char* file : Files) {
        const std::string pending = PendingName(file);
        if (Exists(pending) && std::rename(pending.c_str(), file) != 0)
            unfinished(file);
    }
    // Every rename is durable before the mark goes: without the mark a reader takes the
    // song files themselves.
    if (!SyncFolderOf(".") || (::unlink(CommitMark) != 0 && errno != ENOENT) || !SyncFolderOf("."))
        unfinished(CommitMark);
}

void SongSave::Begin() {
    if (Exists(CommitMark)) {
        FinishCommitted();
        return;
    }
    for (const char* file : Files) {
        const std::string pending = PendingName(file);
        if (::unlink(pending.c_str()) != 0 && errno != ENOENT)
            SongSave::ThrowFailed(pending, errno);
    }
}

void SongSave::Commit() {
    for (const char* file : Files)
        SyncFile(PendingName(file));
    SyncFolder();
    static constexpr char mark[] = "This song's pending files are its saved version.\n";
    if (!ReplaceFileAtomically(CommitMark, mark, sizeof mark - 1))
        SongSave::ThrowFailed(CommitMark, errno != 0 ? errno : EIO);
    FinishCommitted();
}
