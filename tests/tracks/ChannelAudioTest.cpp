#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "WavFiles.h"
#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "storage/SuperWaveFile.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"
#include "tracks/Channel.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class ChannelAudio : public EngineTest {
  protected:
    // A track of the engine attached to its files in the test's folder, formatted as the
    // engine formats a new track unless told otherwise.
    Channel* Track(bool stereo = true, bool sixteenBit = true, bool formatted = true) {
        Channel* channel = Mixer->AddChannel();
        channel->GetChannelFile()->Open("channel" + std::to_string(channel->GetIndex()) + "_");
        if (formatted)
            channel->SetFormat(stereo, sixteenBit);
        return channel;
    }
    std::string Wav(const std::string& name, const std::string& content) {
        WriteWholeFile(PathIn(name), content);
        return PathIn(name);
    }
    // Everything a refused import must leave as it was: format, pieces, stream, files.
    std::string State(Channel* channel) {
        SuperWaveFile* file = channel->GetChannelFile();
        std::string state(reinterpret_cast<const char*>(&file->Format), sizeof file->Format);
        for (int32_t value : file->GetSegments())
            state += std::to_string(value) + ",";
        const std::string base = file->GetName();
        for (const std::string& name : {base, SuperWaveFile::HeaderFileName(base)})
            state += "|" + (FileExists(name) ? ReadWholeFile(name) : std::string("none"));
        return state + "|" + TrackBytes(channel, 0, static_cast<size_t>(file->GetTotalBytes()));
    }
    static std::string Refusal(const std::function<void()>& import) {
        try {
            import();
        } catch (const DisplayedError& error) {
            return error.Message;
        }
        return "not refused";
    }
};

}  // namespace

TEST_F(ChannelAudio, AnImportAppendsBlocksOf49KibPaddedTo1024BytesFromThePositionRoundedUp) {
    const std::string data = Pattern(100000);
    const std::string wav = Wav("tone.wav", PcmWav(2, 16, data));
    Channel* atStart = Track();
    atStart->ImportWav(wav.c_str(), 0);
    SuperWaveFile* file = atStart->GetChannelFile();
    EXPECT_THAT(file->GetSegments(), ElementsAre(0, 98 * 1024, 98 * 1024));
    EXPECT_EQ(TrackBytes(atStart, 0, 100000), data);
    EXPECT_EQ(TrackBytes(atStart, 100000, 352), std::string(352, '\0'));
    // Saved: the track opens again as it is, still without a rate of its own.
    SuperWaveFile reopened;
    reopened.Open("channel0_");
    EXPECT_EQ(reopened.GetTotalBytes(), 98 * 1024);
    EXPECT_EQ(reopened.Format.BlockAlign, 4);
    EXPECT_EQ(reopened.Format.SamplesPerSec, 0u);

    // 1000 ms are 44000 frames, 176000 bytes, rounded up to 172 * 1024.
    Channel* later = Track();
    later->ImportWav(wav.c_str(), 1000);
    EXPECT_THAT(later->GetChannelFile()->GetSegments(),
                ElementsAre(172 * 1024, 270 * 1024, 98 * 1024));
    EXPECT_EQ(TrackBytes(later, 172 * 1024, 100000), data);

    // Without a position the play position counts.
    Mixer->SetPos_ms(2000);
    Channel* atPlayPosition = Track();
    atPlayPosition->ImportWav(wav.c_str());
    const int64_t frames = MsToFrames(static_cast<int64_t>(Mixer->GetPos_ms()));
    const int64_t start = (frames * 4 + 1023) / 1024 * 1024;
    EXPECT_EQ(atPlayPosition->GetChannelFile()->GetSegments().at(0), start);

    // An 8-bit import ends in silence of its format, not in full scale negative.
    Channel* eightBit = Track(false, false);
    eightBit->ImportWav(Wav("mono8.wav", PcmWav(1, 8, Pattern(1000))).c_str(), 0);
    EXPECT_EQ(TrackBytes(eightBit, 1000, 24), std::string(24, '\x7F'));
}

TEST_F(ChannelAudio, OnlyTheSamplesOfTheDataChunkAreImportedWhateverChunksSurroundThem) {
    const std::string data = Pattern(2048, 2);
    const std::string wav =
        Wav("chunks.wav", RiffWave(Chunk("LIST", "INFOISFT" + Le32(5) + std::string("sox\0\0", 5)) +
                                   Chunk("fmt ", FormatBody(1, 2, 44100, 16) + Le16(0)) +
                                   Chunk("fact", Le32(512)) + Chunk("odd ", "abc") +
                                   Chunk("data", data) + Chunk("LIST", "INFOtrailing")));
    Channel* channel = Track();
    channel->ImportWav(wav.c_str(), 0);
    EXPECT_EQ(channel->GetChannelFile()->GetTotalBytes(), 2048);
    EXPECT_EQ(TrackBytes(channel, 0, 2048), data);

    // A data chunk longer than the file imports what the file holds.
    std::string cut = PcmWav(2, 16, data);
    cut.resize(cut.size() - 48);
    Channel* shortened = Track();
    shortened->ImportWav(Wav("cut.wav", cut).c_str(), 0);
    EXPECT_EQ(shortened->GetChannelFile()->GetTotalBytes(), 2048);
    EXPECT_EQ(TrackBytes(shortened, 0, 2000), data.substr(0, 2000));
    EXPECT_EQ(TrackBytes(shortened, 2000, 48), std::string(48, '\0'));

    // An extensible PCM file is stored as plain PCM, with the file's rate where the track had
    // no format yet.
    Channel* fresh = Track(true, true, false);
    fresh->ImportWav(Wav("ext.wav", RiffWave(Chunk("fmt ", ExtensibleBody(1, 1, 48000, 16)) +
                                             Chunk("fact", Le32(1024)) + Chunk("data", data)))
                         .c_str(),
                     0);
    const WaveFormat& format = fresh->GetChannelFile()->Format;
    EXPECT_EQ(format.FormatTag, 1);
    EXPECT_EQ(format.Channels, 1);
    EXPECT_EQ(format.BlockAlign, 2);
    EXPECT_EQ(format.SamplesPerSec, 48000u);
    EXPECT_EQ(format.ExtraSize, 0);
    EXPECT_EQ(TrackBytes(fresh, 0, 2048), data);
}

TEST_F(ChannelAudio, ATrackHoldingAudioTakesFilesOfItsLayoutAtAnyRateAndRefusesOthers) {
    Channel* channel = Track();
    const std::string first = Pattern(4096, 3);
    channel->ImportWav(Wav("a.wav", PcmWav(2, 16, first, 44100)).c_str(), 0);
    const std::string second = Pattern(1024, 4);
    channel->ImportWav(Wav("b.wav", PcmWav(2, 16, second, 48000)).c_str(), 0);
    EXPECT_EQ(TrackBytes(channel, 0, 4096), second + first.substr(1024));
    EXPECT_EQ(channel->GetChannelFile()->Format.SamplesPerSec, 0u);

    const std::string before = State(channel);
    EXPECT_EQ(Refusal([&] { channel->ImportWav(Wav("m.wav", PcmWav(1, 16, first)).c_str(), 0); }),
              "Can't change format, file is not empty!");
    EXPECT_EQ(State(channel), before);

    // A track whose format carries a rate still takes the engine's format call with audio in it
    // (a song that is opened, a bounce).
    Channel* withRate = Track(true, true, false);
    withRate->ImportWav(Wav("c.wav", PcmWav(2, 8, first, 22050)).c_str(), 0);
    EXPECT_EQ(withRate->GetChannelFile()->Format.SamplesPerSec, 22050u);
    withRate->SetFormat(true, false);
    EXPECT_EQ(withRate->GetChannelFile()->Format.SamplesPerSec, 22050u);
}

TEST_F(ChannelAudio, FormatsATrackCannotHoldAreRefusedByNameAndLeaveTheTrackAsItWas) {
    Channel* channel = Track();
    channel->ImportWav(Wav("held.wav", PcmWav(2, 16, Pattern(3000))).c_str(), 1000);
    const std::string before = State(channel);
    const std::string data = Pattern(6000);
    struct Case {
        std::string name, content, says;
    };
    const std::vector<Case> cases = {
        {"24.wav", PcmWav(2, 24, data), "24 bits per sample"},
        {"float.wav",
         RiffWave(Chunk("fmt ", FormatBody(3, 2, 44100, 32) + Le16(0)) + Chunk("fact", Le32(750)) +
                  Chunk("data", data)),
         "IEEE float"},
        {"six.wav", RiffWave(Chunk("fmt ", ExtensibleBody(1, 6, 44100, 16)) + Chunk("data", data)),
         "6 channels"},
        {"extfloat.wav",
         RiffWave(Chunk("fmt ", ExtensibleBody(3, 2, 44100, 32)) + Chunk("data", data)),
         "IEEE float"},
        {"alaw.wav", PcmWav(2, 8, data).replace(20, 2, Le16(6)), "A-law"},
        {"misaligned.wav", PcmWav(2, 16, data).replace(32, 2, Le16(3)), "block align 3"},
    };
    for (const Case& c : cases) {
        const std::string path = Wav(c.name, c.content);
        const std::string refusal = Refusal([&] { channel->ImportWav(path.c_str(), 0); });
        EXPECT_THAT(refusal, HasSubstr("Can't import " + path + ": ")) << c.name;
        EXPECT_THAT(refusal, HasSubstr(c.says)) << c.name;
        EXPECT_EQ(State(channel), before) << c.name;
    }
}

TEST_F(ChannelAudio, FilesThatAreNoWaveFilesCannotBeOpened) {
    Channel* channel = Track();
    const std::string before = State(channel);
    const std::string riff = PcmWav(2, 16, Pattern(1024));
    const std::vector<std::string> contents = {
        "",
        "RIFF",
        riff.substr(0, 30),                                           // the format chunk cut short
        "RIFX" + riff.substr(4),                                      // not RIFF
        riff.substr(0, 8) + "AVI " + riff.substr(12),                 // not WAVE
        RiffWave(Chunk("data", Pattern(64))),                         // no format
        RiffWave(Chunk("fmt ", FormatBody(1, 2, 44100, 16))),         // no data
        RiffWave(Chunk("fmt ", std::string("\x01\x00\x02\x00", 4))),  // too small a format
        std::string(500, '\xFF'),
    };
    for (size_t i = 0; i < contents.size(); ++i) {
        const std::string path = Wav("bad" + std::to_string(i) + ".wav", contents[i]);
        EXPECT_EQ(Refusal([&] { channel->ImportWav(path.c_str(), 0); }), "Can't open file: " + path)
            << i;
    }
    for (const std::string& path : {PathIn("missing.wav"), Dir()}) {
        EXPECT_EQ(Refusal([&] { channel->ImportWav(path.c_str(), 0); }),
                  "Can't open file: " + path);
    }
    EXPECT_EQ(State(channel), before);
}

TEST_F(ChannelAudio, AnExportedTrackImportsAgainByteForByte) {
    for (const auto& [stereo, sixteen] : {std::pair{true, true}, {false, false}}) {
        Channel* source = Track(stereo, sixteen);
        SuperWaveFile* file = source->GetChannelFile();
        // Two takes with a gap between them, ending on a 1024-byte boundary.
        const std::string take = Pattern(5 * 1024, stereo);
        file->SeekFrames(0);
        file->AppendBytes(take.data(), take.size());
        file->SeekFrames(12 * 1024 / file->Format.BlockAlign);
        file->AppendBytes(take.data(), take.size());
        file->Save();
        const std::string exported = PathIn("export" + std::to_string(stereo) + ".wav");
        source->ExportToWave(exported.c_str());

        Channel* copy = Track(true, true, false);
        copy->ImportWav(exported.c_str(), 0);
        EXPECT_EQ(copy->GetChannelFile()->GetTotalBytes(), 17 * 1024);
        EXPECT_EQ(TrackBytes(copy, 0, 17 * 1024), TrackBytes(source, 0, 17 * 1024));
        const std::string again = PathIn("again.wav");
        copy->ExportToWave(again.c_str());
        EXPECT_EQ(ReadWholeFile(again), ReadWholeFile(exported));
    }
}

TEST_F(ChannelAudio, PieceTimesFollowTheClearsInMillisecondsAfterWhatTheListHeld) {
    Channel* channel = Track();
    SuperWaveFile* file = channel->GetChannelFile();
    // Pieces of exactly [0, 1 s) and [2 s, 3 s): written where they belong, not at a seek's
    // rounded position.
    const std::string second = std::string(44100 * 4, '\x11');
    for (int64_t startFrame : {0, 2 * 44100})
        file->WriteAt(startFrame * 4, reinterpret_cast<const uint8_t*>(second.data()),
                      second.size());
    file->Save();
    std::vector<uint32_t> times = {7};
    channel->GetFileTimes_ms(times);
    EXPECT_THAT(times, ElementsAre(7, 0, 1000, 2000, 3000));

    // 500 ms are 22000 frames; the track keeps its place.
    channel->BuildPeakData(10);
    unsigned char* peaks = nullptr;
    int count = 0;
    channel->GetPeakData(&peaks, &count);
    EXPECT_TRUE(peaks && count > 0);
    channel->ClearData(0, 500);
    channel->GetPeakData(&peaks, &count);
    EXPECT_EQ(peaks, nullptr);
    EXPECT_EQ(count, 0);
    times.clear();
    channel->GetFileTimes_ms(times);
    EXPECT_THAT(times, ElementsAre(22000 * 1000 / 44100, 1000, 2000, 3000));
    EXPECT_EQ(channel->GetTotalLength(), 3 * 44100);

    // Clearing everything deletes the audio files; the format stays. Again: nothing to do.
    channel->ClearData();
    channel->ClearData();
    times.clear();
    channel->GetFileTimes_ms(times);
    EXPECT_TRUE(times.empty());
    EXPECT_FALSE(FileExists(PathIn("channel0_")));
    EXPECT_TRUE(FileExists(PathIn("channel0__waveheader")));

    // A track without a format has no pieces to tell.
    Channel* unformatted = Track(true, true, false);
    unformatted->ClearData(0, 1000);
    unformatted->GetFileTimes_ms(times);
    EXPECT_TRUE(times.empty());
}
