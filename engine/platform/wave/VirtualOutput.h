#pragma once

// A virtual card that plays into a file: what a program uses to write a song's mix as fast as
// the engine can make it (a render), through the same playback path a real card takes.

#include <cstdint>

#include "core/PalkExport.h"

namespace wave {

// Switches the wave layer to one fresh virtual card, "Virtual card 0", free-running and keeping
// nothing in memory, whose wave-out writes every byte it plays to fd, at fd's file position,
// until limitBytes have been written; what it plays beyond that is dropped. The writes happen on
// the card's driver thread. fd stays the caller's: it must stay open until the card's wave-out
// is closed (the engine terminated, say), and the caller closes it.
PALKENG_API void UseVirtualOutputFile(int fd, uint64_t limitBytes);

struct VirtualOutputProgress {
    uint64_t bytesWritten = 0;  // reached fd so far
    int writeError = 0;         // errno of the first write that failed; nothing is written after it
};
// Where the card of UseVirtualOutputFile stands; all zero while the wave layer uses anything
// else.
PALKENG_API VirtualOutputProgress GetVirtualOutputProgress();

}  // namespace wave
