#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The engine's settings key: typed values (32-bit numbers and strings) under names compared
// without regard to case, kept in one text file that is replaced atomically when written.
//
// File format, one value per line ("#" starts a comment line):
//   Name=dword:44100
//   Name=string:"text"      (\\, \" and \xNN escapes; bytes below 0x20 and from 0x7F escaped)
// Lines that cannot be parsed are skipped, so a damaged file yields what can still be read.
class SettingsKey {
  public:
    // $XDG_CONFIG_HOME/Torvane/Zembla.conf, or ~/.config/Torvane/Zembla.conf.
    static std::string DefaultPath();

    // Opens an existing key for reading; false when the file is missing or cannot be read.
    bool Open(const std::string& path);
    // Opens the key for writing, creating its folder; an existing file's values are kept.
    // False when the folder cannot be created.
    bool Create(const std::string& path);

    bool QueryDword(std::string_view name, uint32_t& value) const;
    bool QueryString(std::string_view name, std::string& value) const;
    void SetDword(std::string_view name, uint32_t value);
    void SetString(std::string_view name, std::string_view value);

    // Writes every value to a temporary file beside the key and renames it into place, so a
    // reader sees either the old or the new file whole. False on any failure.
    bool Commit() const;

    // Parses file content; exposed for the fuzz target and tests.
    void Parse(std::string_view content);
    std::string Serialize() const;

  private:
    enum class Kind { Dword, String };
    struct Value {
        std::string Name;
        Kind Type = Kind::Dword;
        uint32_t Number = 0;
        std::string Text;
    };

    const Value* Find(std::string_view name) const;
    Value& FindOrAdd(std::string_view name);

    std::string path_;
    std::vector<Value> values_;
};
