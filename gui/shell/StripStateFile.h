#pragma once

#include <QString>
#include <vector>

// "guistrips.struct" in the song folder: which strips were muted and soloed when the song was
// saved, one byte per strip in track order (bit 0 muted, bit 1 soloed), so that the song opens
// sounding as it was left.
namespace StripStateFile {

constexpr const char* Name = "guistrips.struct";
constexpr unsigned char Muted = 1;
constexpr unsigned char Soloed = 2;

// The bytes of the file at path; empty when there is none or it cannot be read.
std::vector<unsigned char> Read(const QString& path);
// Writes states; the file is replaced whole or not at all. False on failure.
bool Write(const QString& path, const std::vector<unsigned char>& states);

}  // namespace StripStateFile
