#pragma once

// The sequencer layer: the MIDI follower hands a standard MIDI file to a sequencer device and
// drives it with commands shaped like the classic media control interface's: open a file
// (a result code and a device id), ask the status of its output port, set the time format,
// play from a position, stop, close. Every command answers a result code; a device id is
// never reused, so a command sent to a closed device answers InvalidDeviceId.
//
// The program's backend reads the file with libsmf and plays it on the FluidSynth soft synth
// (FluidSynthBackend.h); tests put a recording backend in its place (RecordingSequencer.h).
// A backend's commands may come from any thread, but the commands for one device come from
// one thread at a time.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace sequencer {

enum Result : uint32_t {
    NoError = 0,
    InvalidDeviceId = 257,
    Hardware = 262,  // the device's sound output could not be started
    OutOfMemory = 264,
    FileNotFound = 275,
    InvalidFile = 296,  // not a standard MIDI file the sequencer can play
};

// A text for a result code, for the log.
const char* ErrorText(Result result);

enum class StatusItem { OutputPort };
// The output port that maps the file's channels onto General MIDI instruments: the low 16 bits
// of the OutputPort status. Any other port may play the file with the wrong instruments, or
// not at all.
constexpr uint32_t MidiMapperPort = 0xFFFF;

enum class TimeFormat { Milliseconds };

using Clock = std::chrono::steady_clock;

class SequencerBackend {
  public:
    virtual ~SequencerBackend() = default;
    virtual const char* Name() const = 0;

    // Reads the file; on success deviceId names the new device.
    virtual Result Open(const std::string& file, uint32_t& deviceId) = 0;
    virtual Result Status(uint32_t deviceId, StatusItem item, uint32_t& value) = 0;
    virtual Result SetTimeFormat(uint32_t deviceId, TimeFormat format) = 0;
    // Starts playing from fromMs (in the device's time format) without waiting for the end.
    // heardAt is the moment the song's audio at fromMs was heard: the device keeps its events
    // in step with that audio, however late this command comes.
    virtual Result Play(uint32_t deviceId, uint32_t fromMs, Clock::time_point heardAt) = 0;
    // Stops playing and silences what sounds; the device stays open.
    virtual Result Stop(uint32_t deviceId) = 0;
    virtual Result Close(uint32_t deviceId) = 0;
};

// A new device id, never 0 and never given before in this process.
uint32_t NewDeviceId();

// What a backend knows of a command's failure beyond its result code (the file's damage, the
// synthesizer's own message): kept for the thread that sent the command, which takes it.
void SetErrorDetail(std::string detail);
std::string TakeErrorDetail();

// The backend new devices open on: FluidSynth with its audio driver unless a test installed
// another. Devices already open stay on the backend that opened them.
std::shared_ptr<SequencerBackend> CurrentBackend();
void UseBackend(std::shared_ptr<SequencerBackend> backend);
// Back to the program's own backend.
void UseDefaultBackend();

}  // namespace sequencer
