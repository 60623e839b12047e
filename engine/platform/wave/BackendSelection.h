#pragma once

// Which backend stands behind the wave layer.
//
// The layer picks its backend at its first call, from the environment (see
// SelectBackendFromEnvironment), unless one of the Use* calls came first. Switching backend
// leaves devices that are still open working on the backend they were opened on until they
// are closed; device numbers always refer to the current backend.

#include <memory>

#include "core/PalkExport.h"

namespace wave {

class WaveBackend;

// Switches to `count` fresh virtual cards, "Virtual card 0", "Virtual card 1", ...: nothing
// open, nothing played or captured, real-time pacing, silent input, and every played byte
// kept for TakePlayedBytes (see VirtualCards.h).
void UseVirtualCards(unsigned count);
// Switches to ALSA, re-reading ALSA's configuration (e.g. after HOME changed).
void UseAlsa();
// ZEMBLA_AUDIO=virtual: virtual cards (as many as ZEMBLA_VIRTUAL_CARDS says, default 2; they
// do not keep what they play); ZEMBLA_AUDIO=alsa: ALSA; unset: ALSA if it offers at least one
// playback device, otherwise virtual cards.
PALKENG_API void SelectBackendFromEnvironment();
// "ALSA" or "virtual".
PALKENG_API const char* BackendName();

// The backend the layer uses now (chosen from the environment at the first use).
std::shared_ptr<WaveBackend> CurrentBackend();

}  // namespace wave
