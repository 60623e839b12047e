#include "platform/sequencer/FluidSynthBackend.h"

#include <dlfcn.h>
#include <fluidsynth.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "platform/sequencer/MidiFileReader.h"
#include "platform/sequencer/MidiSchedule.h"
#include "platform/wave/alsa/AlsaPcm.h"

namespace sequencer {

namespace {

// FluidSynth brings in the OpenMP runtime, which cannot be unloaded cleanly: it loses a block it
// allocated when it was loaded. When a program unloads the engine, the runtime stays.
struct KeepOpenMpLoaded {
    KeepOpenMpLoaded() {
        if (void* openMp = dlopen("libgomp.so.1", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE))
            dlclose(openMp);
    }
} keepOpenMpLoaded;

// Where distributions put a General MIDI sound font, the preferred first (Debian's
// default-GM links to whichever the user installed).
const char* const SoundFontPlaces[] = {
    "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/soundfonts/default.sf2",    "/usr/share/soundfonts/FluidR3_GM.sf2",
};

// FluidSynth logs to stderr by default. Its errors are kept as the failing command's detail;
// its warnings (no real-time priority, say) and chatter are dropped.
void KeepFluidError(int, const char* message, void*) {
    SetErrorDetail(message ? message : "");
}

void DropFluidMessage(int, const char*, void*) {}

void RouteFluidSynthLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        fluid_set_log_function(FLUID_PANIC, &KeepFluidError, nullptr);
        fluid_set_log_function(FLUID_ERR, &KeepFluidError, nullptr);
        fluid_set_log_function(FLUID_WARN, &DropFluidMessage, nullptr);
        fluid_set_log_function(FLUID_INFO, &DropFluidMessage, nullptr);
        fluid_set_log_function(FLUID_DBG, &DropFluidMessage, nullptr);
    });
}

struct SettingsDelete {
    void operator()(fluid_settings_t* settings) const { delete_fluid_settings(settings); }
};
struct SynthDelete {
    void operator()(fluid_synth_t* synth) const { delete_fluid_synth(synth); }
};
struct SequencerDelete {
    void operator()(fluid_sequencer_t* sequencer) const { delete_fluid_sequencer(sequencer); }
};
struct DriverDelete {
    void operator()(fluid_audio_driver_t* driver) const { delete_fluid_audio_driver(driver); }
};
struct EventDelete {
    void operator()(fluid_event_t* event) const { delete_fluid_event(event); }
};

// Fills event with a channel message.
void SetMessage(fluid_event_t* event, const ScheduledEvent& message) {
    const int channel = message.status & 0x0F;
    switch (message.status & 0xF0) {
        case 0x80:
            fluid_event_noteoff(event, channel, message.data1);
            break;
        case 0x90:
            if (message.data2 == 0)
                fluid_event_noteoff(event, channel, message.data1);
            else
                fluid_event_noteon(event, channel, message.data1, message.data2);
            break;
        case 0xA0:
            fluid_event_key_pressure(event, channel, message.data1, message.data2);
            break;
        case 0xB0:
            fluid_event_control_change(event, channel, message.data1, message.data2);
            break;
        case 0xC0:
            fluid_event_program_change(event, channel, message.data1);
            break;
        case 0xD0:
            fluid_event_channel_pressure(event, channel, message.data1);
            break;
        default:  // 0xE0
            fluid_event_pitch_bend(event, channel, message.data2 << 7 | message.data1);
            break;
    }
}

}  // namespace

std::string FindGeneralMidiSoundFont() {
    if (const char* chosen = std::getenv("ZEMBLA_SOUNDFONT"))
        return access(chosen, R_OK) == 0 ? chosen : "";
    for (const char* place : SoundFontPlaces)
        if (access(place, R_OK) == 0)
            return place;
    return "";
}

// One open file: its events, and a synth of its own with the sequencer that plays them. The
// members go in reverse order: the driver stops rendering before the sequencer and the synth
// it renders go.
class FluidSynthBackend::Device {
  public:
    Result Open(const std::string& file, unsigned sampleRate) {
        std::string why;
        if (const Result read = ReadMidiFile(file, song_, why); read != NoError) {
            SetErrorDetail(why);
            return read;
        }
        settings_.reset(new_fluid_settings());
        if (!settings_)
            return OutOfMemory;
        fluid_settings_setnum(settings_.get(), "synth.sample-rate", sampleRate);
        fluid_settings_setstr(settings_.get(), "audio.driver", "alsa");
        const char* pcm = std::getenv("ZEMBLA_MIDI_DEVICE");
        fluid_settings_setstr(settings_.get(), "audio.alsa.device", pcm && *pcm ? pcm : "default");
        synth_.reset(new_fluid_synth(settings_.get()));
        if (!synth_)
            return OutOfMemory;
        const std::string font = FindGeneralMidiSoundFont();
        mapper_ = !font.empty() && fluid_is_soundfont(font.c_str()) &&
                  fluid_synth_sfload(synth_.get(), font.c_str(), 1) != FLUID_FAILED;
        // Not the system timer: the sequencer's time is the synth's, counted in the samples it
        // renders, so every event lands on its sample whatever the driver's period.
        sequencer_.reset(new_fluid_sequencer2(0));
        if (!sequencer_)
            return OutOfMemory;
        destination_ = fluid_sequencer_register_fluidsynth(sequencer_.get(), synth_.get());
        event_.reset(new_fluid_event());
        if (destination_ == FLUID_FAILED || !event_)
            return OutOfMemory;
        fluid_event_set_source(event_.get(), -1);
        fluid_event_set_dest(event_.get(), destination_);
        return NoError;
    }

    uint32_t OutputPort() const { return mapper_ ? MidiMapperPort : 0; }

    Result Play(Output output, uint32_t fromMs, Clock::time_point heardAt) {
        if (output == Output::AudioDriver && !driver_) {
            driver_.reset(new_fluid_audio_driver(settings_.get(), synth_.get()));
            if (!driver_)
                return Hardware;
        }
        fluid_sequencer_remove_events(sequencer_.get(), -1, -1, -1);
        // Measured once the driver runs, so that starting it is part of the lateness.
        const double lateMs =
            std::chrono::duration<double, std::milli>(Clock::now() - heardAt).count();
        const std::vector<ScheduledEvent> schedule = ScheduleFrom(song_, fromMs, lateMs);
        const unsigned int now = fluid_sequencer_get_tick(sequencer_.get());
        for (const ScheduledEvent& message : schedule) {
            SetMessage(event_.get(), message);
            const double after = std::max(message.atMs - lateMs, 0.0);
            fluid_sequencer_send_at(sequencer_.get(), event_.get(),
                                    now + static_cast<unsigned int>(std::llround(after)), 1);
        }
        return NoError;
    }

    void Stop() {
        fluid_sequencer_remove_events(sequencer_.get(), -1, -1, -1);
        fluid_synth_all_sounds_off(synth_.get(), -1);
    }

    void Render(float* left, float* right, int frames) {
        fluid_synth_write_float(synth_.get(), frames, left, 0, 1, right, 0, 1);
    }

  private:
    MidiSong song_;
    bool mapper_ = false;
    std::unique_ptr<fluid_settings_t, SettingsDelete> settings_;
    std::unique_ptr<fluid_synth_t, SynthDelete> synth_;
    std::unique_ptr<fluid_sequencer_t, SequencerDelete> sequencer_;
    std::unique_ptr<fluid_event_t, EventDelete> event_;
    fluid_seq_id_t destination_ = -1;
    std::unique_ptr<fluid_audio_driver_t, DriverDelete> driver_;
};

FluidSynthBackend::FluidSynthBackend(Output output, unsigned sampleRate)
    : output_(output), sampleRate_(sampleRate) {
    RouteFluidSynthLog();
    // alsa-lib prints every failed lookup (no card, say) to stderr as well.
    wave::QuietAlsaErrors();
}

FluidSynthBackend::~FluidSynthBackend() = default;

std::shared_ptr<FluidSynthBackend::Device> FluidSynthBackend::Find(uint32_t deviceId) {
    std::lock_guard<std::mutex> guard(lock_);
    const auto found = devices_.find(deviceId);
    return found == devices_.end() ? nullptr : found->second;
}

Result FluidSynthBackend::Open(const std::string& file, uint32_t& deviceId) {
    try {
        auto device = std::make_shared<Device>();
        if (const Result opened = device->Open(file, sampleRate_); opened != NoError)
            return opened;
        deviceId = NewDeviceId();
        std::lock_guard<std::mutex> guard(lock_);
        devices_.emplace(deviceId, std::move(device));
        return NoError;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
}

Result FluidSynthBackend::Status(uint32_t deviceId, StatusItem, uint32_t& value) {
    const std::shared_ptr<Device> device = Find(deviceId);
    if (!device)
        return InvalidDeviceId;
    value = device->OutputPort();
    return NoError;
}

Result FluidSynthBackend::SetTimeFormat(uint32_t deviceId, TimeFormat) {
    // Milliseconds are the only format there is, and the sequencer's own time scale.
    return Find(deviceId) ? NoError : InvalidDeviceId;
}

Result FluidSynthBackend::Play(uint32_t deviceId, uint32_t fromMs, Clock::time_point heardAt) {
    const std::shared_ptr<Device> device = Find(deviceId);
    if (!device)
        return InvalidDeviceId;
    try {
        return device->Play(output_, fromMs, heardAt);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
}

Result FluidSynthBackend::Stop(uint32_t deviceId) {
    const std::shared_ptr<Device> device = Find(deviceId);
    if (!device)
        return InvalidDeviceId;
    device->Stop();
    return NoError;
}

Result FluidSynthBackend::Close(uint32_t deviceId) {
    std::shared_ptr<Device> device;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto found = devices_.find(deviceId);
        if (found == devices_.end())
            return InvalidDeviceId;
        device = std::move(found->second);
        devices_.erase(found);
    }
    // The synth and its driver go here, outside the lock.
    device.reset();
    return NoError;
}

Result FluidSynthBackend::Render(uint32_t deviceId, float* left, float* right, int frames) {
    const std::shared_ptr<Device> device = Find(deviceId);
    if (!device || output_ != Output::Pulled)
        return InvalidDeviceId;
    device->Render(left, right, frames);
    return NoError;
}

}  // namespace sequencer
