#pragma once

#include <cstddef>
#include <cstdint>

// The engine-wide scratch block every track reads one playback buffer into before widening it
// into Channel::Data: page-aligned (so unbuffered reads may target it) and BufferSize * 4 bytes
// long. The player thread uses it for one track after the other; nothing else reads into it
// while the transport runs (peak building has a block of its own).

// Gives the scratch block a size of bytes. Does nothing when the size is already bytes; else
// frees the old block and allocates a zeroed new one (none for 0). When the allocation fails
// there is no block afterwards (ScratchBufferData() is null) and nothing is reported: readers
// check for it. Called by every track file's constructor and when the buffer length changes,
// never while the transport runs.
void ResizeScratchBuffer(size_t bytes);

// The block, or null when there is none. Player thread safe: reads only.
uint8_t* ScratchBufferData();
// Its size in bytes; 0 when there is no block.
size_t ScratchBufferSize();
