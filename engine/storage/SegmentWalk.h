#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "storage/FileSegment.h"

// Reads count bytes of the stream made of segments (sorted, never overlapping) at offset. For
// each segment the range touches, readPart(index, offsetInSegment, destination, bytes) reads
// those bytes (all inside the segment's Length) and says whether any came from its file; every
// byte no segment holds is fill. True when any part came from a file. No allocation.
template <class ReadPart>
bool ReadSegmentsAt(const std::vector<std::unique_ptr<FileSegment>>& segments, uint8_t fill,
                    int64_t offset, uint8_t* buffer, size_t count, ReadPart&& readPart) {
    const int64_t end = offset + static_cast<int64_t>(count);
    auto first = std::partition_point(segments.begin(), segments.end(),
                                      [offset](const auto& s) { return s->End() <= offset; });
    bool any = false;
    int64_t cursor = offset;
    for (auto it = first; it != segments.end() && (*it)->Start < end; ++it) {
        const FileSegment& segment = **it;
        if (segment.Start > cursor) {
            std::memset(buffer + (cursor - offset), fill,
                        static_cast<size_t>(segment.Start - cursor));
            cursor = segment.Start;
        }
        int64_t take = std::min(end, segment.End()) - cursor;
        if (take <= 0)
            continue;
        if (readPart(static_cast<size_t>(it - segments.begin()), cursor - segment.Start,
                     buffer + (cursor - offset), static_cast<size_t>(take)))
            any = true;
        cursor += take;
    }
    if (cursor < end)
        std::memset(buffer + (cursor - offset), fill, static_cast<size_t>(end - cursor));
    return any;
}
