#include "WavOutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

void PutLittleEndian(unsigned char* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

mode_t CreationMode() {
    // What open(..., 0666) would give: mkstemp makes its file private.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

WavOutputFile::WavOutputFile(std::string path) : path_(std::move(path)) {
    struct stat existing;
    if (::stat(path_.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
        Throw("can't create " + path_, EISDIR);
    const size_t slash = path_.rfind('/');
    temporary_ = path_.substr(0, slash + 1) + "." + path_.substr(slash + 1) + ".XXXXXX";
    file_.Reset(::mkostemp(temporary_.data(), O_CLOEXEC));
    if (!file_.Valid()) {
        const int error = errno;
        temporary_.clear();
        Throw("can't create " + path_, error);
    }
    if (::fchmod(file_.Get(), CreationMode()) != 0)
        Throw("can't create " + path_, errno);
}

WavOutputFile::~WavOutputFile() {
    file_.Close();
    if (!committed_ && !temporary_.empty())
        ::unlink(temporary_.c_str());
}

void WavOutputFile::Throw(const std::string& what, int error) const {
    throw std::runtime_error(what + ": " + std::strerror(error));
}

void WavOutputFile::WriteHeader(uint32_t rate, uint64_t dataBytes) {
    if (dataBytes > MaxDataBytes)
        throw std::runtime_error("the song is too long for a WAV file (at most 4 GB of samples)");
    constexpr uint16_t Channels = 2, Bits = 16, BlockAlign = Channels * Bits / 8;
    unsigned char header[HeaderBytes];
    std::memcpy(header, "RIFF", 4);
    PutLittleEndian(header + 4, static_cast<uint32_t>(HeaderBytes - 8 + dataBytes), 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    PutLittleEndian(header + 16, 16, 4);  // the format chunk's size
    PutLittleEndian(header + 20, 1, 2);   // PCM
    PutLittleEndian(header + 22, Channels, 2);
    PutLittleEndian(header + 24, rate, 4);
    PutLittleEndian(header + 28, rate * BlockAlign, 4);
    PutLittleEndian(header + 32, BlockAlign, 2);
    PutLittleEndian(header + 34, Bits, 2);
    std::memcpy(header + 36, "data", 4);
    PutLittleEndian(header + 40, static_cast<uint32_t>(dataBytes), 4);
    size_t done = 0;
    while (done < sizeof header) {
        const ssize_t written = ::write(file_.Get(), header + done, sizeof header - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            Throw("can't write " + path_, written < 0 ? errno : EIO);
        done += static_cast<size_t>(written);
    }
    expectedBytes_ = HeaderBytes + dataBytes;
}

void WavOutputFile::Commit() {
    struct stat written;
    if (::fstat(file_.Get(), &written) != 0)
        Throw("can't write " + path_, errno);
    if (static_cast<uint64_t>(written.st_size) != expectedBytes_)
        throw std::runtime_error("can't write " + path_ + ": it holds " +
                                 std::to_string(written.st_size) + " bytes instead of " +
                                 std::to_string(expectedBytes_));
    // On the disk before it takes the name: a crash must not leave an empty file where an
    // earlier one of that name was.
    int synced;
    do {
        synced = ::fdatasync(file_.Get());
    } while (synced != 0 && errno == EINTR);
    if (synced != 0 || file_.Close() != 0)
        Throw("can't write " + path_, errno);
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        Throw("can't create " + path_, errno);
    committed_ = true;
}
