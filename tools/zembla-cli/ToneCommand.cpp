#include "ToneCommand.h"

#include "FirstCard.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "core/OrvellError.h"
#include "core/PalkMixer.h"
#include "soundcard/SoundCard.h"
#include "storage/SuperWaveFile.h"
#include "tracks/Channel.h"

namespace {

// A sine at a quarter of full scale (-12 dBFS), the same on both sides, with 20 ms ramps so
// that it starts and ends without a click.
std::string SineStereo16(double seconds, double hertz, unsigned rate) {
    const auto frames = static_cast<size_t>(seconds * rate);
    const auto ramp = static_cast<size_t>(0.02 * rate);
    std::string bytes(frames * 4, '\0');
    for (size_t i = 0; i < frames; ++i) {
        double gain = 0.25;
        if (i < ramp)
            gain *= static_cast<double>(i) / static_cast<double>(ramp);
        else if (frames - i < ramp)
            gain *= static_cast<double>(frames - i) / static_cast<double>(ramp);
        const auto sample = static_cast<int16_t>(std::lround(
            32767.0 * gain * std::sin(2.0 * M_PI * hertz * static_cast<double>(i) / rate)));
        for (int side = 0; side < 2; ++side) {
            bytes[4 * i + 2 * side] = static_cast<char>(sample & 0xFF);
            bytes[4 * i + 2 * side + 1] = static_cast<char>((sample >> 8) & 0xFF);
        }
    }
    return bytes;
}

// A song folder of its own, current while the tone plays, removed afterwards.
class TemporarySong {
  public:
    TemporarySong() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zembla-tone-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            path_ = pattern;
        previous_ = std::filesystem::current_path();
        if (!path_.empty())
            std::filesystem::current_path(path_);
    }
    ~TemporarySong() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TemporarySong(const TemporarySong&) = delete;
    TemporarySong& operator=(const TemporarySong&) = delete;
    bool Made() const { return !path_.empty(); }

  private:
    std::string path_;
    std::filesystem::path previous_;
};

int Fail(const std::string& what) {
    std::fprintf(stderr, "zembla-cli tone: %s\n", what.c_str());
    return 1;
}

}  // namespace

int PlayTone(double seconds, double hertz) {
    TemporarySong song;
    if (!song.Made())
        return Fail("cannot make a temporary song folder");
    bool addedCard = false;
    try {
        if (!ReadSettingsWithACard(addedCard))
            return Fail("sound card 0 cannot be opened");
        const auto rate = static_cast<unsigned>(Mixer->GetSampleRate());
        Channel* track = Mixer->AddChannel();
        SuperWaveFile* file = track->GetChannelFile();
        file->Open("channel0_");
        track->SetFormat(true, true);
        const std::string tone = SineStereo16(seconds, hertz, rate);
        file->AppendBytes(tone.data(), tone.size());
        file->Save();

        std::printf("Playing %.0f Hz for %.1f s on %s at %u Hz\n", hertz, seconds,
                    Mixer->GetSoundcard(0)->DeviceName.c_str(), rate);
        Mixer->SetPos(0);
        Mixer->Play();
        const auto end_ms = static_cast<unsigned long>(seconds * 1000);
        while (Mixer->IsPlaying_b() && Mixer->GetPos_ms() < end_ms) {
            std::printf("\r  %5.1f s", static_cast<double>(Mixer->GetPos_ms()) / 1000.0);
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const bool ended = !Mixer->IsPlaying_b();
        Mixer->Stop();
        std::printf("\r  %5.1f s\n", static_cast<double>(Mixer->GetPos_ms()) / 1000.0);
        OrvellError error;
        if (ended && Mixer->GetLastError(error))
            return Fail("playback stopped: " + error.Message);
        // A card this command opened stays out of the user's settings.
        if (addedCard)
            Mixer->RemoveSoundcards();
        Mixer->Terminate();
    } catch (const OrvellError& error) {
        return Fail(error.Message);
    }
    return 0;
}
