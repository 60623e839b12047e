#pragma once

// The file operations the engine shares: writing a whole block, making data durable, and
// replacing a small file atomically. They report what they do to an observer that tests
// install, so that when and in which order things reach the disk can be checked without
// timing anything.

#include <cstddef>
#include <string>

enum class FileOperation {
    Write,     // data written to a file (before it is durable)
    DataSync,  // a file's data made durable (fdatasync)
    Replace,   // a file replaced atomically, its folder entry durable
};

// Called on the thread that did the operation; path is as the engine named the file. Must be
// cheap and must not call back into the engine. nullptr removes it.
using FileOperationObserver = void (*)(FileOperation operation, const char* path);
void SetFileOperationObserver(FileOperationObserver observer);
// Tells the observer, if one is installed.
void NoteFileOperation(FileOperation operation, const char* path);

// Writes all size bytes to fd (retrying short writes and interruptions); false on an error.
bool WriteAll(int fd, const void* data, size_t size);

// fdatasync of fd, retried when interrupted; path is for the observer only.
bool SyncData(int fd, const char* path);

// Replaces the file at path with size bytes of data so that a crash at any moment leaves
// either the old or the new content: the data goes to a temporary file beside it, reaches the
// disk, is renamed over path, and the folder entry is synced. Returns false (path untouched)
// on failure.
bool ReplaceFileAtomically(const std::string& path, const void* data, size_t size);

// open() that leaves the file's access time alone where the kernel allows it (the file's
// owner): reading a song must not change its files, not even their times. Retries when
// interrupted; -1 with errno as open() sets it.
int OpenKeepingTimes(const char* path, int flags, int mode = 0644);

// Syncs the folder entry of path (its folder, or the current folder for a bare name), so
// that a rename or an unlink there is durable. False on an error.
bool SyncFolderOf(const std::string& path);

// The folder part of path including its final "/" ("" for a bare name).
std::string FolderOf(const std::string& path);
