// The program's sequencer: the FluidSynth soft synth playing a MIDI file, heard through its
// own rendering call (and, once, through its ALSA driver into the clocked test card).
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/sequencer/FluidSynthBackend.h"
#include "support/MidiFiles.h"
#include "support/TempDir.h"

using namespace midi_bytes;
using namespace std::chrono_literals;
using sequencer::FluidSynthBackend;

namespace {

// Installed by ./zembla.sh test (Debian's timgm6mb-soundfont): a small General MIDI font.
constexpr const char* TestSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr int Rate = 44100;
constexpr size_t BlockFrames = Rate / 100;  // 10 ms
// Below this the synth is silent (its reverb keeps denormals away with tiny offsets); a note
// at velocity 100 peaks far above the other.
constexpr float Silence = 1e-4f;
constexpr float Sound = 1e-2f;

class FluidSynthSequencer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(TestSoundFont))
            << TestSoundFont << " is missing: install timgm6mb-soundfont (./zembla.sh test does)";
        setenv("ZEMBLA_SOUNDFONT", TestSoundFont, 1);
    }
    void TearDown() override {
        unsetenv("ZEMBLA_SOUNDFONT");
        unsetenv("ZEMBLA_MIDI_DEVICE");
    }

    std::string File(const std::string& name, const std::string& bytes) {
        const std::string path = dir_.Path() + "/" + name;
        WriteWholeFile(path, bytes);
        return path;
    }

    // Opens the file on a pulled device and plays it from fromMs.
    uint32_t OpenAndPlay(const std::string& path, uint32_t fromMs) {
        uint32_t id = 0;
        EXPECT_EQ(pulled_.Open(path, id), sequencer::NoError);
        EXPECT_EQ(pulled_.SetTimeFormat(id, sequencer::TimeFormat::Milliseconds),
                  sequencer::NoError);
        EXPECT_EQ(pulled_.Play(id, fromMs, sequencer::Clock::now()), sequencer::NoError);
        return id;
    }

    // The loudest sample of each 10 ms block the device renders next, for ms milliseconds.
    std::vector<float> Peaks(uint32_t id, int ms) {
        std::vector<float> peaks, left(BlockFrames), right(BlockFrames);
        for (int block = 0; block < ms / 10; ++block) {
            EXPECT_EQ(pulled_.Render(id, left.data(), right.data(), BlockFrames),
                      sequencer::NoError);
            float peak = 0;
            for (size_t i = 0; i < BlockFrames; ++i)
                peak = std::max({peak, std::abs(left[i]), std::abs(right[i])});
            peaks.push_back(peak);
        }
        return peaks;
    }
    // The first block from which the synth sounds (-1: none), and the loudest in [from, to).
    static int FirstSounding(const std::vector<float>& peaks) {
        const auto it = std::ranges::find_if(peaks, [](float peak) { return peak > Sound; });
        return it == peaks.end() ? -1 : static_cast<int>(it - peaks.begin());
    }
    static float Loudest(const std::vector<float>& peaks, size_t from, size_t to) {
        return *std::max_element(peaks.begin() + static_cast<std::ptrdiff_t>(from),
                                 peaks.begin() + static_cast<std::ptrdiff_t>(to));
    }

    TempDir dir_{"fluidsynth"};
    FluidSynthBackend pulled_{FluidSynthBackend::Output::Pulled, Rate};
};

}  // namespace

TEST_F(FluidSynthSequencer, TheSynthIsSilentBeforeTheNotesTimeAndSoundsFromIt) {
    const uint32_t id = OpenAndPlay(File("note.mid", OneNoteFile(500, 900)), 0);
    uint32_t port = 0;
    ASSERT_EQ(pulled_.Status(id, sequencer::StatusItem::OutputPort, port), sequencer::NoError);
    EXPECT_EQ(port, sequencer::MidiMapperPort) << "a General MIDI sound font was loaded";

    const std::vector<float> peaks = Peaks(id, 1500);
    EXPECT_LT(Loudest(peaks, 0, 50), Silence) << "before 500 ms";
    EXPECT_EQ(FirstSounding(peaks), 50) << "the 10 ms block from 500 ms on";
    EXPECT_GT(Loudest(peaks, 50, 90), 2 * Sound) << "a note, not a click";
    EXPECT_EQ(pulled_.Close(id), sequencer::NoError);
}

TEST_F(FluidSynthSequencer, StopSilencesTheSynthAndDropsWhatWasStillToComeAndCloseEndsTheDevice) {
    const std::string later =
        Header(0, 1, 500) +
        Track(Tempo(0, 500000) + Message(0, {0xC0, 0}) + Message(100, {0x90, 60, 100}) +
              Message(2400, {0x90, 64, 100}) + Message(400, {0x80, 64, 0}) + EndOfTrack());
    const uint32_t id = OpenAndPlay(File("later.mid", later), 0);
    EXPECT_GT(Loudest(Peaks(id, 400), 10, 40), Sound);
    ASSERT_EQ(pulled_.Stop(id), sequencer::NoError);
    const std::vector<float> after = Peaks(id, 3000);
    EXPECT_LT(Loudest(after, 150, 300), Silence) << "the note at 2500 ms never comes";

    // Played again from a position, the later notes come forward and the earlier one (still
    // held) is left out.
    ASSERT_EQ(pulled_.Play(id, 2000, sequencer::Clock::now()), sequencer::NoError);
    const std::vector<float> replayed = Peaks(id, 1000);
    EXPECT_LT(Loudest(replayed, 0, 50), Silence) << "the note at 100 ms is left out";
    EXPECT_EQ(FirstSounding(replayed), 50) << "the note at 2500 ms sounds 500 ms in";

    ASSERT_EQ(pulled_.Close(id), sequencer::NoError);
    uint32_t port = 0;
    float sample[BlockFrames];
    EXPECT_EQ(pulled_.Status(id, sequencer::StatusItem::OutputPort, port),
              sequencer::InvalidDeviceId);
    EXPECT_EQ(pulled_.Play(id, 0, sequencer::Clock::now()), sequencer::InvalidDeviceId);
    EXPECT_EQ(pulled_.Render(id, sample, sample, BlockFrames), sequencer::InvalidDeviceId);
    EXPECT_EQ(pulled_.Stop(id), sequencer::InvalidDeviceId);
    EXPECT_EQ(pulled_.Close(id), sequencer::InvalidDeviceId);
}

TEST_F(FluidSynthSequencer, WithoutASoundFontThePortIsNotTheMapperAndNothingSounds) {
    const std::string notFont = File("notes.txt", "not a sound font");
    for (const std::string& font : {dir_.Path() + "/missing.sf2", notFont}) {
        setenv("ZEMBLA_SOUNDFONT", font.c_str(), 1);
        const uint32_t id = OpenAndPlay(File("note.mid", OneNoteFile(100, 300)), 0);
        uint32_t port = sequencer::MidiMapperPort;
        ASSERT_EQ(pulled_.Status(id, sequencer::StatusItem::OutputPort, port), sequencer::NoError);
        EXPECT_NE(port & 0xFFFF, sequencer::MidiMapperPort) << font;
        EXPECT_LT(Loudest(Peaks(id, 500), 0, 50), Silence) << font;
        EXPECT_EQ(pulled_.Close(id), sequencer::NoError);
    }
    EXPECT_EQ(sequencer::FindGeneralMidiSoundFont(), notFont) << "the variable decides";
    unsetenv("ZEMBLA_SOUNDFONT");
    EXPECT_FALSE(sequencer::FindGeneralMidiSoundFont().empty())
        << "a General MIDI sound font is installed where distributions put one";
}

TEST_F(FluidSynthSequencer, UnplayableFilesAreRefusedAtOpenAndWithoutASoundDevicePlayFails) {
    uint32_t id = 0;
    EXPECT_EQ(pulled_.Open(dir_.Path() + "/missing.mid", id), sequencer::FileNotFound);
    EXPECT_EQ(pulled_.Open(File("bad.mid", "MThd garbage"), id), sequencer::InvalidFile);
    EXPECT_NE(sequencer::TakeErrorDetail(), "");
    EXPECT_EQ(id, 0u);

    setenv("ZEMBLA_MIDI_DEVICE", "zembla_no_such_pcm", 1);
    FluidSynthBackend live;
    ASSERT_EQ(live.Open(File("note.mid", OneNoteFile(100, 300)), id), sequencer::NoError);
    sequencer::TakeErrorDetail();
    EXPECT_EQ(live.Play(id, 0, sequencer::Clock::now()), sequencer::Hardware);
    EXPECT_NE(sequencer::TakeErrorDetail(), "") << "FluidSynth's own reason";
    EXPECT_EQ(live.Stop(id), sequencer::NoError);
    EXPECT_EQ(live.Close(id), sequencer::NoError);
}

#ifdef CLOCKED_PCM_PLUGIN
TEST_F(FluidSynthSequencer, ItsAudioDriverPlaysTheNotesInRealTimeOnAnAlsaDevice) {
    // The clocked test card in a HOME of the test's own, writing what it plays into a file.
    const std::string played = dir_.Path() + "/played.raw";
    File(".asoundrc", "pcm_type.zembla_clocked { lib \"" CLOCKED_PCM_PLUGIN
                      "\" }\n"
                      "pcm.zembla_midi { type zembla_clocked out \"" +
                          played + "\" }\n");
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    setenv("HOME", dir_.Path().c_str(), 1);
    snd_config_update_free_global();
    setenv("ZEMBLA_MIDI_DEVICE", "zembla_midi", 1);
    {
        FluidSynthBackend live;
        uint32_t id = 0;
        ASSERT_EQ(live.Open(File("note.mid", OneNoteFile(200, 600)), id), sequencer::NoError);
        const auto start = sequencer::Clock::now();
        ASSERT_EQ(live.Play(id, 0, start), sequencer::NoError) << sequencer::TakeErrorDetail();
        // The driver starts inside Play: the stream's first frame is that much after start.
        const double startingMs =
            std::chrono::duration<double, std::milli>(sequencer::Clock::now() - start).count();
        std::this_thread::sleep_for(900ms);
        EXPECT_EQ(live.Stop(id), sequencer::NoError);
        EXPECT_EQ(live.Close(id), sequencer::NoError);
        const double seconds =
            std::chrono::duration<double>(sequencer::Clock::now() - start).count();
        // 16-bit stereo frames, as many as the time the card ran.
        const std::string bytes = ReadWholeFile(played);
        const double playedSeconds = static_cast<double>(bytes.size()) / 4 / Rate;
        EXPECT_GT(playedSeconds, 0.7);
        EXPECT_LT(playedSeconds, seconds + 0.2) << "in real time, not as fast as it could";
        size_t first = 0;
        const auto* samples = reinterpret_cast<const int16_t*>(bytes.data());
        while (first < bytes.size() / 2 && std::abs(samples[first]) < 300)
            ++first;
        const double firstMs = static_cast<double>(first / 2) * 1000.0 / Rate;
        // 200 ms after start: in the stream, less the time the driver took to start, plus the
        // buffer it renders ahead.
        EXPECT_GE(firstMs, 200.0 - startingMs - 1);
        EXPECT_LT(firstMs, 300.0);
    }
    setenv("HOME", savedHome.c_str(), 1);
    snd_config_update_free_global();
}
#endif
