#include "platform/os/SettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>

#include "platform/os/FileDescriptor.h"
#include "platform/os/Files.h"

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Decodes "text" with its escapes; false when the quoting or an escape is broken.
bool Unquote(std::string_view quoted, std::string& out) {
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"')
        return false;
    std::string_view body = quoted.substr(1, quoted.size() - 2);
    out.clear();
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (c == '"')
            return false;
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i >= body.size())
            return false;
        char e = body[i];
        if (e == '\\' || e == '"') {
            out.push_back(e);
        } else if (e == 'x') {
            if (i + 2 >= body.size())
                return false;
            int high = HexDigit(body[i + 1]);
            int low = HexDigit(body[i + 2]);
            if (high < 0 || low < 0)
                return false;
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

std::string Quote(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20 || byte >= 0x7F) {
            out += "\\x";
            out.push_back(hex[byte >> 4]);
            out.push_back(hex[byte & 15]);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

}  // namespace

std::string SettingsKey::DefaultPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            if (const passwd* entry = getpwuid(getuid()))
                home = entry->pw_dir;
        }
        base = std::string(home ? home : "") + "/.config";
    }
    return base + "/Torvane/Zembla.conf";
}

bool SettingsKey::Open(const std::string& path) {
    path_ = path;
    values_.clear();
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid())
        return false;
    struct stat info {};
    if (fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    std::string content;
    char block[4096];
    for (;;) {
        ssize_t n = ::read(fd.Get(), block, sizeof block);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        content.append(block, static_cast<size_t>(n));
        // A settings file is a few hundred bytes; anything huge is not ours.
        if (content.size() > (1u << 20))
            return false;
    }
    Parse(content);
    return true;
}

bool SettingsKey::Create(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (error)
        return false;
    if (!std::filesystem::is_directory(std::filesystem::path(path).parent_path()))
        return false;
    if (!Open(path)) {
        values_.clear();
        if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path))
            return false;
    }
    path_ = path;
    return true;
}

void SettingsKey::Parse(std::string_view content) {
    values_.clear();
    while (!content.empty()) {
        size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);

        line = Trim(line);
        if (line.empty() || line.front() == '#')
            continue;
        size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        std::string_view name = Trim(line.substr(0, equals));
        std::string_view typed = Trim(line.substr(equals + 1));
        if (name.empty())
            continue;

        Value value;
        value.Name = std::string(name);
        if (typed.starts_with("dword:")) {
            std::string_view digits = Trim(typed.substr(6));
            auto [rest, result] =
                std::from_chars(digits.data(), digits.data() + digits.size(), value.Number);
            if (result != std::errc() || rest != digits.data() + digits.size())
                continue;
            value.Type = Kind::Dword;
        } else if (typed.starts_with("string:")) {
            if (!Unquote(Trim(typed.substr(7)), value.Text))
                continue;
            value.Type = Kind::String;
        } else {
            continue;
        }
        // A later line for the same name wins, as a later write would.
        FindOrAdd(value.Name) = std::move(value);
    }
}

std::string SettingsKey::Serialize() const {
    std::string out = "# Zembla settings\n";
    for (const Value& value : values_) {
        out += value.Name;
        if (value.Type == Kind::Dword)
            out += "=dword:" + std::to_string(value.Number);
        else
            out += "=string:" + Quote(value.Text);
        out.push_back('\n');
    }
    return out;
}

bool SettingsKey::Commit() const {
    if (path_.empty())
        return false;
    const std::string content = Serialize();
    return ReplaceFileAtomically(path_, content.data(), content.size());
}

bool SettingsKey::QueryDword(std::string_view name, uint32_t& value) const {
    const Value* found = Find(name);
    if (!found || found->Type != Kind::Dword)
        return false;
    value = found->Number;
    return true;
}

bool SettingsKey::QueryString(std::string_view name, std::string& value) const {
    const Value* found = Find(name);
    if (!found || found->Type != Kind::String)
        return false;
    value = found->Text;
    return true;
}

void SettingsKey::SetDword(std::string_view name, uint32_t number) {
    Value& value = FindOrAdd(name);
    value.Type = Kind::Dword;
    value.Number = number;
    value.Text.clear();
}

void SettingsKey::SetString(std::string_view name, std::string_view text) {
    Value& value = FindOrAdd(name);
    value.Type = Kind::String;
    value.Text = std::string(text);
    value.Number = 0;
}

const SettingsKey::Value* SettingsKey::Find(std::string_view name) const {
    for (const Value& value : values_)
        if (EqualNoCase(value.Name, name))
            return &value;
    return nullptr;
}

SettingsKey::Value& SettingsKey::FindOrAdd(std::string_view name) {
    for (Value& value : values_)
        if (EqualNoCase(value.Name, name))
            return value;
    values_.push_back(Value{std::string(name), Kind::Dword, 0, {}});
    return values_.back();
}
