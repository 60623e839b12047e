#pragma once

// The wave layer: the engine's sound cards talk to sound hardware through these calls, shaped
// like the classic wave-out/wave-in interface (numeric result codes, headers the caller owns,
// prepare/write/unprepare, reset returning every queued buffer through the done callback).
// Two backends stand behind it: ALSA, and in-process virtual cards for machines without sound
// hardware and for tests.
//
// Handles are opaque numbers, never reused: a call with a handle that was closed (or never
// opened) answers InvalidHandle, whatever was opened since. Every call holds its device for
// its duration, and Close waits for the calls in progress on other threads before the device
// goes away, so any thread may call at any time.
//
// The done callbacks run on a driver thread of the layer, one per open device, never inside a
// call of the caller. A callback may prepare, unprepare, write and add headers of its own
// device; Reset and Close from inside it answer HandleBusy.
//
// A device that fails (unplugged, driver error that cannot be recovered) returns every queued
// buffer at once with HeaderFailed set, and from then on answers Write, AddBuffer and Start
// with NoDriver; Reset, Unprepare and Close still work, so that it can be released.

#include <cstdint>
#include <string>

#include "core/PalkExport.h"
#include "platform/wave/DeviceCaps.h"
#include "platform/wave/WaveFormat.h"

namespace wave {

// Result codes, with the numeric values callers and device error texts rely on.
enum Result : uint32_t {
    NoError = 0,
    UnspecifiedError = 1,
    BadDeviceId = 2,
    Allocated = 4,
    InvalidHandle = 5,
    NoDriver = 6,  // also the answer of a device that failed
    NoMemory = 7,
    HandleBusy = 12,
    BadFormat = 32,
    StillPlaying = 33,
    Unprepared = 34,
};

// Messages delivered to a device's callback.
enum Message : uint32_t {
    OutDone = 957,  // a written buffer was played (or returned by Reset or a failure)
    InData = 960,   // an added buffer was filled (or returned by Reset or a failure, partly)
};

enum HeaderFlags : uint32_t {
    HeaderDone = 0x01,
    HeaderPrepared = 0x02,
    HeaderInQueue = 0x10,
    // Came back because the device failed: not played, or (capture) filled only as far as
    // BytesRecorded says.
    HeaderFailed = 0x20,
};

// One buffer handed to a device. The caller owns the header and its data and keeps both alive
// (and untouched) from Write/AddBuffer until the buffer came back through the callback.
struct WaveHeader {
    char* Data = nullptr;
    uint32_t BufferLength = 0;
    uint32_t BytesRecorded = 0;  // wave-in: how many bytes the device filled
    void* User = nullptr;        // for the caller: passed back untouched
    uint32_t Flags = 0;          // HeaderFlags, maintained by the layer
};

// Handles of open devices; only their values mean anything.
struct WaveOut;
struct WaveIn;

// What a device handle names now.
enum class DeviceState {
    Invalid,  // no open device (closed, or never opened)
    Working,
    Failed,  // the device went away or broke; see above
};

// Called on the device's driver thread with OutDone/InData and the header that came back.
using WaveOutCallback = void (*)(WaveOut* device, uint32_t message, void* instance,
                                 WaveHeader* header);
using WaveInCallback = void (*)(WaveIn* device, uint32_t message, void* instance,
                                WaveHeader* header);

// Playback devices are numbered 0 .. count-1; a capture device shares the number of the
// playback device of the same card. The device queries are exported: the program lists the
// machine's cards and formats with them.
PALKENG_API uint32_t WaveOutGetNumDevs();
PALKENG_API Result WaveOutGetDevCaps(uint32_t deviceId, DeviceCaps& caps);
Result WaveOutOpen(WaveOut** device, uint32_t deviceId, const WaveFormat& format,
                   WaveOutCallback callback, void* instance);
Result WaveOutPrepareHeader(WaveOut* device, WaveHeader* header);
Result WaveOutUnprepareHeader(WaveOut* device, WaveHeader* header);  // StillPlaying if queued
Result WaveOutWrite(WaveOut* device, WaveHeader* header);            // Unprepared if not prepared
// Stops playback and returns every queued buffer through the callback before it returns.
Result WaveOutReset(WaveOut* device);
Result WaveOutClose(WaveOut* device);  // StillPlaying while buffers are queued
DeviceState WaveOutGetState(WaveOut* device);
// How often the device ran out of queued buffers while a run went on (a buffer written after
// everything before it had been played). Running out at the end of a run is not counted.
uint32_t WaveOutGetUnderruns(WaveOut* device);

PALKENG_API uint32_t WaveInGetNumDevs();
PALKENG_API Result WaveInGetDevCaps(uint32_t deviceId, DeviceCaps& caps);
Result WaveInOpen(WaveIn** device, uint32_t deviceId, const WaveFormat& format,
                  WaveInCallback callback, void* instance);
Result WaveInPrepareHeader(WaveIn* device, WaveHeader* header);
Result WaveInUnprepareHeader(WaveIn* device, WaveHeader* header);
Result WaveInAddBuffer(WaveIn* device, WaveHeader* header);
// Starts capture. Input that arrives while no buffer is queued is dropped: what a take holds
// begins when a buffer is there to take it.
Result WaveInStart(WaveIn* device);
Result WaveInStop(WaveIn* device);
// Stops capture and returns every queued buffer (with what it holds) through the callback
// before it returns.
Result WaveInReset(WaveIn* device);
Result WaveInClose(WaveIn* device);  // StillPlaying while buffers are queued
DeviceState WaveInGetState(WaveIn* device);
// How often input was lost because the buffers came back to the device too late.
uint32_t WaveInGetOverruns(WaveIn* device);
// Peak of the latest captured buffer, as an absolute 16-bit sample value (0 when none).
uint16_t WaveInGetPeak(WaveIn* device);

}  // namespace wave
