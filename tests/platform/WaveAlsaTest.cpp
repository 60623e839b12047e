// The ALSA backend without sound hardware: PCMs of ALSA's own `file` plug-in (over "null"),
// declared in an .asoundrc in a temporary HOME, stand in for sound cards. What a test plays
// lands in a file; what it captures comes from a file. And how the backend is chosen.

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "WaveTestSupport.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"

namespace {

class AlsaFilePlugin : public WaveDeviceTest {
  protected:
    void SetUp() override {
        setenv("HOME", home.Path().c_str(), 1);
        WriteWholeFile(inFile, "");
        const std::string files = "file \"" + outFile + "\" infile \"" + inFile + "\"\n";
        WriteWholeFile(home / ".asoundrc",
                       "pcm.zembla_file { type file slave.pcm \"null\" format \"raw\" " + files +
                           "  hint { show on description \"Zembla file card\nsecond line\" } }\n"
                           "pcm.zembla_playback_only { type asym playback.pcm \"zembla_file\"\n"
                           "  hint { show on description \"Zembla playback only\" } }\n"
                           "pcm.zembla_missing { type hw card 57\n"
                           "  hint { show on description \"Zembla missing card\" } }\n");
        wave::UseAlsa();
        ASSERT_STREQ(wave::BackendName(), "ALSA");
        for (uint32_t id = 0; id < wave::WaveOutGetNumDevs(); ++id) {
            wave::DeviceCaps caps;
            ASSERT_EQ(wave::WaveOutGetDevCaps(id, caps), wave::NoError);
            names.push_back(caps.ProductName);
        }
        card = CardNamed("Zembla file card");
        ASSERT_LT(card, names.size()) << "the file PCM is enumerated";
    }
    void TearDown() override {
        WaveDeviceTest::TearDown();
        for (const char* name : {"ZEMBLA_AUDIO", "ZEMBLA_VIRTUAL_CARDS", "ALSA_CONFIG_PATH"})
            unsetenv(name);
        RestoreProcessSandbox();
        wave::UseAlsa();  // forget this test's configuration
        wave::UseVirtualCards(2);
    }
    uint32_t CardNamed(const std::string& name) const {
        return static_cast<uint32_t>(std::ranges::find(names, name) - names.begin());
    }

    TempDir home{"zembla-alsa"};
    const std::string outFile = home / "played.raw";
    const std::string inFile = home / "captured.raw";
    std::vector<std::string> names;
    uint32_t card = 0;
};

TEST_F(AlsaFilePlugin, HintedPcmsAreListedInHintOrderByTheirDescriptionsFirstLineWithoutNull) {
    EXPECT_EQ(std::ranges::count(names, "Zembla file card"), 1);
    EXPECT_LT(card, CardNamed("Zembla playback only")) << "hint order";
    EXPECT_EQ(CardNamed("Zembla playback only") + 1, CardNamed("Zembla missing card"));
    EXPECT_EQ(CardNamed("Zembla missing card") + 1, names.size());
    for (const std::string& name : names) {
        EXPECT_EQ(name.find("Discard all samples"), std::string::npos) << "the null PCM";
        EXPECT_EQ(name.find('\n'), std::string::npos);
    }
    EXPECT_EQ(wave::WaveInGetNumDevs(), names.size()) << "capture shares the numbers";

    wave::DeviceCaps caps;
    ASSERT_EQ(wave::WaveOutGetDevCaps(card, caps), wave::NoError);
    EXPECT_EQ(caps.Channels, 2);
    EXPECT_EQ(caps.Formats, 0xFFFFFu) << "the null PCM takes every rate and format";
    const uint32_t missing = CardNamed("Zembla missing card");
    ASSERT_EQ(wave::WaveOutGetDevCaps(missing, caps), wave::NoError);
    EXPECT_EQ(caps.Formats, 0u) << "nothing could be probed";
    EXPECT_EQ(OpenOut(missing, PcmFormat(44100, 2, 16)), wave::NoDriver);
    const uint32_t playbackOnly = CardNamed("Zembla playback only");
    EXPECT_EQ(wave::WaveInGetDevCaps(playbackOnly, caps), wave::NoDriver);
    EXPECT_EQ(OpenIn(playbackOnly, PcmFormat(44100, 2, 16)), wave::NoDriver);
}

// Eight-bit mono here, sixteen-bit stereo in the capture test: both frame sizes.
TEST_F(AlsaFilePlugin, PlaybackWritesEveryBufferBitExactInOrderFromTheDriverThread) {
    const WaveFormat format = PcmFormat(22050, 1, 8);
    ASSERT_EQ(OpenOut(card, format), wave::NoError);
    wave::WaveOut* again = nullptr;
    EXPECT_EQ(wave::WaveOutOpen(&again, card, format, nullptr, nullptr), wave::Allocated);
    EXPECT_EQ(wave::WaveOutOpen(&again, names.size(), format, nullptr, nullptr), wave::BadDeviceId);
    buffers = MakeBuffers(6, 8192);
    QueueAll(out, buffers);
    ASSERT_TRUE(returned.WaitFor(6));
    const auto all = returned.All();
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].header, &buffers[i]->header);
        EXPECT_EQ(all[i].message, wave::OutDone);
        EXPECT_NE(all[i].thread, std::this_thread::get_id());
    }
    for (auto& buffer : buffers)
        ASSERT_EQ(wave::WaveOutUnprepareHeader(out, &buffer->header), wave::NoError);
    ASSERT_EQ(wave::WaveOutClose(std::exchange(out, nullptr)), wave::NoError);
    EXPECT_TRUE(SameBytes(ReadWholeFile(outFile), Joined(buffers))) << "the played file";
}

TEST_F(AlsaFilePlugin, CaptureReadsTheInputFileByteForByteAcrossBuffers) {
    const std::string input = PatternBytes(3 * 4096 + 1000, 50);
    WriteWholeFile(inFile, input);
    ASSERT_EQ(OpenIn(card, PcmFormat(44100, 2, 16)), wave::NoError);
    buffers = MakeBuffers(4, 4096);
    QueueAll(in, buffers);
    ASSERT_EQ(wave::WaveInStart(in), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(4));
    // Past the end of its input file the plug-in leaves a buffer as it was.
    ASSERT_EQ(Recorded(buffers).size(), 4u * 4096);
    EXPECT_TRUE(SameBytes(Recorded(buffers).substr(0, input.size()), input));
    EXPECT_GT(wave::WaveInGetPeak(in), 0u);
}

TEST_F(AlsaFilePlugin, ZemblaAudioNamesTheBackendAndWithoutItVirtualCardsStandInForNoAlsaDevice) {
    unsetenv("ZEMBLA_AUDIO");
    wave::SelectBackendFromEnvironment();
    EXPECT_STREQ(wave::BackendName(), "ALSA") << "it offers devices";

    // A configuration that defines no PCM at all, whatever this machine has.
    WriteWholeFile(home / "empty-alsa.conf", "\n");
    setenv("ALSA_CONFIG_PATH", (home / "empty-alsa.conf").c_str(), 1);
    wave::UseAlsa();
    EXPECT_EQ(wave::WaveOutGetNumDevs(), 0u);
    wave::SelectBackendFromEnvironment();
    EXPECT_STREQ(wave::BackendName(), "virtual");
    EXPECT_EQ(wave::WaveOutGetNumDevs(), 2u) << "two cards unless told otherwise";
    setenv("ZEMBLA_AUDIO", "alsa", 1);
    wave::SelectBackendFromEnvironment();
    EXPECT_STREQ(wave::BackendName(), "ALSA") << "asked for, even without a device";

    setenv("ZEMBLA_AUDIO", "virtual", 1);
    setenv("ZEMBLA_VIRTUAL_CARDS", "3", 1);
    wave::SelectBackendFromEnvironment();
    EXPECT_STREQ(wave::BackendName(), "virtual");
    EXPECT_EQ(wave::WaveInGetNumDevs(), 3u);
    wave::DeviceCaps caps;
    ASSERT_EQ(wave::WaveOutGetDevCaps(2, caps), wave::NoError);
    EXPECT_EQ(caps.ProductName, "Virtual card 2");
    EXPECT_EQ(caps.Channels, 2);
    EXPECT_EQ(caps.Formats, 0xFFFFFu) << "every rate, size and channel count";
}

}  // namespace
