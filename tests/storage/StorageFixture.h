#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/EngineStatics.h"
#include "core/Log.h"
#include "core/OrvellError.h"
#include "platform/wave/WaveFormat.h"
#include "storage/SegmentedFile.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"

using Bytes = std::vector<uint8_t>;

// Each storage test runs in a fresh folder of its own (the current folder, where the log lands
// too) with the engine-wide buffer values at their load-time defaults.
class StorageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(chdir(dir_.Path().c_str()), 0);
        ResetEngineValues();
    }
    void TearDown() override {
        ResetEngineValues();
        RestoreProcessSandbox();
    }
    const std::string& Dir() const { return dir_.Path(); }
    std::string LogText() const { return ReadWholeFile(dir_ / "logfile.txt"); }

  private:
    static void ResetEngineValues() {
        BufferSize = DefaultBufferSize;
        SampleRate = DefaultSampleRate;
        CacheSize = static_cast<int32_t>(BufferSize * 100);
        ResetLogForNextRun();
    }
    TempDir dir_{"zembla-storage"};
};

// A bare stream whose fill byte and open flags a test can choose.
class TestStream : public SegmentedFile {
  public:
    void SetFill(uint8_t fill) { FillByte = fill; }
    void SetFlags(uint32_t flags) { CreateFlags = flags; }
};

// The byte at stream offset of the test pattern seed: data that shows where it was written.
inline uint8_t PatternByte(uint64_t seed, int64_t offset) {
    uint64_t x =
        seed * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(offset) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 31)) * 0x94D049BB133111EBull;
    return static_cast<uint8_t>(x ^ (x >> 29));
}

inline Bytes Pattern(uint64_t seed, int64_t offset, size_t count) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = PatternByte(seed, offset + static_cast<int64_t>(i));
    return bytes;
}

inline Bytes ReadStream(SegmentedFile& stream, int64_t from, size_t count) {
    Bytes bytes(count);
    stream.ReadAt(from, bytes.data(), count);
    return bytes;
}

// The track formats a channel makes: PCM, rate fields 0.
inline WaveFormat TrackFormat(int channels, int bits) {
    WaveFormat format;
    format.FormatTag = WaveFormatPcm;
    format.Channels = static_cast<uint16_t>(channels);
    format.BlockAlign = static_cast<uint16_t>(channels * bits / 8);
    format.BitsPerSample = static_cast<uint16_t>(bits);
    return format;
}

// The text of the StorageError or DisplayedError that f throws; "" when it throws none.
template <typename F>
std::string ThrownText(F f) {
    try {
        f();
    } catch (const StorageError& error) {
        return error.what();
    } catch (const DisplayedError& error) {
        return error.Message;
    }
    return "";
}
