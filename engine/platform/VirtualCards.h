#pragma once

// Choosing the wave layer's backend, and the controls of the virtual cards that tests use.
//
// The layer picks its backend at its first call, from the environment (see
// SelectBackendFromEnvironment), unless one of the Use* calls came first. Switching backend
// leaves devices that are still open working on the backend they were opened on until they
// are closed; the device numbers and the hooks below always refer to the current backend.

#include <cstdint>
#include <string>

#include "core/PalkExport.h"
#include "platform/WaveApi.h"

namespace wave {

// Switches to `count` fresh virtual cards, "Virtual card 0", "Virtual card 1", ...: nothing
// open, nothing played or captured, real-time pacing, silent input, and every played byte
// kept for TakePlayedBytes.
void UseVirtualCards(unsigned count);
// Switches to ALSA, re-reading ALSA's configuration (e.g. after HOME changed).
void UseAlsa();
// ZEMBLA_AUDIO=virtual: virtual cards (as many as ZEMBLA_VIRTUAL_CARDS says, default 2; they
// do not keep what they play); ZEMBLA_AUDIO=alsa: ALSA; unset: ALSA if it offers at least one
// playback device, otherwise virtual cards.
PALKENG_API void SelectBackendFromEnvironment();
// "ALSA" or "virtual".
PALKENG_API const char* BackendName();

// --- Virtual cards (each call is ignored unless the virtual backend is current and the card
// exists) ---

enum class Pacing {
    RealTime,     // a buffer of N frames at R frames per second takes N/R seconds
    FreeRunning,  // buffers are played and filled as soon as they are queued
};
void SetVirtualPacing(unsigned card, Pacing pacing);

// Everything the card's wave-out played since the last call (or since the cards were made),
// in the order played. A buffer counts once the card finished it; one returned by a reset
// was not played.
std::string TakePlayedBytes(unsigned card);
// How many bytes TakePlayedBytes would return now.
size_t PlayedByteCount(unsigned card);
// Whether the card keeps what it plays (on after UseVirtualCards).
void SetVirtualPlayedCollection(unsigned card, bool keep);

// What the card's wave-in captures.
struct VirtualCaptureSource {
    enum class Kind { Silence, TestSignal, Pcm };
    Kind kind = Kind::Silence;
    double frequencyHz = 1000.0;  // TestSignal: a sine, the same on every channel
    double amplitude = 0.5;       // TestSignal: of full scale
    std::string pcm;              // Pcm: bytes in the device's format; silence after them

    static VirtualCaptureSource Silence() { return {}; }
    static VirtualCaptureSource TestSignal(double frequencyHz = 1000.0, double amplitude = 0.5) {
        VirtualCaptureSource source;
        source.kind = Kind::TestSignal;
        source.frequencyHz = frequencyHz;
        source.amplitude = amplitude;
        return source;
    }
    static VirtualCaptureSource Pcm(std::string bytes) {
        VirtualCaptureSource source;
        source.kind = Kind::Pcm;
        source.pcm = std::move(bytes);
        return source;
    }
};
// Replaces the source; capture continues from its beginning.
void SetVirtualCaptureSource(unsigned card, VirtualCaptureSource source);

// Makes opening the card's wave-out and wave-in fail with `result` (NoError to allow again),
// so that tests can provoke device errors.
void SetVirtualOpenResult(unsigned card, Result result);

}  // namespace wave
