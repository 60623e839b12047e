#pragma once

// A sequencer for tests: it reads the file as the program's sequencer does, plays nothing, and
// records every command it was sent (also those to devices it does not know) and every event
// a play would have sounded, with its time after the moment the audio at the start position
// was heard. What it answers can be set: whether its port is the MIDI mapper, and a command
// that fails.

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/sequencer/MidiSchedule.h"
#include "platform/sequencer/Sequencer.h"

namespace sequencer {

struct SequencerCommand {
    std::string name;  // "open", "status", "time format", "play", "stop", "close"
    uint32_t deviceId;
    std::string file;  // open: the file named
    uint32_t value;    // play: the position played from
    Result result;
};

struct SoundedEvent {
    uint32_t deviceId;
    ScheduledEvent event;
};

class RecordingSequencer : public SequencerBackend {
  public:
    const char* Name() const override { return "recording"; }
    Result Open(const std::string& file, uint32_t& deviceId) override;
    Result Status(uint32_t deviceId, StatusItem item, uint32_t& value) override;
    Result SetTimeFormat(uint32_t deviceId, TimeFormat format) override;
    Result Play(uint32_t deviceId, uint32_t fromMs, Clock::time_point heardAt) override;
    Result Stop(uint32_t deviceId) override;
    Result Close(uint32_t deviceId) override;

    // What the OutputPort status answers: the mapper unless told otherwise.
    void SetMapperAvailable(bool available);
    // Makes every command of that name answer result (NoError takes it back).
    void FailCommand(const std::string& name, Result result);

    std::vector<SequencerCommand> Commands() const;
    std::vector<SoundedEvent> Sounded() const;
    // The names of the commands, in order, e.g. "open status time format play stop close".
    std::string CommandNames() const;
    // Devices opened and not closed.
    size_t OpenDevices() const;

  private:
    Result Record(const std::string& name, uint32_t deviceId, const std::string& file,
                  uint32_t value, Result result);
    Result Answer(const std::string& name, uint32_t deviceId) const;

    mutable std::mutex lock_;
    bool mapper_ = true;
    std::vector<std::pair<std::string, Result>> failing_;
    struct Device {
        uint32_t id;
        MidiSong song;
    };
    std::vector<Device> devices_;
    std::vector<SequencerCommand> commands_;
    std::vector<SoundedEvent> sounded_;
};

}  // namespace sequencer
