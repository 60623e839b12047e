#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/StorageFile.h"

class SegmentedFile;

// Reads a segmented stream through descriptors of its own, opened on first use and closed
// when the reader goes away. The stream's position, cache and segment handles stay untouched,
// so an export or a peak build on the GUI thread never disturbs the player reading the same
// track. The segment list must not change while the reader lives.
class SegmentReader {
  public:
    explicit SegmentReader(const SegmentedFile& file);

    // As SegmentedFile::ReadAt.
    bool ReadAt(int64_t offset, uint8_t* buffer, size_t count);

  private:
    const SegmentedFile& file_;
    std::vector<StorageFile> files_;
    std::vector<bool> tried_;
};
