#include "storage/SegmentedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "core/Log.h"
#include "platform/os/Files.h"
#include "platform/os/PageBuffer.h"
#include "storage/SegmentReader.h"
#include "storage/SegmentWalk.h"

namespace {

// Longer lines than this cannot be a start and a file name; they are dropped whole.
constexpr size_t MaxMetafileLine = 4096;
// Block used to move the tail of a segment into the segment split off it.
constexpr size_t SplitCopyBlock = 256 * 1024;
// Candidates tried for a free segment name before giving up.
constexpr int MaxSegmentNumber = 1000000;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// Reads one line without its line feed. Lines longer than MaxMetafileLine are read to their
// end but reported as too long. False at the end of the file.
bool ReadMetafileLine(FILE* file, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    int c;
    bool any = false;
    while ((c = std::getc(file)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        if (line.size() < MaxMetafileLine)
            line.push_back(static_cast<char>(c));
        else
            tooLong = true;
    }
    return any;
}

// Parses the decimal number at the line's start (blanks and a sign allowed before the digits).
// Returns false when no digit is there; value is clamped to int64 range by saturation.
bool ParseStart(const std::string& line, size_t& pos, int64_t& value) {
    pos = 0;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
    bool negative = false;
    if (pos < line.size() && (line[pos] == '+' || line[pos] == '-'))
        negative = line[pos++] == '-';
    size_t digits = pos;
    int64_t magnitude = 0;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
        if (magnitude <= INT64_MAX / 20)
            magnitude = magnitude * 10 + (line[pos] - '0');
        ++pos;
    }
    if (pos == digits)
        return false;
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace

SegmentedFile::SegmentedFile() = default;

SegmentedFile::~SegmentedFile() {
    if (!Segments.empty())
        Reset();
}

bool SegmentedFile::LoadMetafile(const std::string& path) {
    Name = path;
    std::unique_ptr<FILE, FileCloser> file;
    const int fd = OpenKeepingTimes(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    file.reset(::fdopen(fd, "r"));
    if (!file) {
        ::close(fd);
        return false;
    }

    bool bad = false;
    std::string line;
    bool tooLong = false;
    while (ReadMetafileLine(file.get(), line, tooLong)) {
        size_t pos = 0;
        int64_t start = 0;
        if (!ParseStart(line, pos, start)) {
            bad = true;
            break;
        }
        if (tooLong) {
            WriteLog("metafile " + path + ": line too long, segment ignored");
            continue;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string segmentName = pos < line.size() ? line.substr(pos + 1) : std::string();
        if (start < 0 || start > INT32_MAX) {
            WriteLog("metafile " + path + ": start out of range, segment ignored: " + line);
            continue;
        }
        if (!IsOwnSegmentName(segmentName)) {
            WriteLog("metafile " + path +
                     ": not a segment file of this track, ignored: " + segmentName);
            continue;
        }
        bool listed = std::any_of(Segments.begin(), Segments.end(),
                                  [&](const auto& s) { return s->FileName == segmentName; });
        if (listed) {
            WriteLog("metafile " + path + ": segment file listed twice, ignored: " + segmentName);
            continue;
        }
        auto segment = std::make_unique<FileSegment>(*this);
        try {
            segment->Attach(segmentName);
        } catch (const StorageError&) {
            continue;  // a missing segment leaves a gap
        }
        if (start + segment->Length > INT32_MAX) {
            WriteLog("metafile " + path +
                     ": segment reaches past the largest offset, ignored: " + segmentName);
            continue;
        }
        segment->Start = static_cast<int32_t>(start);
        Segments.push_back(std::move(segment));
    }
    file.reset();
    SettleLoadedSegments();
    if (bad)
        throw StorageError(BadMetafileText);
    return true;
}

void SegmentedFile::SettleLoadedSegments() {
    std::stable_sort(Segments.begin(), Segments.end(),
                     [](const auto& a, const auto& b) { return a->Start < b->Start; });
    for (size_t i = 0; i + 1 < Segments.size();) {
        FileSegment& earlier = *Segments[i];
        const FileSegment& later = *Segments[i + 1];
        if (earlier.End() <= later.Start) {
            ++i;
            continue;
        }
        // Only an interrupted clear or a hand-edited metafile gets here. The later segment
        // wins the shared range; the earlier one's file is left as it is.
        WriteLog("metafile " + Name + ": " + earlier.FileName + " overlaps " + later.FileName +
                 ", shortened");
        earlier.Length = later.Start - earlier.Start;
        earlier.fileLongerThanLength_ = true;
        if (earlier.Length == 0)
            Segments.erase(Segments.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
}

void SegmentedFile::SplitName(std::string& stem, std::string& extension) const {
    std::string folder = FolderOf(Name);
    std::string leaf = Name.substr(folder.size());
    size_t dot = leaf.rfind('.');
    stem = folder + leaf.substr(0, dot);
    extension = dot == std::string::npos ? std::string() : leaf.substr(dot);
}

bool SegmentedFile::IsOwnSegmentName(const std::string& file) const {
    std::string stem, extension;
    SplitName(stem, extension);
    if (file.size() <= stem.size() + extension.size() || file.compare(0, stem.size(), stem) != 0 ||
        file.compare(file.size() - extension.size(), extension.size(), extension) != 0)
        return false;
    for (size_t i = stem.size(); i < file.size() - extension.size(); ++i)
        if (file[i] < '0' || file[i] > '9')
            return false;
    return true;
}

bool SegmentedFile::TrySaveMetafile() {
    // A segment shortened on loading gets its file cut before the metafile is rewritten, so
    // that the shadowed bytes can never come back as part of it.
    for (const auto& segment : Segments) {
        if (segment->fileLongerThanLength_) {
            bool wasOpen = segment->IsOpen();
            if (!segment->Truncate(segment->Length))
                return false;
            if (!wasOpen)
                segment->Close();
        }
    }
    std::string text;
    for (const auto& segment : Segments) {
        text += std::to_string(segment->Start);
        text += ' ';
        text += segment->FileName;
        text += '\n';
    }
    return ReplaceFileAtomically(Name, text.data(), text.size());
}

void SegmentedFile::SaveMetafile() {
    if (!TrySaveMetafile())
        throw StorageError(CantOpenMetafileText);
}

void SegmentedFile::SegmentCreated() {
    if (Name.empty())
        return;
    if (!TrySaveMetafile())
        WriteLog(std::string(CantOpenMetafileText) + " " + Name);
}

bool SegmentedFile::ReadAt(int64_t offset, uint8_t* buffer, size_t count) {
    return ReadSegmentsAt(Segments, FillByte, offset, buffer, count,
                          [this](size_t index, int64_t at, uint8_t* out, size_t bytes) {
                              return Segments[index]->ReadAt(at, out, bytes);
                          });
}

bool SegmentedFile::Read(uint8_t* buffer, size_t count) {
    bool any = ReadAt(Position, buffer, count);
    Position = static_cast<int32_t>(
        std::min<int64_t>(INT32_MAX, static_cast<int64_t>(Position) + static_cast<int64_t>(count)));
    return any;
}

int32_t SegmentedFile::Write(const uint8_t* data, size_t count) {
    WriteAt(Position, data, count);
    Position = static_cast<int32_t>(
        std::min<int64_t>(INT32_MAX, static_cast<int64_t>(Position) + static_cast<int64_t>(count)));
    return Position;
}

void SegmentedFile::NoteWriteFailure(int error) {
    if (writeError_ == 0)
        writeError_ = error;
}

int SegmentedFile::TakeWriteError() {
    const int error = writeError_;
    writeError_ = 0;
    return error;
}

void SegmentedFile::WriteAt(int64_t offset, const uint8_t* data, size_t count) {
    if (count == 0 || !data)
        return;
    errno = 0;
    if (offset < 0) {
        size_t before =
            static_cast<size_t>(std::min<int64_t>(-offset, static_cast<int64_t>(count)));
        data += before;
        count -= before;
        offset = 0;
        if (count == 0)
            return;
    }
    // Offsets are 32-bit in the metafile: nothing is stored at or past 2 GiB.
    if (offset + static_cast<int64_t>(count) > INT32_MAX) {
        WriteLog("track " + Name + " is full: data past 2 GiB dropped");
        if (offset >= INT32_MAX)
            return;
        count = static_cast<size_t>(INT32_MAX - offset);
    }

    // The first segment with offset <= end + 1 holds the write when it starts at or before
    // offset. When the next one starts at or before offset too (adjacent segments), that one
    // holds it: writing into the first would start past the next one's start.
    size_t index = static_cast<size_t>(
        std::partition_point(Segments.begin(), Segments.end(),
                             [offset](const auto& s) { return s->End() + 1 < offset; }) -
        Segments.begin());
    FileSegment* segment = nullptr;
    if (index < Segments.size() && Segments[index]->Start <= offset) {
        while (index + 1 < Segments.size() && Segments[index + 1]->Start <= offset)
            ++index;
        segment = Segments[index].get();
    } else {
        segment = InsertNewSegment(index, static_cast<int32_t>(offset));
        if (!segment) {
            NoteWriteFailure(errno != 0 ? errno : EIO);
            WriteLog("can't create a segment file for " + Name);
            return;
        }
        SegmentCreated();
    }

    int64_t at = offset - segment->Start;
    for (;;) {
        size_t part = count;
        const FileSegment* next = index + 1 < Segments.size() ? Segments[index + 1].get() : nullptr;
        if (next && segment->Start + at + static_cast<int64_t>(part) > next->Start)
            part = static_cast<size_t>(next->Start - segment->Start - at);
        size_t written = part > 0 ? segment->WriteAt(at, data, part) : 0;
        if (written < part) {
            const int error = errno != 0 ? errno : EIO;
            NoteWriteFailure(error);
            WriteLog("can't write segment file " + segment->FileName + ": " + std::strerror(error));
            return;
        }
        if (part == count)
            return;
        // The rest overwrites the start of the following segment.
        segment->Close();
        data += part;
        count -= part;
        ++index;
        segment = Segments[index].get();
        at = 0;
    }
}

std::string SegmentedFile::NewSegmentName() const {
    std::string stem, extension;
    SplitName(stem, extension);
    for (int n = 1; n <= MaxSegmentNumber; ++n) {
        std::string candidate = stem + std::to_string(n) + extension;
        struct stat info;
        if (::lstat(candidate.c_str(), &info) == 0 || errno != ENOENT)
            continue;
        bool used = std::any_of(Segments.begin(), Segments.end(),
                                [&](const auto& s) { return s->FileName == candidate; });
        if (!used)
            return candidate;
    }
    return std::string();
}

FileSegment* SegmentedFile::InsertNewSegment(size_t index, int32_t start) {
    auto segment = std::make_unique<FileSegment>(*this);
    segment->FileName = NewSegmentName();
    segment->Start = start;
    if (segment->FileName.empty() || !segment->Open().IsOpen())
        return nullptr;
    FileSegment* made = segment.get();
    Segments.insert(Segments.begin() + static_cast<std::ptrdiff_t>(index), std::move(segment));
    return made;
}

bool SegmentedFile::SplitOff(size_t index, int32_t from) {
    FileSegment& source = *Segments[index];
    FileSegment* tail = InsertNewSegment(index + 1, from);
    if (!tail) {
        WriteLog("can't create a segment file for " + Name + ": range not cleared");
        return false;
    }
    auto undo = [&](const char* why) {
        WriteLog(std::string(why) + " " + tail->FileName + ": range not cleared");
        tail->Delete();
        Segments.erase(Segments.begin() + static_cast<std::ptrdiff_t>(index) + 1);
        return false;
    };

    PageBuffer block;
    if (!block.Allocate(SplitCopyBlock))
        return undo("out of memory splitting");
    StorageFile& in = source.Open();
    int64_t at = from - source.Start;
    int64_t end = source.Length;
    int64_t to = 0;
    while (at < end) {
        size_t want = static_cast<size_t>(std::min<int64_t>(end - at, SplitCopyBlock));
        size_t got = in.ReadAt(at, block.Data(), want);
        if (got < want)
            return undo("can't read segment file for");
        if (tail->WriteAt(to, block.Data(), want) < want)
            return undo("can't write segment file");
        at += static_cast<int64_t>(want);
        to += static_cast<int64_t>(want);
    }
    // The copy reaches the disk and the metafile lists it before the source is cut, so a crash
    // in between leaves the data in both (on loading, the later segment wins the overlap).
    if (!tail->Sync() || !TrySaveMetafile())
        return undo("can't save the split of");
    tail->Close();
    return true;
}

void SegmentedFile::ClearRange(int32_t from, int32_t to) {
    if (Segments.empty() || from >= to)
        return;
    for (size_t i = 0; i < Segments.size();) {
        FileSegment& segment = *Segments[i];
        const int64_t start = segment.Start;
        const int64_t end = segment.End();
        if (to <= start || from >= end) {
            ++i;
        } else if (from <= start && to >= end) {
            segment.Delete();
            Segments.erase(Segments.begin() + static_cast<std::ptrdiff_t>(i));
        } else if (from > start) {
            // Keeps [start, from); a range ending inside first moves [to, end) to a new segment.
            bool keepTail = to < end;
            if (keepTail && !SplitOff(i, to)) {
                ++i;
                continue;
            }
            if (!segment.Truncate(static_cast<int32_t>(from - start)))
                WriteLog("can't shorten segment file " + segment.FileName);
            segment.Close();
            i += keepTail ? 2 : 1;
        } else {
            // from <= start < to < end: only [to, end) stays, in a new segment.
            if (!SplitOff(i, to)) {
                ++i;
                continue;
            }
            segment.Delete();
            Segments.erase(Segments.begin() + static_cast<std::ptrdiff_t>(i));
            ++i;
        }
    }
    SaveMetafile();
}

void SegmentedFile::DeleteAll() {
    if (!Name.empty())
        ::unlink(Name.c_str());
    for (auto& segment : Segments)
        segment->Delete();
    Segments.clear();
}

void SegmentedFile::Reset() {
    CloseHandles();
    Segments.clear();
    Name.clear();
    Position = 0;
}

void SegmentedFile::CloseHandles() {
    for (auto& segment : Segments)
        segment->Close();
}

void SegmentedFile::SyncHandles() {
    for (auto& segment : Segments)
        if (!segment->Sync())
            WriteLog("can't sync segment file " + segment->FileName);
}

std::vector<int32_t> SegmentedFile::GetSegments() const {
    std::vector<int32_t> triples;
    triples.reserve(Segments.size() * 3);
    for (const auto& segment : Segments) {
        triples.push_back(segment->Start);
        triples.push_back(static_cast<int32_t>(segment->End()));
        triples.push_back(segment->Length);
    }
    return triples;
}

int32_t SegmentedFile::GetTotalBytes() const {
    return Segments.empty() ? 0 : static_cast<int32_t>(Segments.back()->End());
}

void SegmentedFile::WriteRealFile(const std::string& path, const uint8_t* header,
                                  size_t headerLength) {
    const int64_t total = GetTotalBytes();
    StorageFile out;
    if (!out.Create(path.c_str(), FileSequentialScan))
        throw StorageError(CantOpenRealfileText);
    bool ok = true;
    int64_t at = 0;
    if (header && headerLength > 0) {
        ok = out.WriteAt(0, header, headerLength) == headerLength;
        at = static_cast<int64_t>(headerLength);
    }
    SegmentReader reader(*this);
    std::vector<uint8_t> block(RealFileBlock);
    const auto blockSize = static_cast<int64_t>(RealFileBlock);
    for (int64_t offset = 0; ok && offset < total; offset += blockSize) {
        reader.ReadAt(offset, block.data(), RealFileBlock);
        size_t part = static_cast<size_t>(std::min(blockSize, total - offset));
        ok = out.WriteAt(at, block.data(), part) == part;
        at += static_cast<int64_t>(part);
    }
    out.Close();
    if (!ok) {
        ::unlink(path.c_str());
        throw StorageError(CantWriteRealfileText);
    }
}
