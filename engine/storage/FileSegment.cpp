#include "storage/FileSegment.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/os/Files.h"
#include "storage/SegmentedFile.h"
#include "storage/StorageError.h"

FileSegment::FileSegment(SegmentedFile& owner) : Owner(owner) {}

FileSegment::~FileSegment() {
    Close();
}

StorageFile& FileSegment::Open() {
    if (!Handle.IsOpen())
        Handle.OpenReadWrite(FileName.c_str(), Owner.CreateFlags);
    return Handle;
}

size_t FileSegment::WriteAt(int64_t offset, const uint8_t* data, size_t count) {
    if (offset < 0 || count == 0)
        return 0;
    size_t written = Open().WriteAt(offset, data, count);
    if (written > 0) {
        NoteFileOperation(FileOperation::Write, FileName.c_str());
        unsynced_ = true;
        Length =
            static_cast<int32_t>(std::max<int64_t>(Length, offset + static_cast<int64_t>(written)));
    }
    return written;
}

bool FileSegment::ReadAt(int64_t offset, uint8_t* buffer, size_t count) {
    if (offset < 0) {
        size_t gap = static_cast<size_t>(std::min<int64_t>(-offset, static_cast<int64_t>(count)));
        std::memset(buffer, Owner.FillByte, gap);
        buffer += gap;
        count -= gap;
        offset = 0;
    }
    if (count == 0)
        return false;
    size_t wanted =
        static_cast<size_t>(std::clamp<int64_t>(Length - offset, 0, static_cast<int64_t>(count)));
    size_t got = wanted > 0 ? Open().ReadAt(offset, buffer, wanted) : 0;
    if (got < wanted)
        Close();
    if (got < count)
        std::memset(buffer + got, Owner.FillByte, count - got);
    return got > 0;
}

bool FileSegment::Truncate(int32_t length) {
    if (length < 0 || !Open().Truncate(length))
        return false;
    Length = length;
    unsynced_ = true;
    fileLongerThanLength_ = false;
    return true;
}

bool FileSegment::Sync() {
    if (!unsynced_)
        return true;
    bool ok;
    if (Handle.IsOpen()) {
        ok = Handle.Sync(FileName.c_str());
    } else {
        // fdatasync reaches the file's data through any descriptor.
        StorageFile file;
        ok = file.OpenRead(FileName.c_str(), 0) && file.Sync(FileName.c_str());
    }
    if (ok)
        unsynced_ = false;
    return ok;
}

void FileSegment::Close() {
    Handle.Close();
}

void FileSegment::Delete() {
    Close();
    ::unlink(FileName.c_str());
    unsynced_ = false;
}

void FileSegment::Attach(const std::string& path) {
    FileName = path;
    struct stat info;
    // A link, a folder, a pipe or a device is no segment: opening a pipe would even block.
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > INT32_MAX)
        throw StorageError(NoFileThereText);
    Length = static_cast<int32_t>(info.st_size);
}
