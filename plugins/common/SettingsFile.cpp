#include "SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

namespace quibfx {

const char SettingsHeader[] = "zembla-fx-settings 1";

namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    // Closes now, so that a failing close (the last chance to hear of a failed write) is seen.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// A whole word as a decimal number; no "+", no blanks, at most ten digits.
std::optional<int64_t> ParseNumber(std::string_view word, bool allowMinus) {
    const size_t digits = word.size() - (word.starts_with('-') ? 1 : 0);
    if (digits == 0 || digits > 10 || (!allowMinus && word.starts_with('-')))
        return std::nullopt;
    int64_t value = 0;
    const char* last = word.data() + word.size();
    const auto [end, failure] = std::from_chars(word.data(), last, value);
    if (failure != std::errc() || end != last)
        return std::nullopt;
    return value;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        size_t end = at;
        while (end < line.size() && !IsBlank(line[end]))
            ++end;
        if (end > at)
            words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

// One channel's line; nothing when the line counts for nothing.
bool ParseLine(std::string_view line, std::span<const Parameter> parameters, int& channel,
               ChannelValues& values) {
    const std::vector<std::string_view> words = Words(line);
    if (words.empty())
        return false;
    const std::optional<int64_t> number = ParseNumber(words[0], false);
    if (!number || *number >= MaxChannels)
        return false;
    channel = static_cast<int>(*number);
    values = {};
    for (size_t i = 0; i < parameters.size(); ++i)
        values[i] = parameters[i].defaultValue;
    std::array<bool, MaxParameters> named{};
    for (size_t w = 1; w < words.size(); ++w) {
        const size_t equals = words[w].find('=');
        if (equals == std::string_view::npos || equals == 0)
            return false;
        const std::string_view key = words[w].substr(0, equals);
        const std::optional<int64_t> value = ParseNumber(words[w].substr(equals + 1), true);
        if (!value)
            return false;
        for (size_t i = 0; i < parameters.size(); ++i) {
            if (key != parameters[i].key)
                continue;
            if (named[i] || *value < parameters[i].min || *value > parameters[i].max)
                return false;
            values[i] = static_cast<int32_t>(*value);
            named[i] = true;
        }
    }
    return true;
}

std::string Failure(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        content.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// Non-blocking, so that a FIFO of that name cannot hang the GUI thread at the open. The kernel
// refuses O_NOATIME on a file of another user; then the access time is the kernel's business.
int OpenForReading(const std::string& name) {
    constexpr int Flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    const int fd = ::open(name.c_str(), Flags | O_NOATIME);
    return fd < 0 && errno == EPERM ? ::open(name.c_str(), Flags) : fd;
}

}  // namespace

std::string FormatSettings(std::span<const Parameter> parameters, const SongValues& values) {
    std::string text = std::string(SettingsHeader) + "\n";
    for (int channel = 0; channel < MaxChannels; ++channel) {
        if (!values[channel])
            continue;
        text += std::to_string(channel);
        for (size_t i = 0; i < parameters.size(); ++i)
            text +=
                std::string(" ") + parameters[i].key + "=" + std::to_string((*values[channel])[i]);
        text += "\n";
    }
    return text;
}

SongValues ParseSettings(std::string_view text, std::span<const Parameter> parameters) {
    SongValues result;
    if (text.size() > MaxSettingsFileBytes)
        return result;
    bool first = true;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (first) {
            if (line.ends_with('\r'))
                line.remove_suffix(1);
            if (line != SettingsHeader)
                return result;
            first = false;
            continue;
        }
        int channel = 0;
        ChannelValues values;
        if (line.size() <= MaxSettingsLineBytes && ParseLine(line, parameters, channel, values))
            result[channel] = values;
    }
    return result;
}

std::optional<std::string> ReadSettingsFile(const std::string& name) {
    FileDescriptor file(OpenForReading(name));
    if (!file.IsOpen())
        return std::nullopt;
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > static_cast<off_t>(MaxSettingsFileBytes))
        return std::nullopt;
    // One byte more than allowed tells a file that grew past the limit since the stat.
    std::string content(MaxSettingsFileBytes + 1, '\0');
    size_t total = 0;
    while (total < content.size()) {
        const ssize_t got = ::read(file.Get(), content.data() + total, content.size() - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        total += static_cast<size_t>(got);
    }
    if (total > MaxSettingsFileBytes)
        return std::nullopt;
    content.resize(total);
    return content;
}

bool WriteSettingsFile(const std::string& name, std::string_view content, std::string& error) {
    std::string pattern = "." + name + ".XXXXXX";
    std::vector<char> temporary(pattern.begin(), pattern.end());
    temporary.push_back('\0');
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.IsOpen()) {
        error = Failure(name);
        return false;
    }
    const bool written = ::fchmod(file.Get(), 0644) == 0 && WriteAll(file.Get(), content) &&
                         ::fsync(file.Get()) == 0;
    if (!written || !file.Close() || ::rename(temporary.data(), name.c_str()) != 0) {
        error = Failure(name);
        ::unlink(temporary.data());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    FileDescriptor folder(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.IsOpen() || ::fsync(folder.Get()) != 0) {
        error = Failure(name);
        return false;
    }
    return true;
}

bool RemoveSettingsFile(const std::string& name, std::string& error) {
    if (::unlink(name.c_str()) != 0 && errno != ENOENT) {
        error = Failure(name);
        return false;
    }
    return true;
}

}  // namespace quibfx
