#include "tracks/DbfTable.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

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

struct HookedFile {
    FILE* stream;
    bool written;
};

HookedFile* Hooked(SAFile file) {
    return reinterpret_cast<HookedFile*>(file);
}

SAFile HookOpen(const char* name, const char* access) {
    const bool reading = std::strchr(access, 'r') && !std::strchr(access, '+');
    const bool creating = std::strchr(access, 'w') != nullptr;
    int flags = O_CLOEXEC | O_NOFOLLOW;
    flags |= reading ? O_RDONLY : O_RDWR;
    if (creating)
        flags |= O_CREAT | O_TRUNC;
    const int fd = OpenKeepingTimes(name, flags);
    if (fd < 0)
        return nullptr;  // a missing file is not a failure of the table: the caller decides
    FILE* stream = ::fdopen(fd, reading ? "rb" : "rb+");
    if (!stream) {
        DbfHookState::Fail(errno);
        ::close(fd);
        return nullptr;
    }
    return reinterpret_cast<SAFile>(new HookedFile{stream, false});
}

SAOffset HookRead(void* p, SAOffset size, SAOffset count, SAFile file) {
    const size_t got = std::fread(p, size, count, Hooked(file)->stream);
    if (got < count && std::ferror(Hooked(file)->stream))
        DbfHookState::Fail(errno);
    return got;
}

SAOffset HookWrite(void* p, SAOffset size, SAOffset count, SAFile file) {
    Hooked(file)->written = true;
    const size_t put = std::fwrite(p, size, count, Hooked(file)->stream);
    if (put < count)
        DbfHookState::Fail(errno);
    return put;
}

SAOffset HookSeek(SAFile file, SAOffset offset, int whence) {
    if (offset > static_cast<SAOffset>(INT64_MAX))
        return static_cast<SAOffset>(-1);
    return std::fseek(Hooked(file)->stream, static_cast<long>(offset), whence) == 0
               ? 0
               : static_cast<SAOffset>(-1);
}

SAOffset HookTell(SAFile file) {
    const long at = std::ftell(Hooked(file)->stream);
    return at < 0 ? 0 : static_cast<SAOffset>(at);
}

int HookFlush(SAFile file) {
    if (std::fflush(Hooked(file)->stream) == 0)
        return 0;
    DbfHookState::Fail(errno);
    return -1;
}

int HookClose(SAFile file) {
    HookedFile* hooked = Hooked(file);
    bool ok = std::fflush(hooked->stream) == 0;
    if (ok && hooked->written)
        ok = SyncData(::fileno(hooked->stream), "dbf");
    if (!ok)
        DbfHookState::Fail(errno);
    if (std::fclose(hooked->stream) != 0 && ok) {
        DbfHookState::Fail(errno);
        ok = false;
    }
    delete hooked;
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
