#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/PalkExport.h"
#include "storage/FileSegment.h"
#include "storage/StorageError.h"
#include "storage/StorageFile.h"

// A byte stream stored as an ordered set of segment files listed by a text metafile ("%d %s\n"
// per segment: its start offset and its file name). Byte ranges no segment holds are gaps and
// read as FillByte. Recording can start anywhere (a new segment opens where the take begins),
// a range is cleared by truncating, splitting and deleting segment files, and a take overwrites
// what it covers.
//
// Invariants: the segments are sorted by Start and never overlap; each segment's file holds
// exactly its Length bytes; the stream's length is the end of the last segment.
//
// Safety beyond the plain format:
//  - a metafile line whose segment name is not one of this stream's own segment names in the
//    metafile's folder (so never an absolute path, a "/", "..", the metafile itself or another
//    track's file) is dropped like a missing segment, and is never opened, written or deleted;
//    so is a line naming a file already listed or one that is not a regular file, a start that
//    is negative or out of range, and a line too long to be real. Segments loaded out of order are
//    sorted, and where two overlap the later one wins the shared range;
//  - every metafile rewrite is atomic (temporary file and rename), and a write that creates a
//    segment rewrites the metafile at once, so a crash never loses a segment that holds data.
//
// Threads: the class holds no lock. Its owner keeps the uses apart: the player only reads a
// track nobody writes, and edits happen while the transport is stopped.
class PALKENG_API SegmentedFile {
  public:
    SegmentedFile();
    virtual ~SegmentedFile();
    SegmentedFile(const SegmentedFile&) = delete;
    SegmentedFile& operator=(const SegmentedFile&) = delete;

    // Attaches the stream to the metafile at path (Name = path) and appends its segments.
    // Returns false when there is no metafile (the stream stays empty). Throws StorageError
    // "bad metafile!" for a line that does not start with a number; the segments of the lines
    // before it are kept.
    bool LoadMetafile(const std::string& path);
    // Rewrites the metafile (atomically). Throws StorageError "can't open metafile!".
    void SaveMetafile();

    // Reads count bytes of the stream at offset; gaps and the region past the end read as
    // FillByte. True when at least one byte came from a segment file. Player thread: no
    // allocation.
    bool ReadAt(int64_t offset, uint8_t* buffer, size_t count);
    // Writes count bytes at offset: into the segment that holds offset (a write starting one
    // byte past a segment's end still extends it), else into a new segment starting there; a
    // write reaching a following segment continues at that segment's start, so segments never
    // overlap.
    void WriteAt(int64_t offset, const uint8_t* data, size_t count);
    // Sequential forms at Position, which then advances by count.
    bool Read(uint8_t* buffer, size_t count);
    int32_t Write(const uint8_t* data, size_t count);
    void SetPosition(int32_t offset) { Position = offset; }

    // Removes the bytes [from, to) from the stream (they become a gap) and rewrites the
    // metafile. Nothing happens when there are no segments or the range is empty.
    void ClearRange(int32_t from, int32_t to);
    // Deletes the metafile and every segment file; the stream becomes empty.
    void DeleteAll();
    // Forgets the segments (their files stay), the name and the position.
    void Reset();
    // Closes every segment file.
    void CloseHandles();
    // fdatasync of every segment written since its last sync.
    void SyncHandles();

    bool HasData() const { return !Segments.empty(); }
    // Per segment in order: Start, Start + Length, Length.
    std::vector<int32_t> GetSegments() const;
    int GetSegmentCount() const { return static_cast<int>(Segments.size()); }
    // The end of the last segment; 0 without segments.
    int32_t GetTotalBytes() const;

    // Writes headerLength bytes of header (when given) and then the whole stream, gaps as
    // FillByte, to a new file at path, in 10240-byte blocks. Throws StorageError
    // "can't open realfile!" when path cannot be created and "can't write realfile!" when the
    // data does not all reach it (the partial file is removed). Reads through descriptors of
    // its own, so the stream's position, cache and handles stay as they are.
    void WriteRealFile(const std::string& path, const uint8_t* header, size_t headerLength);

    // The errno of the first write that failed (a segment that could not be created or written:
    // a full disk, a file-size limit) since the last call, and forgets it; 0 when none did.
    int TakeWriteError();

    int32_t GetPosition() const { return Position; }
    uint8_t GetFillByte() const { return FillByte; }
    uint32_t GetCreateFlags() const { return CreateFlags; }
    const std::string& GetName() const { return Name; }
    const FileSegment& GetSegment(int index) const { return *Segments[static_cast<size_t>(index)]; }

    static constexpr size_t RealFileBlock = 10240;

  protected:
    // Called when a write has just created a segment (its file exists, no data yet). Rewrites
    // the metafile so that the segment is listed from its first byte; failures go to the log
    // (the write goes on: the data is still on disk, and the next save reports the problem).
    virtual void SegmentCreated();
    // The metafile rewrite without the throw; false on failure.
    bool TrySaveMetafile();

    int32_t Position = 0;
    std::vector<std::unique_ptr<FileSegment>> Segments;
    uint8_t FillByte = 0;
    std::string Name;
    uint32_t CreateFlags = FileSequentialScan;

  private:
    friend class FileSegment;

    void NoteWriteFailure(int error);
    int writeError_ = 0;
    friend class SegmentReader;

    // A name for a new segment: the metafile's name with the smallest N from 1 up inserted
    // before its extension for which no file exists and no segment is named.
    std::string NewSegmentName() const;
    // Makes a new segment at start, inserted at index, with its file created. Null when the
    // file cannot be created.
    FileSegment* InsertNewSegment(size_t index, int32_t start);
    // Copies the stream bytes [from, segment end) of Segments[index] into a new segment
    // inserted after it. False (and nothing changed) when that fails.
    bool SplitOff(size_t index, int32_t from);
    // The metafile's name split around where a segment's number goes.
    void SplitName(std::string& stem, std::string& extension) const;
    // Whether a metafile line may name file: only a name this stream gives its segments (the
    // metafile's name with a number inserted before its extension). That keeps out absolute
    // paths, "/" and "..", but also the metafile itself, the header file and every other
    // track's or the song's files, which clearing the track would otherwise delete.
    bool IsOwnSegmentName(const std::string& file) const;
    // Sorts the segments and settles overlaps (the later start wins).
    void SettleLoadedSegments();
};
