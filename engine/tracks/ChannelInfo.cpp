#include "tracks/ChannelInfo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/os/FileDescriptor.h"
#include "platform/os/Files.h"

namespace {

// How many bytes of text fit in bytes, not cutting a UTF-8 sequence.
size_t FittingLength(const std::string& text, size_t bytes) {
    if (text.size() <= bytes)
        return text.size();
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

}  // namespace

std::array<uint8_t, ChannelInfo::RecordBytes> ChannelInfo::Encode() const {
    std::array<uint8_t, RecordBytes> record{};
    record[30] = stereo ? 1 : 0;
    record[31] = sixteenBit ? 16 : 8;
    // A zero inside the name would end it there on reading anyway.
    const size_t length = FittingLength(name.c_str(), MaxNameLength);
    std::memcpy(record.data(), name.data(), length);
    return record;
}

ChannelInfo ChannelInfo::Decode(const uint8_t* record) {
    ChannelInfo info;
    const void* zero = std::memchr(record, 0, NameBytes);
    const size_t length =
        zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - record) : NameBytes;
    info.name.assign(reinterpret_cast<const char*>(record), length);
    info.stereo = record[30] != 0;
    info.sixteenBit = record[31] == 16;
    return info;
}

bool ChannelInfo::ReadFile(const std::string& path, size_t limit,
                           std::vector<ChannelInfo>& records) {
    FileDescriptor file(OpenKeepingTimes(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid())
        return false;
    uint8_t record[RecordBytes];
    while (records.size() < limit) {
        size_t got = 0;
        while (got < RecordBytes) {
            const ssize_t read = ::read(file.Get(), record + got, RecordBytes - got);
            if (read < 0 && errno == EINTR)
                continue;
            if (read < 0)
                return false;
            if (read == 0)
                break;
            got += static_cast<size_t>(read);
        }
        if (got < RecordBytes)
            break;
        records.push_back(Decode(record));
    }
    return file.Close() == 0;
}

bool ChannelInfo::AppendToFile(const std::string& path, const ChannelInfo& info) {
    FileDescriptor file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!file.Valid())
        return false;
    const auto record = info.Encode();
    const bool written = WriteAll(file.Get(), record.data(), record.size());
    const int savedErrno = errno;
    if (file.Close() != 0 || !written) {
        if (!written)
            errno = savedErrno;
        return false;
    }
    return true;
}
