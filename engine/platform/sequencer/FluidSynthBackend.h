#pragma once

// The program's sequencer: a MIDI file read with libsmf (MidiFileReader.h) and played on the
// FluidSynth soft synth through FluidSynth's own ALSA audio driver. FluidSynth maps the file's
// channels onto the instruments of a General MIDI sound font: a device that loaded one has the
// MIDI mapper as its output port; without one, its port is a plain one on which the file
// would sound with no instrument at all.
//
// Environment: ZEMBLA_SOUNDFONT names the sound font (when it is set nothing else is looked
// for, so a missing file means no sound font); ZEMBLA_MIDI_DEVICE names the ALSA PCM the synth
// plays on ("default" when unset).

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/sequencer/Sequencer.h"

namespace sequencer {

// ZEMBLA_SOUNDFONT when set; otherwise the first General MIDI sound font found where Debian
// and other distributions install them; empty when there is none.
std::string FindGeneralMidiSoundFont();

class FluidSynthBackend : public SequencerBackend {
  public:
    enum class Output {
        AudioDriver,  // FluidSynth's ALSA driver plays in real time from Play on
        Pulled,       // no driver: Render pulls the samples, and the device's time with them
    };
    explicit FluidSynthBackend(Output output = Output::AudioDriver, unsigned sampleRate = 44100);
    ~FluidSynthBackend() override;

    const char* Name() const override { return "FluidSynth"; }
    // Reads the file, creates the synth and loads the sound font.
    Result Open(const std::string& file, uint32_t& deviceId) override;
    Result Status(uint32_t deviceId, StatusItem item, uint32_t& value) override;
    Result SetTimeFormat(uint32_t deviceId, TimeFormat format) override;
    // Starts the audio driver (Hardware when it cannot) and schedules the file's events on
    // FluidSynth's sequencer, whose time runs with the samples the synth renders.
    Result Play(uint32_t deviceId, uint32_t fromMs, Clock::time_point heardAt) override;
    Result Stop(uint32_t deviceId) override;
    Result Close(uint32_t deviceId) override;

    // A pulled device renders frames of stereo float samples through FluidSynth's own
    // rendering call, playing what fell due meanwhile.
    Result Render(uint32_t deviceId, float* left, float* right, int frames);

  private:
    class Device;
    std::shared_ptr<Device> Find(uint32_t deviceId);

    const Output output_;
    const unsigned sampleRate_;
    std::mutex lock_;
    std::map<uint32_t, std::shared_ptr<Device>> devices_;
};

}  // namespace sequencer
