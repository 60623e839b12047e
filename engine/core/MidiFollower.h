#pragma once

// The MIDI file that plays along with the song. Each run with a file has a MIDI thread of its
// own, which sends every command to the sequencer: it opens the file and asks for the output
// port while the run is being prepared, then waits for the player to say the cards started
// (and at what position), asks the user whether to go on when the port is not the MIDI mapper,
// sets the time format and plays from that position in step with the audio; when the run
// stops, it stops and closes the sequencer. Failures are silent (logged): the audio plays
// without MIDI.
//
// The player only signals: no allocation, no lock, no file access on its side. The question is
// asked without any engine lock held, and a stop never waits for an answer: the run ends at
// once, and its thread closes the sequencer when the answer comes and is reclaimed at the next
// Prepare or at Shutdown.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class MidiFollower {
  public:
    MidiFollower();
    ~MidiFollower();
    MidiFollower(const MidiFollower&) = delete;
    MidiFollower& operator=(const MidiFollower&) = delete;

    // GUI thread, before the player starts: a run for fileName (none for an empty name) with
    // the sequencer opened once this returns (or after a time-out, when opening is that slow).
    void Prepare(const std::string& fileName);
    // Player thread, right after the cards started: the position heard then. Allocates
    // nothing, takes no lock, touches no file.
    void CardsStarted(unsigned long positionMs) noexcept;
    // GUI thread: ends the run's MIDI (stop and close); without a run, nothing.
    void Stop();
    // GUI thread: ends every run and waits for their threads. A thread still asking the user
    // is waited for until the user interface answers.
    void Shutdown();

    static constexpr const char* MapperQuestion = "The MIDI mapper is not available. Continue?";

  private:
    class Run;
    void Reclaim();

    std::unique_ptr<Run> current_;
    // The run the player signals; set before the player starts, cleared by Stop.
    std::atomic<Run*> armed_{nullptr};
    // Runs that were stopped: their threads may still be asking (or closing).
    std::vector<std::unique_ptr<Run>> retired_;
};
