#include "platform/sequencer/RecordingSequencer.h"

#include <algorithm>

namespace sequencer {

Result RecordingSequencer::Record(const std::string& name, uint32_t deviceId,
                                  const std::string& file, uint32_t value, Result result) {
    commands_.push_back({name, deviceId, file, value, result});
    return result;
}

// Called with the lock held: InvalidDeviceId for an unknown device, then any failure set.
Result RecordingSequencer::Answer(const std::string& name, uint32_t deviceId) const {
    const bool known = std::any_of(devices_.begin(), devices_.end(),
                                   [&](const Device& device) { return device.id == deviceId; });
    if (!known)
        return InvalidDeviceId;
    for (const auto& [failingName, result] : failing_)
        if (failingName == name)
            return result;
    return NoError;
}

Result RecordingSequencer::Open(const std::string& file, uint32_t& deviceId) {
    MidiSong song;
    std::string why;
    Result result = ReadMidiFile(file, song, why);
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& [failingName, failure] : failing_)
        if (failingName == "open" && result == NoError)
            result = failure;
    if (result != NoError) {
        SetErrorDetail(why);
        return Record("open", 0, file, 0, result);
    }
    deviceId = NewDeviceId();
    devices_.push_back({deviceId, std::move(song)});
    return Record("open", deviceId, file, 0, NoError);
}

Result RecordingSequencer::Status(uint32_t deviceId, StatusItem, uint32_t& value) {
    std::lock_guard<std::mutex> guard(lock_);
    const Result result = Answer("status", deviceId);
    if (result == NoError)
        value = mapper_ ? MidiMapperPort : 0;
    return Record("status", deviceId, "", 0, result);
}

Result RecordingSequencer::SetTimeFormat(uint32_t deviceId, TimeFormat) {
    std::lock_guard<std::mutex> guard(lock_);
    return Record("time format", deviceId, "", 0, Answer("time format", deviceId));
}

Result RecordingSequencer::Play(uint32_t deviceId, uint32_t fromMs, Clock::time_point heardAt) {
    const double lateMs = std::chrono::duration<double, std::milli>(Clock::now() - heardAt).count();
    std::lock_guard<std::mutex> guard(lock_);
    const Result result = Answer("play", deviceId);
    if (result == NoError) {
        for (const Device& device : devices_)
            if (device.id == deviceId)
                for (const ScheduledEvent& event : ScheduleFrom(device.song, fromMs, lateMs))
                    sounded_.push_back({deviceId, event});
    }
    return Record("play", deviceId, "", fromMs, result);
}

Result RecordingSequencer::Stop(uint32_t deviceId) {
    std::lock_guard<std::mutex> guard(lock_);
    return Record("stop", deviceId, "", 0, Answer("stop", deviceId));
}

Result RecordingSequencer::Close(uint32_t deviceId) {
    std::lock_guard<std::mutex> guard(lock_);
    const Result result = Answer("close", deviceId);
    // A close that fails still lets the device go, as the program's sequencer does.
    devices_.erase(std::remove_if(devices_.begin(), devices_.end(),
                                  [&](const Device& device) { return device.id == deviceId; }),
                   devices_.end());
    return Record("close", deviceId, "", 0, result);
}

void RecordingSequencer::SetMapperAvailable(bool available) {
    std::lock_guard<std::mutex> guard(lock_);
    mapper_ = available;
}

void RecordingSequencer::FailCommand(const std::string& name, Result result) {
    std::lock_guard<std::mutex> guard(lock_);
    failing_.erase(std::remove_if(failing_.begin(), failing_.end(),
                                  [&](const auto& entry) { return entry.first == name; }),
                   failing_.end());
    if (result != NoError)
        failing_.emplace_back(name, result);
}

std::vector<SequencerCommand> RecordingSequencer::Commands() const {
    std::lock_guard<std::mutex> guard(lock_);
    return commands_;
}

std::vector<SoundedEvent> RecordingSequencer::Sounded() const {
    std::lock_guard<std::mutex> guard(lock_);
    return sounded_;
}

std::string RecordingSequencer::CommandNames() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::string names;
    for (const SequencerCommand& command : commands_)
        names += (names.empty() ? "" : " ") + command.name;
    return names;
}

size_t RecordingSequencer::OpenDevices() const {
    std::lock_guard<std::mutex> guard(lock_);
    return devices_.size();
}

}  // namespace sequencer
