#pragma once

// The controls of the virtual cards that tests use. Each call is ignored unless the virtual
// backend is current (see BackendSelection.h) and the card exists.

#include <cstdint>
#include <string>

#include "core/PalkExport.h"
#include "platform/wave/BackendSelection.h"
#include "platform/wave/WaveApi.h"

namespace wave {

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

// What goes wrong with the card's devices from now on (both directions).
enum class VirtualFault {
    None,
    // Unplugged: every open device fails at once (its queued buffers come back marked failed,
    // later writes are refused with NoDriver), and opening answers NoDriver.
    Lost,
    // Hangs: queued buffers are neither played nor filled until the fault is lifted; reset,
    // stop and close still work.
    Stalled,
};
void SetVirtualFault(unsigned card, VirtualFault fault);

}  // namespace wave
