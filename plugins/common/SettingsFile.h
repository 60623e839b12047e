// A song's settings file of one effect ("Echo.fxsettings" in the song folder): the values of
// every channel that has the effect, one line per channel:
//
//     zembla-fx-settings 1
//     0 time_ms=300 feedback_percent=40 mix_percent=50
//     3 time_ms=120 feedback_percent=0 mix_percent=100
//
// The file comes from disk and may be damaged in any way; reading it never fails, it only
// gives fewer values:
//  - a file over MaxSettingsFileBytes, or whose first line is not the header, gives none;
//  - a line gives one channel (0 .. MaxChannels-1, decimal) its values, as key=value words
//    separated by spaces or tabs; a setting the line does not name gets its default, a key the
//    effect does not know is passed over (a file written by a later version still opens);
//  - a line over MaxSettingsLineBytes, a bad channel number, a word that is not key=value with
//    a decimal value, a value outside the setting's range or a key named twice make the whole
//    line count for nothing (that channel gets the defaults);
//  - a later line for a channel replaces an earlier one; empty lines are passed over.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Parameter.h"

namespace quibfx {

constexpr size_t MaxSettingsFileBytes = 64 * 1024;
constexpr size_t MaxSettingsLineBytes = 256;
extern const char SettingsHeader[];

// The text of a settings file holding values (channels without values are left out).
std::string FormatSettings(std::span<const Parameter> parameters, const SongValues& values);
// What a settings file's text gives, by the rules above.
SongValues ParseSettings(std::string_view text, std::span<const Parameter> parameters);

// The content of the file name in the current folder; nothing when it is missing, not a
// regular file, unreadable or larger than MaxSettingsFileBytes. Leaves its access time alone
// where the kernel lets us (reading a song must not change its folder).
std::optional<std::string> ReadSettingsFile(const std::string& name);
// Replaces the file name in the current folder with content as a whole: a temporary file,
// synced, renamed into place, then the folder synced. A failure leaves the previous file and
// says why in error.
bool WriteSettingsFile(const std::string& name, std::string_view content, std::string& error);
// Removes the file name from the current folder; a file that is not there is no failure.
bool RemoveSettingsFile(const std::string& name, std::string& error);

}  // namespace quibfx
