#pragma once

// The WAV file a render writes (RIFF/WAVE, PCM, 16-bit stereo): created under a temporary name
// beside its own, so that a render that fails leaves no half-written file behind and an
// existing file of that name stays as it was until the new one is whole.

#include <cstdint>
#include <string>

#include "platform/os/FileDescriptor.h"

class WavOutputFile {
  public:
    static constexpr uint64_t HeaderBytes = 44;
    // The most samples a WAV file's 32-bit sizes can describe.
    static constexpr uint64_t MaxDataBytes = 0xFFFFFFFFull - (HeaderBytes - 8);

    // Throws std::runtime_error "can't create PATH: reason".
    explicit WavOutputFile(std::string path);
    // Removes the temporary file unless Commit succeeded.
    ~WavOutputFile();
    WavOutputFile(const WavOutputFile&) = delete;
    WavOutputFile& operator=(const WavOutputFile&) = delete;

    const std::string& Path() const { return path_; }
    // The samples are to be written here, right after the header.
    int Fd() const { return file_.Get(); }

    // Writes the header of a file with dataBytes of samples at rate frames a second (at most
    // MaxDataBytes). Throws std::runtime_error.
    void WriteHeader(uint32_t rate, uint64_t dataBytes);
    // Checks that header and samples are all there, makes them durable, closes the file and
    // gives it its name. Throws std::runtime_error.
    void Commit();

  private:
    [[noreturn]] void Throw(const std::string& what, int error) const;

    const std::string path_;
    std::string temporary_;
    FileDescriptor file_;
    uint64_t expectedBytes_ = 0;
    bool committed_ = false;
};
