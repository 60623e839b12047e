#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// How a track's files are opened (the stream's CreateFlags).
enum StorageFlags : uint32_t {
    FileSequentialScan = 0x1,  // posix_fadvise(SEQUENTIAL): a longer read-ahead
    // The track's data must reach the disk as it is written. That is not an open flag here:
    // the recorder syncs a take at least once a second of audio (SuperWaveFile::KeepDurable),
    // and every recording and save ends with a sync.
    FileWriteThrough = 0x2,
    FileNoBuffering = 0x4,  // writes O_DIRECT where the file system accepts it
};

// One open file of the track storage (RAII over a descriptor).
//
// Unbuffered files: the descriptor is opened with O_DIRECT when the file system accepts it
// (tmpfs, for one, may refuse; the file is then buffered). Each write whose buffer, offset and
// length are all sector-aligned goes direct; anything else (a gap byte, a split, a short tail)
// is switched to buffered I/O for that call, which Linux keeps coherent with the direct
// transfers. A direct write refused with EINVAL (a device with larger sectors) turns direct
// I/O off for the rest of the descriptor's life.
//
// Reads always go through the page cache, unbuffered file or not. A track played, recorded or
// bounced a moment ago is then read from memory, several times faster than from the disk (a
// bounce of 16 tracks reads them all at memory speed), and on a sequential file the kernel's
// read-ahead fetches the next blocks while the player mixes, so a read from the disk rarely
// waits for it. What a direct write puts on the disk replaces the cached pages it covers.
//
// Reads never allocate; the player thread uses them.
class StorageFile {
  public:
    StorageFile() = default;
    ~StorageFile();
    StorageFile(const StorageFile&) = delete;
    StorageFile& operator=(const StorageFile&) = delete;
    StorageFile(StorageFile&& other) noexcept;
    StorageFile& operator=(StorageFile&& other) noexcept;

    // Opens for reading and writing, creating the file when missing. Never follows a
    // symbolic link.
    bool OpenReadWrite(const char* path, uint32_t flags);
    // Opens an existing file for reading.
    bool OpenRead(const char* path, uint32_t flags);
    // Creates (or empties) a file for writing.
    bool Create(const char* path, uint32_t flags);
    // Creates a file for writing that must not exist yet (no link is followed).
    bool CreateNew(const char* path, uint32_t flags);

    bool IsOpen() const { return fd_ >= 0; }
    bool IsDirectCapable() const { return directCapable_; }

    // Reads up to count bytes at offset; returns how many came (fewer at the end of the file
    // or on an error).
    size_t ReadAt(int64_t offset, void* buffer, size_t count);
    // Writes count bytes at offset; returns how many were written (fewer only on an error).
    size_t WriteAt(int64_t offset, const void* data, size_t count);
    bool Truncate(int64_t length);
    // The file's size, or -1.
    int64_t Size() const;
    // fdatasync; path names the file for the file-operation observer.
    bool Sync(const char* path);
    // Closes the descriptor (a no-op when none is open).
    void Close();

    // Transfers at least this aligned may go direct.
    static constexpr size_t DirectAlignment = 512;

  private:
    bool Open(const char* path, int accessFlags, uint32_t flags);
    bool UseDirect(bool on);
    bool Aligned(const void* buffer, int64_t offset, size_t count) const;

    int fd_ = -1;
    bool directCapable_ = false;  // opened with O_DIRECT and not refused since
    bool direct_ = false;         // O_DIRECT is set on the descriptor right now
};
