#pragma once

#include <cstdint>
#include <vector>

#include "core/PalkExport.h"

// One automation event: from frame Time on, the value is Value. Volume values are gain factors
// (1.0 = unity); pan values run from -1.0 (left) through 0.0 to +1.0 (right).
struct ChannelEvent {
    int32_t Time = 0;
    float Value = 0.0f;
};

namespace EventTypes {
// The kind of a drawn fade; the engine draws volume fades only.
enum EventType {
    VolumeFade = 0,
    PanFade = 1,
};
}  // namespace EventTypes

// An automation program: events in the order they take effect, starting with a head event at
// frame 0 that is never removed. A position names an event by its place in the program.
using EventPosition = size_t;
using EventList = std::vector<ChannelEvent>;
