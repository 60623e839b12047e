#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/PalkExport.h"
#include "storage/StorageFile.h"

class SegmentedFile;

// One contiguous byte range [Start, Start + Length) of a segmented stream, held by a file of
// its own that contains exactly those Length bytes. The file is opened on first use and
// closed by Close (the owner closes every segment when playback stops and when a recording
// finishes).
class PALKENG_API FileSegment {
  public:
    explicit FileSegment(SegmentedFile& owner);
    ~FileSegment();
    FileSegment(const FileSegment&) = delete;
    FileSegment& operator=(const FileSegment&) = delete;

    // The segment's file, opened for reading and writing (created when missing) with the
    // owner's CreateFlags if it is not open yet. Check IsOpen() on the result.
    StorageFile& Open();
    // Writes count bytes at offset from Start and grows Length to cover them. Returns how many
    // bytes reached the file: Length only grows by those.
    size_t WriteAt(int64_t offset, const uint8_t* data, size_t count);
    // Reads count bytes at offset from Start. The offset may be negative (those bytes lie in
    // the gap before the segment); bytes before the segment, past its Length or missing from
    // its file read as the owner's FillByte. True when at least one byte came from the file.
    // Player thread: no allocation.
    bool ReadAt(int64_t offset, uint8_t* buffer, size_t count);
    // Cuts the file and Length to length bytes.
    bool Truncate(int32_t length);
    // Makes what was written reach the disk (fdatasync); a no-op when nothing was written
    // since the last sync.
    bool Sync();
    void Close();
    // Closes and deletes the file.
    void Delete();
    // Takes over an existing regular file at path: FileName = path, Length = its size. Throws
    // StorageError "GAAAAA! no file there!" when there is no such file (or it is a link, a
    // folder or a device, or too large to be a segment).
    void Attach(const std::string& path);

    bool IsOpen() const { return Handle.IsOpen(); }
    int64_t End() const { return static_cast<int64_t>(Start) + Length; }

    int32_t Start = 0;
    int32_t Length = 0;
    std::string FileName;

  private:
    friend class SegmentedFile;

    SegmentedFile& Owner;
    StorageFile Handle;
    bool unsynced_ = false;
    // Loaded overlapping the next segment and shortened in memory only: the file still holds
    // the shadowed bytes until the metafile is next rewritten.
    bool fileLongerThanLength_ = false;
};
