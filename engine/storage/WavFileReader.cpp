#include "storage/WavFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/OrvellError.h"
#include "storage/TrackFormat.h"

namespace {

constexpr size_t ChunkHeaderBytes = 8;
// The fmt chunk of WAVE_FORMAT_EXTENSIBLE: the 18-byte record, valid bits, channel mask and
// the 16-byte sub-format GUID.
constexpr size_t PlainFormatBytes = 16;
constexpr size_t ExtensibleFormatBytes = 40;
constexpr size_t SubFormatOffset = 24;
// Every standard sub-format GUID is the old format tag in its first four bytes followed by
// these twelve.
constexpr uint8_t SubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                       0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Get16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

uint32_t Get32(const uint8_t* at) {
    return Get16(at) | static_cast<uint32_t>(Get16(at + 2)) << 16;
}

const char* TagName(uint32_t tag) {
    switch (tag) {
        case 2:
            return "Microsoft ADPCM";
        case 3:
            return "IEEE float";
        case 6:
            return "A-law";
        case 7:
            return "mu-law";
        case 0x11:
            return "IMA ADPCM";
        case 0x55:
            return "MPEG layer 3";
        default:
            return nullptr;
    }
}

std::string NotPcm(uint32_t code, bool extensible) {
    const std::string what = (extensible ? "sub-format " : "format tag ") + std::to_string(code);
    const char* name = TagName(code);
    return name ? std::string(name) + " (" + what + ") is not PCM" : what + " is not PCM";
}

}  // namespace

WavFileReader::WavFileReader(const std::string& path) : path_(path) {
    // Non-blocking, so that a FIFO given by mistake is refused instead of waiting for a writer.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    fd_.Reset(fd);
    struct stat info;
    if (!fd_.Valid() || ::fstat(fd_.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        CantOpen();
    posix_fadvise(fd_.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    const int64_t fileBytes = info.st_size;

    uint8_t riff[12];
    if (!ReadExactly(0, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        CantOpen();

    // The RIFF length is not trusted (streaming writers leave it 0 or too large): the chunks
    // are walked to the end of the file.
    bool haveFormat = false, haveData = false;
    int64_t offset = sizeof riff;
    while (!(haveFormat && haveData) && offset + int64_t{ChunkHeaderBytes} <= fileBytes) {
        uint8_t header[ChunkHeaderBytes];
        if (!ReadExactly(offset, header, sizeof header))
            CantOpen();
        const int64_t length = Get32(header + 4);
        const int64_t body = offset + int64_t{ChunkHeaderBytes};
        if (!haveFormat && std::memcmp(header, "fmt ", 4) == 0) {
            uint8_t record[ExtensibleFormatBytes] = {};
            const auto wanted = static_cast<size_t>(std::min<int64_t>(length, sizeof record));
            if (length < int64_t{PlainFormatBytes} || body + length > fileBytes ||
                !ReadExactly(body, record, wanted))
                CantOpen();
            TakeFormat(record, wanted);
            haveFormat = true;
        } else if (!haveData && std::memcmp(header, "data", 4) == 0) {
            dataStart_ = body;
            dataBytes_ = std::min(length, fileBytes - body);
            haveData = true;
        }
        offset = body + length + (length & 1);
    }
    if (!haveFormat || !haveData)
        CantOpen();
}

void WavFileReader::TakeFormat(const uint8_t* body, size_t length) {
    uint32_t tag = Get16(body);
    const bool extensible = tag == ExtensibleTag;
    std::string problem;
    if (extensible) {
        const uint8_t* guid = body + SubFormatOffset;
        if (length < ExtensibleFormatBytes)
            problem = "WAVE_FORMAT_EXTENSIBLE without its sub-format";
        else if (std::memcmp(guid + 4, SubFormatTail, sizeof SubFormatTail) != 0)
            problem = "WAVE_FORMAT_EXTENSIBLE with a sub-format that is not PCM";
        else
            tag = Get32(guid);
    }
    if (problem.empty() && tag != WaveFormatPcm)
        problem = NotPcm(tag, extensible);

    WaveFormat format;
    format.FormatTag = WaveFormatPcm;
    format.Channels = Get16(body + 2);
    format.SamplesPerSec = Get32(body + 4);
    format.AvgBytesPerSec = Get32(body + 8);
    format.BlockAlign = Get16(body + 12);
    format.BitsPerSample = Get16(body + 14);
    format.ExtraSize = 0;
    if (problem.empty())
        problem = FormatProblem(format);
    if (!problem.empty())
        throw DisplayedError("Can't import " + path_ + ": " + problem);
    format_ = format;
}

size_t WavFileReader::Read(uint8_t* buffer, size_t count) {
    const auto wanted =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), dataBytes_ - consumed_));
    int error = 0;
    const size_t done = ReadAt(dataStart_ + consumed_, buffer, wanted, error);
    if (error != 0)
        throw DisplayedError("Can't read file: " + path_ + ": " + std::strerror(error));
    consumed_ += static_cast<int64_t>(done);
    // A file shortened meanwhile: its samples end here.
    if (done < wanted)
        dataBytes_ = consumed_;
    return done;
}

bool WavFileReader::ReadExactly(int64_t offset, void* buffer, size_t count) {
    int error = 0;
    return ReadAt(offset, buffer, count, error) == count && error == 0;
}

size_t WavFileReader::ReadAt(int64_t offset, void* buffer, size_t count, int& error) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(fd_.Get(), out + done, count - done, offset + static_cast<int64_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            error = errno;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

void WavFileReader::CantOpen() const {
    throw DisplayedError("Can't open file: " + path_);
}
