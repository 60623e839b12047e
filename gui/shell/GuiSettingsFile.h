#pragma once

#include <QString>
#include <cstdint>

// "guisettings.struct" in the song folder: the two marker times of the transport panel, 8 bytes
// of signed 32-bit little-endian ms, marker 0 first (-1 for a marker not set).
namespace GuiSettingsFile {

constexpr const char* Name = "guisettings.struct";

// Reads up to 8 bytes of the file at path over markers: values the file is too short for keep
// what markers held. False when the file cannot be opened or read.
bool Read(const QString& path, int32_t (&markers)[2]);
// Writes the 8 bytes; the file is replaced whole or not at all. On failure, false and the
// reason in error.
bool Write(const QString& path, const int32_t (&markers)[2], QString& error);

}  // namespace GuiSettingsFile
