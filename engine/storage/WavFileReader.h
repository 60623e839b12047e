#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/os/FileDescriptor.h"
#include "platform/wave/WaveFormat.h"

// A RIFF WAVE file opened for import into a track. The chunk list is walked to find "fmt "
// and "data"; every other chunk ("LIST", "fact", "cue " ...) is stepped over, an odd-sized one
// with its pad byte, so that nothing but the samples is ever read as sound. Plain PCM and
// WAVE_FORMAT_EXTENSIBLE with the PCM sub-format are accepted when a track can hold them
// (8 or 16 bits, mono or stereo); anything else is refused before a byte of audio is read.
class WavFileReader {
  public:
    // Opens path read-only and reads its chunk list. Throws DisplayedError "Can't open file: "
    // followed by path when the file cannot be opened or read, is not a regular file, or holds
    // no RIFF WAVE structure with a "fmt " and a "data" chunk; DisplayedError
    // "Can't import <path>: <what the format is>" when a track cannot hold its format.
    explicit WavFileReader(const std::string& path);

    // The file's format as a track keeps it: PCM (tag 1, also for an extensible file), the
    // file's channels, rate, average bytes per second, block align and bits, extra size 0.
    const WaveFormat& Format() const { return format_; }
    // Sample bytes to import: the "data" chunk's length, or what the file holds of it when it
    // ends early.
    int64_t DataBytes() const { return dataBytes_; }

    // Reads up to count sample bytes from where the last read ended; fewer only at the end of
    // the samples (0 when none are left). Throws DisplayedError when the file cannot be read.
    size_t Read(uint8_t* buffer, size_t count);

    // Format tag of WAVE_FORMAT_EXTENSIBLE: the real format is in its sub-format GUID.
    static constexpr uint16_t ExtensibleTag = 0xFFFE;

  private:
    // Reads up to count bytes at offset, fewer only at the end of the file or when a read
    // fails (error then holds its errno).
    size_t ReadAt(int64_t offset, void* buffer, size_t count, int& error);
    bool ReadExactly(int64_t offset, void* buffer, size_t count);
    // Takes the "fmt " chunk's body: the format, or a refusal naming it.
    void TakeFormat(const uint8_t* body, size_t length);
    [[noreturn]] void CantOpen() const;

    std::string path_;
    FileDescriptor fd_;
    WaveFormat format_;
    int64_t dataStart_ = 0;
    int64_t dataBytes_ = 0;
    int64_t consumed_ = 0;
};
