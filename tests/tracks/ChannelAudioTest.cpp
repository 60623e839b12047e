#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "WavFiles.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

class ChannelAudio : public EngineTest {
  protected:
    std::string Wav(const std::string& name, const std::string& content) {
        WriteWholeFile(PathIn(name), content);
        return PathIn(name);
    }
    // Runs sox (Debian's package of that name) in the test's folder, the current folder.
    static void Sox(const std::string& args) {
        ASSERT_EQ(std::system(("sox -q " + args).c_str()), 0)
            << "sox " << args << " failed (is the Debian package sox installed?)";
    }
    // Everything a refused import must leave as it was: format, pieces, files, stream.
    static std::string State(Channel* channel) {
        SuperWaveFile* file = channel->GetChannelFile();
        std::string state(reinterpret_cast<const char*>(&file->Format), sizeof file->Format);
        for (const std::string& name : {file->GetName(), file->GetName() + "_waveheader"})
            state += "|" + (FileExists(name) ? ReadWholeFile(name) : std::string("none"));
        return state + "|" + TrackBytes(channel, 0, static_cast<size_t>(file->GetTotalBytes()));
    }
};

}  // namespace

TEST_F(ChannelAudio, AnImportAppendsBlocksOf49KibPaddedTo1024BytesFromThePositionRoundedUp) {
    const std::string data = Pattern(100000);
    const std::string wav = Wav("tone.wav", PcmWav(2, 16, data));
    Channel* atStart = NewTrack();
    atStart->ImportWav(wav.c_str(), 0);
    EXPECT_THAT(atStart->GetChannelFile()->GetSegments(), ElementsAre(0, 98 * 1024, 98 * 1024));
    EXPECT_EQ(TrackBytes(atStart, 0, 98 * 1024), data + std::string(352, '\0'));
    SuperWaveFile saved;  // and still without a rate of its own
    saved.Open("channel0_");
    EXPECT_EQ(saved.GetTotalBytes(), 98 * 1024);
    EXPECT_EQ(saved.Format.SamplesPerSec, 0u);

    // 1000 ms are 44000 frames, 176000 bytes, rounded up to 172 * 1024.
    Channel* later = NewTrack();
    later->ImportWav(wav.c_str(), 1000);
    EXPECT_EQ(later->GetChannelFile()->GetSegments().at(0), 172 * 1024);
    EXPECT_EQ(TrackBytes(later, 172 * 1024, 100000), data);

    // An 8-bit import ends in silence of its format, not in full scale negative.
    Channel* eightBit = NewTrack(false, false);
    eightBit->ImportWav(Wav("mono8.wav", PcmWav(1, 8, Pattern(1000))).c_str(), 0);
    EXPECT_EQ(TrackBytes(eightBit, 1000, 24), std::string(24, '\x7F'));
}

TEST_F(ChannelAudio, OnlyTheSamplesOfTheDataChunkAreImportedWhateverChunksSurroundThem) {
    const std::string data = Pattern(2048, 2);
    Channel* channel = NewTrack();
    channel->ImportWav(
        Wav("chunks.wav", RiffWave(Chunk("LIST", "INFOISFT" + Le32(4) + "sox") +
                                   Chunk("fmt ", FormatBody(1, 2, 44100, 16) + Le16(0)) +
                                   Chunk("fact", Le32(512)) + Chunk("odd ", "abc") +
                                   Chunk("data", data) + Chunk("LIST", "INFOtrailing")))
            .c_str(),
        0);
    EXPECT_EQ(channel->GetChannelFile()->GetTotalBytes(), 2048);
    EXPECT_EQ(TrackBytes(channel, 0, 2048), data);

    // A data chunk longer than the file imports what the file holds.
    std::string cut = PcmWav(2, 16, data);
    cut.resize(cut.size() - 48);
    Channel* shortened = NewTrack();
    shortened->ImportWav(Wav("cut.wav", cut).c_str(), 0);
    EXPECT_EQ(TrackBytes(shortened, 0, 2048), data.substr(0, 2000) + std::string(48, '\0'));
}

TEST_F(ChannelAudio, ATrackHoldingAudioTakesFilesOfItsLayoutAtAnyRateAndRefusesOthers) {
    Channel* channel = NewTrack();
    const std::string first = Pattern(4096, 3), second = Pattern(1024, 4);
    channel->ImportWav(Wav("a.wav", PcmWav(2, 16, first, 44100)).c_str(), 0);
    channel->ImportWav(Wav("b.wav", PcmWav(2, 16, second, 48000)).c_str(), 0);
    EXPECT_EQ(TrackBytes(channel, 0, 4096), second + first.substr(1024));
    EXPECT_EQ(channel->GetChannelFile()->Format.SamplesPerSec, 0u);
    const std::string before = State(channel);
    EXPECT_EQ(ImportRefusal(channel, Wav("m.wav", PcmWav(1, 16, first))),
              "Can't change format, file is not empty!");
    EXPECT_EQ(State(channel), before);

    // A track without a format takes the file's, rate included, as plain PCM (here from an
    // extensible file), and then still takes the engine's format call with audio in it (when a
    // song is opened, for a bounce).
    Channel* withRate = NewTrack(true, true, false);
    withRate->ImportWav(Wav("c.wav", RiffWave(Chunk("fmt ", ExtensibleBody(1, 2, 22050, 8)) +
                                              Chunk("fact", Le32(512)) + Chunk("data", first)))
                            .c_str(),
                        0);
    withRate->SetFormat(true, false);
    const WaveFormat& format = withRate->GetChannelFile()->Format;
    EXPECT_EQ(std::vector<uint32_t>(
                  {format.FormatTag, format.BlockAlign, format.SamplesPerSec, format.ExtraSize}),
              std::vector<uint32_t>({1, 2, 22050, 0}));
    EXPECT_EQ(TrackBytes(withRate, 0, 4096), first);
}

TEST_F(ChannelAudio, RefusedFilesSayWhyAndLeaveTheTrackAsItWas) {
    Channel* channel = NewTrack();
    channel->ImportWav(Wav("held.wav", PcmWav(2, 16, Pattern(3000))).c_str(), 1000);
    const std::string before = State(channel);
    int n = 0;
    // says: how the format is named, or nothing for a file that cannot be opened as a WAV.
    auto refuse = [&](const std::string& content, const std::string& says) {
        const std::string path = Wav("refused" + std::to_string(++n) + ".wav", content);
        EXPECT_THAT(ImportRefusal(channel, path),
                    StartsWith(says.empty() ? "Can't open file: " + path
                                            : "Can't import " + path + ": " + says))
            << n;
        EXPECT_EQ(State(channel), before) << n;
    };
    const std::string data = Pattern(6000);
    refuse(PcmWav(2, 24, data), "24 bits per sample");
    refuse(RiffWave(Chunk("fmt ", FormatBody(3, 2, 44100, 32) + Le16(0)) +
                    Chunk("fact", Le32(750)) + Chunk("data", data)),
           "IEEE float");
    refuse(RiffWave(Chunk("fmt ", ExtensibleBody(1, 6, 44100, 16)) + Chunk("data", data)),
           "6 channels");
    refuse(PcmWav(2, 16, data).replace(32, 2, Le16(3)), "block align 3");

    const std::string riff = PcmWav(2, 16, Pattern(1024));
    for (const std::string& notWav :
         {std::string("RIFF"), riff.substr(0, 30), "RIFX" + riff.substr(4),
          RiffWave(Chunk("fmt ", FormatBody(1, 2, 44100, 16))),  // no data
          RiffWave(Chunk("fmt ", FormatBody(1, 2, 44100, 16).substr(0, 4)) + Chunk("data", data))})
        refuse(notWav, "");
    for (const std::string& path : {PathIn("missing.wav"), Dir()})
        EXPECT_EQ(ImportRefusal(channel, path), "Can't open file: " + path);
}

TEST_F(ChannelAudio, PieceTimesFollowTheClearsInMillisecondsAfterWhatTheListHeld) {
    // Pieces of exactly [0, 1 s) and [2 s, 3 s), written where they belong rather than at a
    // seek's rounded position.
    Channel* channel = NewTrack();
    SuperWaveFile* file = channel->GetChannelFile();
    const std::string second(44100 * 4, '\x11');
    for (int64_t startFrame : {0, 2 * 44100})
        file->WriteAt(startFrame * 4, reinterpret_cast<const uint8_t*>(second.data()),
                      second.size());
    file->Save();
    std::vector<uint32_t> times = {7};
    channel->GetFileTimes_ms(times);
    EXPECT_THAT(times, ElementsAre(7, 0, 1000, 2000, 3000));

    // 500 ms are 22000 frames; the track does not shift, and its levels are gone.
    channel->BuildPeakData(10);
    unsigned char* peaks = nullptr;
    int count = 0;
    channel->GetPeakData(&peaks, &count);
    EXPECT_TRUE(peaks && count > 0);
    channel->ClearData(0, 500);
    channel->GetPeakData(&peaks, &count);
    EXPECT_TRUE(!peaks && count == 0);
    times.clear();
    channel->GetFileTimes_ms(times);
    EXPECT_THAT(times, ElementsAre(22000 * 1000 / 44100, 1000, 2000, 3000));

    // Clearing everything deletes the audio files and keeps the format; twice is no fault.
    channel->ClearData();
    channel->ClearData();
    EXPECT_FALSE(FileExists(PathIn("channel0_")));
    EXPECT_TRUE(FileExists(PathIn("channel0__waveheader")));
    // Neither that track nor one without a format has pieces to tell.
    times.clear();
    channel->GetFileTimes_ms(times);
    NewTrack(true, true, false)->GetFileTimes_ms(times);
    EXPECT_TRUE(times.empty());
}

// Files another program wrote, that the engine cannot hold. Without sox the test fails instead
// of passing over the files. (sox's PCM files import byte for byte in RenderAndInfoTest.cpp and
// track-commands-test.sh.)
TEST_F(ChannelAudio, ExtensibleAndFloatFilesWrittenBySoxAreRefusedByTheirFormat) {
    Sox("-r 44100 -n -c 2 -b 16 tone.wav synth 0.5 sine 440 gain -6");
    Channel* channel = NewTrack();
    channel->ImportWav(PathIn("tone.wav").c_str(), 0);
    const std::string before = State(channel);

    Sox("tone.wav -b 24 t24.wav");
    Sox("tone.wav -b 32 t32.wav");
    Sox("tone.wav -e floating-point -b 32 float.wav");
    Sox("-r 44100 -n -c 6 -b 16 six.wav synth 0.5 sine 440 gain -6");
    for (const auto& [name, extensible, says] : {std::tuple{"t24.wav", true, "24 bits per sample"},
                                                 {"t32.wav", true, "32 bits per sample"},
                                                 {"float.wav", false, "IEEE float"},
                                                 {"six.wav", true, "6 channels"}}) {
        const std::string path = PathIn(name);
        // What sox writes: WAVE_FORMAT_EXTENSIBLE (or the float tag) and a "fact" chunk.
        const std::string head = ReadWholeFile(path).substr(0, 80);
        EXPECT_EQ(head.substr(20, 2), extensible ? "\xFE\xFF" : std::string("\x03\x00", 2));
        EXPECT_THAT(head, HasSubstr("fact")) << name;
        EXPECT_THAT(ImportRefusal(channel, path), StartsWith("Can't import " + path + ": " + says))
            << name;
        EXPECT_TRUE(State(channel) == before) << name;
    }
}
