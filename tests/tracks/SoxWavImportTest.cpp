// WAV files written by another program: sox, from Debian's package of that name, which the
// test command installs. Without it these tests fail instead of passing over the files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <tuple>

#include "WavFiles.h"
#include "core/PalkMixer.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"
#include "tracks/Channel.h"

using ::testing::HasSubstr;

namespace {

bool SoxOnPath() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && ::access((folder + "/sox").c_str(), X_OK) == 0)
            return true;
    return false;
}

class SoxWavImport : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_TRUE(SoxOnPath()) << "sox is not on PATH: install the Debian package sox";
    }
    // Runs sox in the test's folder (the current folder) with args.
    static void Sox(const std::string& args) {
        ASSERT_EQ(std::system(("sox -q " + args).c_str()), 0) << "sox " << args;
    }
    Channel* Track(bool stereo, bool sixteenBit) {
        Channel* channel = Mixer->AddChannel();
        channel->GetChannelFile()->Open("channel" + std::to_string(channel->GetIndex()) + "_");
        channel->SetFormat(stereo, sixteenBit);
        return channel;
    }
};

}  // namespace

TEST_F(SoxWavImport, ToneFilesImportAsExactlyTheirSamples) {
    // Two different sides, so that swapped channels would show; 8-bit mono unsigned too.
    Sox("-r 44100 -n -c 2 -b 16 stereo16.wav synth 1.3 sine 440 sine 1000 gain -6");
    Sox("-r 44100 -n -c 1 -b 8 mono8.wav synth 0.7 sine 300 gain -6");
    for (const auto& [name, stereo, sixteen] :
         {std::tuple{"stereo16", true, true}, {"mono8", false, false}}) {
        const std::string base = name;
        Sox(base + ".wav -t raw " + base + ".raw");
        const std::string raw = ReadWholeFile(PathIn(base + ".raw"));
        ASSERT_GT(raw.size(), 10000u);
        Channel* channel = Track(stereo, sixteen);
        channel->ImportWav(PathIn(base + ".wav").c_str(), 0);
        const size_t padded = (raw.size() + 1023) / 1024 * 1024;
        EXPECT_EQ(channel->GetChannelFile()->GetTotalBytes(), static_cast<int32_t>(padded));
        EXPECT_TRUE(TrackBytes(channel, 0, raw.size()) == raw) << name;
        EXPECT_EQ(TrackBytes(channel, static_cast<int64_t>(raw.size()), padded - raw.size()),
                  std::string(padded - raw.size(), sixteen ? '\0' : '\x7F'));
    }
}

TEST_F(SoxWavImport, ExtensibleAndFloatFilesAreRefusedByTheirFormatLeavingTheTrackAsItWas) {
    Sox("-r 44100 -n -c 2 -b 16 tone.wav synth 0.5 sine 440 gain -6");
    Channel* channel = Track(true, true);
    channel->ImportWav(PathIn("tone.wav").c_str(), 0);
    const std::string before = TrackBytes(channel, 0, 200 * 1024);
    const std::string metafile = ReadWholeFile(PathIn("channel0_"));

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
        std::string refusal = "not refused";
        try {
            channel->ImportWav(path.c_str(), 0);
        } catch (const DisplayedError& error) {
            refusal = error.Message;
        }
        EXPECT_THAT(refusal, HasSubstr("Can't import " + path + ": ")) << name;
        EXPECT_THAT(refusal, HasSubstr(says)) << name;
        EXPECT_TRUE(TrackBytes(channel, 0, 200 * 1024) == before) << name;
        EXPECT_EQ(ReadWholeFile(PathIn("channel0_")), metafile) << name;
        EXPECT_EQ(channel->GetChannelFile()->Format.BitsPerSample, 16);
    }
}
