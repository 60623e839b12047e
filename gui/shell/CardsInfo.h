#pragma once

#include <QString>

namespace wave {
struct DeviceCaps;
}

// The "Cards info" text: every playback device of the machine with the formats it takes, as
// the device queries report them (not the engine's cards).
namespace CardsInfo {

// One device's block: its number and name, its channels and a line per format it takes of
// 11.025, 22.05 and 44.1 kHz.
QString Block(unsigned deviceId, const wave::DeviceCaps& caps);
// Every device's block, in device order; a device whose query fails is left out.
QString Text();

}  // namespace CardsInfo
