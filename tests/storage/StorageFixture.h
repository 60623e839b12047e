#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/SegmentedFile.h"
#include "support/TempDir.h"

// Each storage test runs in a fresh folder of its own (the current folder, where the log
// lands too) with the engine-wide buffer values at their load-time defaults.
class StorageTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& Dir() const { return dir_->Path(); }
    std::string LogText() const;

  private:
    std::unique_ptr<TempDir> dir_;
    std::string previous_;
};

// A bare stream whose fill byte and open flags a test can choose.
class TestStream : public SegmentedFile {
  public:
    void SetFill(uint8_t fill) { FillByte = fill; }
    void SetFlags(uint32_t flags) { CreateFlags = flags; }
};

// Deterministic bytes for position-dependent test data: the byte at stream offset i of the
// pattern named seed.
uint8_t PatternByte(uint64_t seed, int64_t offset);
std::vector<uint8_t> Pattern(uint64_t seed, int64_t offset, size_t count);

// The whole stream as ReadAt gives it.
std::vector<uint8_t> ReadStream(SegmentedFile& stream, int64_t from, size_t count);

// Checks the stream's invariants: segments sorted and disjoint, each file exactly Length
// bytes long, the total length the end of the last segment.
void ExpectSegmentInvariants(const SegmentedFile& stream);

int64_t FileSize(const std::string& path);
