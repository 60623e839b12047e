#include "tracks/DbfTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/os/Files.h"

// The hooks have no user pointer: the table being worked on is a per-thread slot, set for the
// span of each shapelib call that may reach the file.
struct DbfHookState {
    static thread_local const DbfTable* current;

    explicit DbfHookState(const DbfTable& table) : previous_(current) { current = &table; }
    ~DbfHookState() { current = previous_; }
    DbfHookState(const DbfHookState&) = delete;
    DbfHookState& operator=(const DbfHookState&) = delete;

    static void Fail(int error) {
        if (current)
            current->Fail(error != 0 ? error : EIO);
    }

  private:
    const DbfTable* previous_;
};

thread_local const DbfTable* DbfHookState::current = nullptr;

namespace {

// shapelib seeks before every record it reads or writes; through stdio each of those costs
// system calls (a flush and a read for every record). A song's tables are small, so the hooks
// hold the whole file in memory instead: read at once when opened, and the written ranges put
// back when it is closed. (Making a save durable is the save's commit: SongSave.)
struct HookedFile {
    int fd;
    std::string bytes;
    size_t position = 0;
    // Written ranges, [from, to), in the order written.
    std::vector<std::pair<size_t, size_t>> dirty;
};

// Larger files are not tables of a song: refusing them keeps a bad file from taking the memory.
constexpr size_t MaxTableBytes = size_t{1} << 30;

HookedFile* Hooked(SAFile file) {
    return reinterpret_cast<HookedFile*>(file);
}

bool ReadWhole(int fd, std::string& bytes) {
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return false;
    if (!S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) > MaxTableBytes) {
        errno = EFBIG;
        return false;
    }
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);  // a file that shrank meanwhile is read as far as it goes
    return true;
}

SAFile HookOpen(const char* name, const char* access) {
    const bool reading = std::strchr(access, 'r') && !std::strchr(access, '+');
    const bool creating = std::strchr(access, 'w') != nullptr;
    int flags = O_CLOEXEC | (reading ? O_RDONLY : O_RDWR | O_NOFOLLOW);
    if (creating)
        flags |= O_CREAT | O_TRUNC;
    const int fd = OpenKeepingTimes(name, flags);
    if (fd < 0)
        return nullptr;  // a missing file is not a failure of the table: the caller decides
    auto* file = new HookedFile{fd, {}, 0, {}};
    if (!ReadWhole(fd, file->bytes)) {
        DbfHookState::Fail(errno);
        ::close(fd);
        delete file;
        return nullptr;
    }
    return reinterpret_cast<SAFile>(file);
}

SAOffset HookRead(void* p, SAOffset size, SAOffset count, SAFile handle) {
    HookedFile& file = *Hooked(handle);
    if (size == 0 || file.position >= file.bytes.size())
        return 0;
    const size_t whole = std::min<size_t>(count, (file.bytes.size() - file.position) / size);
    std::memcpy(p, file.bytes.data() + file.position, whole * size);
    file.position += whole * size;
    return whole;
}

SAOffset HookWrite(void* p, SAOffset size, SAOffset count, SAFile handle) {
    HookedFile& file = *Hooked(handle);
    const size_t bytes = size * count;
    if (file.position + bytes > MaxTableBytes) {
        DbfHookState::Fail(EFBIG);
        return 0;
    }
    if (file.bytes.size() < file.position + bytes)
        file.bytes.resize(file.position + bytes);
    std::memcpy(file.bytes.data() + file.position, p, bytes);
    // Each record is written over the end-of-file mark written after the one before it.
    if (!file.dirty.empty() && file.position >= file.dirty.back().first &&
        file.position <= file.dirty.back().second)
        file.dirty.back().second = std::max(file.dirty.back().second, file.position + bytes);
    else
        file.dirty.emplace_back(file.position, file.position + bytes);
    file.position += bytes;
    return count;
}

SAOffset HookSeek(SAFile handle, SAOffset offset, int whence) {
    HookedFile& file = *Hooked(handle);
    const size_t base = whence == SEEK_CUR   ? file.position
                        : whence == SEEK_END ? file.bytes.size()
                                             : 0;
    if (offset > MaxTableBytes || base + offset > MaxTableBytes)
        return static_cast<SAOffset>(-1);
    file.position = base + offset;
    return 0;
}

SAOffset HookTell(SAFile handle) {
    return Hooked(handle)->position;
}

int HookFlush(SAFile /*handle*/) {
    return 0;  // everything is written when the file is closed
}

bool WriteBack(HookedFile& file) {
    if (file.dirty.empty())
        return true;
    for (const auto& [from, to] : file.dirty) {
        size_t done = from;
        while (done < to) {
            const ssize_t put =
                ::pwrite(file.fd, file.bytes.data() + done, to - done, static_cast<off_t>(done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            done += static_cast<size_t>(put);
        }
    }
    return true;
}

int HookClose(SAFile handle) {
    HookedFile* file = Hooked(handle);
    bool ok = WriteBack(*file);
    if (!ok)
        DbfHookState::Fail(errno);
    if (::close(file->fd) != 0 && ok) {
        DbfHookState::Fail(errno);
        ok = false;
    }
    delete file;
    return ok ? 0 : -1;
}

int HookRemove(const char* name) {
    return ::unlink(name);
}

void HookError(const char* /*message*/) {
    // shapelib's messages are about reads and writes that went wrong; the caller says what
    // failed in its own words.
    DbfHookState::Fail(errno);
}

double HookAtof(const char* text) {
    double value = 0.0;
    while (*text == ' ')
        ++text;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

SAHooks Hooks() {
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = HookOpen;
    hooks.FRead = HookRead;
    hooks.FWrite = HookWrite;
    hooks.FSeek = HookSeek;
    hooks.FTell = HookTell;
    hooks.FFlush = HookFlush;
    hooks.FClose = HookClose;
    hooks.Remove = HookRemove;
    hooks.Error = HookError;
    hooks.Atof = HookAtof;
    return hooks;
}

}  // namespace

DbfTable::~DbfTable() {
    Close();
}

void DbfTable::Fail(int error) const {
    if (error_ == 0)
        error_ = error;
}

bool DbfTable::Create(const std::string& path, std::span<const Field> fields) {
    Close();
    error_ = 0;
    DbfHookState state(*this);
    SAHooks hooks = Hooks();
    // "LDID/87" is shapelib's default code page mark, kept in the header byte; no .cpg file.
    handle_ = DBFCreateLL(path.c_str(), "LDID/87", &hooks);
    if (!handle_) {
        Fail(errno);
        return false;
    }
    for (const Field& field : fields) {
        if (DBFAddNativeFieldType(handle_, field.name, field.type, field.width, field.decimals) <
            0) {
            Fail(EINVAL);
            return false;
        }
    }
    return error_ == 0;
}

bool DbfTable::OpenForAppend(const std::string& path) {
    Close();
    error_ = 0;
    DbfHookState state(*this);
    SAHooks hooks = Hooks();
    handle_ = DBFOpenLL(path.c_str(), "rb+", &hooks);
    if (!handle_)
        Fail(errno);
    return handle_ && error_ == 0;
}

bool DbfTable::OpenForReading(const std::string& path) {
    Close();
    error_ = 0;
    DbfHookState state(*this);
    SAHooks hooks = Hooks();
    handle_ = DBFOpenLL(path.c_str(), "rb", &hooks);
    return handle_ && error_ == 0;
}

bool DbfTable::Close() {
    if (!handle_)
        return error_ == 0;
    DbfHookState state(*this);
    DBFClose(handle_);
    handle_ = nullptr;
    return error_ == 0;
}

int DbfTable::FindField(const char* name, char type, int width) const {
    DbfHookState state(*this);
    const int field = DBFGetFieldIndex(handle_, name);
    if (field < 0 || DBFGetNativeFieldType(handle_, field) != type)
        return -1;
    int actualWidth = 0, decimals = 0;
    DBFGetFieldInfo(handle_, field, nullptr, &actualWidth, &decimals);
    return actualWidth == width ? field : -1;
}

int DbfTable::RecordCount() const {
    return DBFGetRecordCount(handle_);
}

bool DbfTable::Append(std::span<const std::string> fields) {
    DbfHookState state(*this);
    const int record = DBFGetRecordCount(handle_);
    for (size_t i = 0; i < fields.size(); ++i) {
        const int field = static_cast<int>(i);
        int width = 0, decimals = 0;
        DBFGetFieldInfo(handle_, field, nullptr, &width, &decimals);
        const std::string& text = fields[i];
        if (width <= 0 || text.size() > static_cast<size_t>(width))
            return false;
        // Numbers stand at the right of their field, text at the left.
        std::string padded(static_cast<size_t>(width), ' ');
        const size_t at = DBFGetNativeFieldType(handle_, field) == 'C'
                              ? 0
                              : static_cast<size_t>(width) - text.size();
        padded.replace(at, text.size(), text);
        if (!DBFWriteAttributeDirectly(handle_, record, field, padded.data()))
            return false;
    }
    return error_ == 0;
}

bool DbfTable::ReadText(int record, int field, std::string& text) const {
    DbfHookState state(*this);
    const char* raw = DBFReadStringAttribute(handle_, record, field);
    if (!raw || error_ != 0)
        return false;
    text = raw;
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return false;
    text.erase(text.find_last_not_of(' ') + 1);
    text.erase(0, first);
    return true;
}
