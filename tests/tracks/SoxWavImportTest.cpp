// WAV files written by another program, sox (Debian's package of that name), that the engine
// cannot hold. Without sox the test fails instead of passing over the files. (sox's PCM files
// import byte for byte in RenderAndInfoTest.cpp and track-commands-test.sh.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "WavFiles.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

class SoxWavImport : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_EQ(std::system("command -v sox >/dev/null"), 0)
            << "sox is not on PATH: install the Debian package sox";
    }
    // Runs sox in the test's folder (the current folder) with args.
    static void Sox(const std::string& args) {
        ASSERT_EQ(std::system(("sox -q " + args).c_str()), 0) << "sox " << args;
    }
};

}  // namespace

TEST_F(SoxWavImport, ExtensibleAndFloatFilesAreRefusedByTheirFormatLeavingTheTrackAsItWas) {
    Sox("-r 44100 -n -c 2 -b 16 tone.wav synth 0.5 sine 440 gain -6");
    Channel* channel = NewTrack();
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
        EXPECT_THAT(ImportRefusal(channel, path), StartsWith("Can't import " + path + ": " + says))
            << name;
        EXPECT_TRUE(TrackBytes(channel, 0, 200 * 1024) == before) << name;
        EXPECT_EQ(ReadWholeFile(PathIn("channel0_")), metafile) << name;
        EXPECT_EQ(channel->GetChannelFile()->Format.BitsPerSample, 16);
    }
}
