#pragma once

// The wave layer: the engine's sound cards talk to sound hardware through these calls, shaped
// like the classic wave-out/wave-in interface (numeric result codes, headers the caller owns,
// prepare/write/unprepare, reset returning every queued buffer through the done callback).
// Two backends stand behind it: ALSA, and in-process virtual cards for machines without sound
// hardware and for tests.
//
// Threads: every call is made from the engine's own threads (GUI, player, recorder); the done
// callbacks run on a driver thread of the layer, one per open device, never inside a call of
// the caller except Reset (see below). A callback must not call back into the layer for the
// same device other than PrepareHeader/UnprepareHeader/Write/AddBuffer.

#include <cstdint>
#include <string>

#include "core/PalkExport.h"
#include "platform/WaveFormat.h"

namespace wave {

// Result codes, with the numeric values callers and device error texts rely on.
enum Result : uint32_t {
    NoError = 0,
    UnspecifiedError = 1,
    BadDeviceId = 2,
    Allocated = 4,
    InvalidHandle = 5,
    NoDriver = 6,
    NoMemory = 7,
    HandleBusy = 12,
    BadFormat = 32,
    StillPlaying = 33,
    Unprepared = 34,
};

// Messages delivered to a device's callback.
enum Message : uint32_t {
    OutDone = 957,  // a written buffer was played (or returned by Reset)
    InData = 960,   // an added buffer was filled (or returned by Reset, partly filled)
};

// Format capability flags: rate (11025/22050/44100/48000/96000 Hz) x mono/stereo x 8/16 bit.
enum FormatFlags : uint32_t {
    Format1M08 = 0x00000001,
    Format1S08 = 0x00000002,
    Format1M16 = 0x00000004,
    Format1S16 = 0x00000008,
    Format2M08 = 0x00000010,
    Format2S08 = 0x00000020,
    Format2M16 = 0x00000040,
    Format2S16 = 0x00000080,
    Format4M08 = 0x00000100,
    Format4S08 = 0x00000200,
    Format4M16 = 0x00000400,
    Format4S16 = 0x00000800,
    Format48M08 = 0x00001000,
    Format48S08 = 0x00002000,
    Format48M16 = 0x00004000,
    Format48S16 = 0x00008000,
    Format96M08 = 0x00010000,
    Format96S08 = 0x00020000,
    Format96M16 = 0x00040000,
    Format96S16 = 0x00080000,
};

struct DeviceCaps {
    std::string ProductName;
    uint16_t Channels = 0;
    uint32_t Formats = 0;  // FormatFlags
};

enum HeaderFlags : uint32_t {
    HeaderDone = 0x01,
    HeaderPrepared = 0x02,
    HeaderInQueue = 0x10,
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

class WaveOut;  // an open playback device
class WaveIn;   // an open capture device

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
// How often the device ran out of queued buffers while playing since it was opened.
uint32_t WaveOutGetUnderruns(WaveOut* device);

PALKENG_API uint32_t WaveInGetNumDevs();
PALKENG_API Result WaveInGetDevCaps(uint32_t deviceId, DeviceCaps& caps);
Result WaveInOpen(WaveIn** device, uint32_t deviceId, const WaveFormat& format,
                  WaveInCallback callback, void* instance);
Result WaveInPrepareHeader(WaveIn* device, WaveHeader* header);
Result WaveInUnprepareHeader(WaveIn* device, WaveHeader* header);
Result WaveInAddBuffer(WaveIn* device, WaveHeader* header);
Result WaveInStart(WaveIn* device);
Result WaveInStop(WaveIn* device);
// Stops capture and returns every queued buffer (with what it holds) through the callback
// before it returns.
Result WaveInReset(WaveIn* device);
Result WaveInClose(WaveIn* device);  // StillPlaying while buffers are queued
// Peak of the latest captured buffer, as an absolute 16-bit sample value (0 when none).
uint16_t WaveInGetPeak(WaveIn* device);

}  // namespace wave
