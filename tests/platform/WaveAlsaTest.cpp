// The ALSA backend without sound hardware: PCMs of ALSA's own `file` plug-in (over "null"),
// declared in an .asoundrc in a temporary HOME, stand in for sound cards. What a test plays
// lands in a file; what it captures comes from a file. And how the backend is chosen.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>

#include "WaveTestSupport.h"
#include "support/EngineFixture.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;

namespace {

// ALSA reads the configuration this test writes into a temporary HOME; the device numbers are
// those of the PCMs it declares (with hints), in order.
class AlsaCards : public WaveDeviceTest {
  protected:
    void UseConfiguration(const std::string& asoundrc) {
        setenv("HOME", home.Path().c_str(), 1);
        WriteWholeFile(home / ".asoundrc", asoundrc);
        wave::UseAlsa();
        ASSERT_STREQ(wave::BackendName(), "ALSA");
        for (uint32_t id = 0; id < wave::WaveOutGetNumDevs(); ++id) {
            wave::DeviceCaps caps;
            ASSERT_EQ(wave::WaveOutGetDevCaps(id, caps), wave::NoError);
            names.push_back(caps.ProductName);
        }
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
    std::vector<std::string> names;
};

class AlsaFilePlugin : public AlsaCards {
  protected:
    void SetUp() override {
        WriteWholeFile(inFile, "");
        const std::string files = "file \"" + outFile + "\" infile \"" + inFile + "\"\n";
        UseConfiguration("pcm.zembla_file { type file slave.pcm \"null\" format \"raw\" " + files +
                         "  hint { show on description \"Zembla file card\nsecond line\" } }\n"
                         "pcm.zembla_playback_only { type asym playback.pcm \"zembla_file\"\n"
                         "  hint { show on description \"Zembla playback only\" } }\n"
                         "pcm.zembla_missing { type hw card 57\n"
                         "  hint { show on description \"Zembla missing card\" } }\n");
        card = CardNamed("Zembla file card");
        ASSERT_LT(card, names.size()) << "the file PCM is enumerated";
    }

    const std::string outFile = home / "played.raw";
    const std::string inFile = home / "captured.raw";
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
}

// The cards that run in real time: a virtual one and the clocked ALSA test PCM, held to the
// same rules. What either captures carries frame numbers (the virtual card's counted from
// Start, the clocked card's from its opening); either can be unplugged and stalled.
enum class RealTime { Virtual, ClockedAlsa };

class RealTimeCard : public AlsaCards, public ::testing::WithParamInterface<RealTime> {
  protected:
    static constexpr uint32_t Rate = 44100;
    void SetUp() override {
        if (GetParam() == RealTime::Virtual) {
            AlsaCards::SetUp();
            wave::SetVirtualCaptureSource(
                0, wave::VirtualCaptureSource::Pcm(NumberedFrames(0, 30 * Rate)));
            return;
        }
        UseConfiguration("pcm_type.zembla_clocked { lib \"" CLOCKED_PCM_PLUGIN
                         "\" }\n"
                         "pcm.zembla_clocked { type zembla_clocked unplug_when \"" +
                         unplug + "\" stall_when \"" + stall +
                         "\"\n  hint { show on description \"Zembla clocked card\" } }\n");
        card = CardNamed("Zembla clocked card");
        ASSERT_LT(card, names.size());
    }
    bool IsVirtual() const { return GetParam() == RealTime::Virtual; }
    // Lost, Stalled or None: the virtual card's fault, or the clocked card's files.
    void Fault(wave::VirtualFault fault) {
        if (IsVirtual())
            return wave::SetVirtualFault(0, fault);
        std::remove(unplug.c_str());
        std::remove(stall.c_str());
        if (fault != wave::VirtualFault::None)
            WriteWholeFile(fault == wave::VirtualFault::Lost ? unplug : stall, "");
    }
    static uint64_t FramesIn(std::chrono::steady_clock::duration elapsed) {
        return static_cast<uint64_t>(std::chrono::duration<double>(elapsed).count() * Rate);
    }

    const std::string unplug = home / "unplugged";
    const std::string stall = home / "stalled";
    uint32_t card = 0;
};

TEST_P(RealTimeCard,
       ATakeStartsWithTheInputOfItsFirstQueuingAndLateBuffersLoseInputOnlyPastTheRing) {
    ASSERT_EQ(OpenIn(card, PcmFormat(Rate, 2, 16)), wave::NoError);
    ASSERT_EQ(wave::WaveInStart(in), wave::NoError);
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(300ms);  // armed: nothing can take the input yet
    buffers = MakeBuffers(4, 2048 * 4);
    const auto queued = std::chrono::steady_clock::now();
    QueueAll(in, buffers);
    ASSERT_TRUE(returned.WaitFor(4));

    const std::string take = Recorded(buffers);
    ASSERT_EQ(take.size(), 4u * 2048 * 4);
    EXPECT_GE(FrameNumber(take.data(), 0) + 1, FramesIn(queued - started))
        << "what arrived while armed was dropped";
    EXPECT_EQ(NumberedRun(take), take.size() / 4);
    EXPECT_GE(FramesIn(returned.LastReturnTime() - queued), 4u * 2048 - 2)
        << "the buffers filled at the input's pace, not all at once";

    // Back a little late: the card held the input, nothing is lost.
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(wave::WaveInAddBuffer(in, &buffers[0]->header), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(5));
    EXPECT_EQ(FrameNumber(buffers[0]->data.data(), 0), FrameNumber(take.data(), 4 * 2048 - 1) + 1);
    EXPECT_EQ(wave::WaveInGetOverruns(in), 0u);

    // Back later than the card can hold: the oldest input is lost, and that is counted.
    const uint32_t heldEnd = FrameNumber(buffers[0]->data.data(), 2047);
    std::this_thread::sleep_for(wave::CaptureRingMs * 1ms + 500ms);
    ASSERT_EQ(wave::WaveInAddBuffer(in, &buffers[1]->header), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(6));
    EXPECT_GT(FrameNumber(buffers[1]->data.data(), 0), heldEnd + 1);
    EXPECT_EQ(wave::WaveInGetOverruns(in), 1u);
}

TEST_P(RealTimeCard, OnlyABufferWrittenAfterTheCardRanDryCountsAsAnUnderrun) {
    ASSERT_EQ(OpenOut(card, PcmFormat(8000, 1, 16)), wave::NoError);
    buffers = MakeBuffers(3, 1600);  // 100 ms each
    QueueOne(out, *buffers[0]);
    QueueOne(out, *buffers[1]);
    ASSERT_TRUE(returned.WaitFor(2));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(wave::WaveOutGetUnderruns(out), 0u) << "playing everything is no under-run";

    // The run goes on after a gap.
    QueueOne(out, *buffers[2]);
    EXPECT_EQ(wave::WaveOutGetUnderruns(out), 1u);
    ASSERT_TRUE(returned.WaitFor(3));
    ASSERT_EQ(wave::WaveOutReset(out), wave::NoError);
    EXPECT_EQ(wave::WaveOutGetUnderruns(out), 1u) << "draining at the end of the run";
}

// Both directions: what is queued comes back marked failed, what was captured is kept.
TEST_P(RealTimeCard, AnUnpluggedCardReturnsEveryBufferFailedAndRefusesMoreButCanBeClosed) {
    const WaveFormat format = PcmFormat(Rate, 2, 16);
    ASSERT_EQ(OpenOut(card, format), wave::NoError);
    ASSERT_EQ(OpenIn(card, format), wave::NoError);
    buffers = MakeBuffers(4, Rate * 4);  // a second each: none is done when the card goes
    QueueOne(out, *buffers[0]);
    QueueOne(out, *buffers[1]);
    QueueOne(in, *buffers[2]);
    QueueOne(in, *buffers[3]);
    ASSERT_EQ(wave::WaveInStart(in), wave::NoError);
    std::this_thread::sleep_for(100ms);
    Fault(wave::VirtualFault::Lost);
    ASSERT_TRUE(returned.WaitFor(4));
    for (const Returned& seen : returned.All())
        EXPECT_EQ(seen.flags, wave::HeaderDone | wave::HeaderPrepared | wave::HeaderFailed);
    EXPECT_GT(buffers[2]->header.BytesRecorded, 0u);
    EXPECT_EQ(wave::TakePlayedBytes(0), "") << "nothing was played";
    EXPECT_EQ(wave::WaveOutGetState(out), wave::DeviceState::Failed);
    EXPECT_EQ(wave::WaveInGetState(in), wave::DeviceState::Failed);
    EXPECT_EQ(wave::WaveOutWrite(out, &buffers[0]->header), wave::NoDriver);
    EXPECT_EQ(wave::WaveInAddBuffer(in, &buffers[2]->header), wave::NoDriver);
    EXPECT_EQ(wave::WaveInStart(in), wave::NoDriver);
    EXPECT_EQ(wave::WaveOutReset(out), wave::NoError);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(i < 2 ? wave::WaveOutUnprepareHeader(out, &buffers[i]->header)
                        : wave::WaveInUnprepareHeader(in, &buffers[i]->header),
                  wave::NoError);
    }
    EXPECT_EQ(wave::WaveOutClose(std::exchange(out, nullptr)), wave::NoError);
    if (IsVirtual()) {
        EXPECT_EQ(OpenOut(card, format), wave::NoDriver) << "it is still unplugged";
    }
    Fault(wave::VirtualFault::None);
    EXPECT_EQ(OpenOut(card, format), wave::NoError) << "plugged in again";
}

TEST_P(RealTimeCard, AStalledCardPlaysNothingButResetAndCloseStillReturnAtOnce) {
    ASSERT_EQ(OpenOut(card, PcmFormat(8000, 1, 16)), wave::NoError);
    Fault(wave::VirtualFault::Stalled);
    buffers = MakeBuffers(2, 160);  // 10 ms each
    QueueAll(out, buffers);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(returned.Count(), 0u);
    const auto before = std::chrono::steady_clock::now();
    ASSERT_EQ(wave::WaveOutReset(out), wave::NoError);
    EXPECT_EQ(returned.Count(), 2u);
    EXPECT_EQ(wave::WaveOutGetState(out), wave::DeviceState::Working);
    for (auto& buffer : buffers)
        EXPECT_EQ(wave::WaveOutUnprepareHeader(out, &buffer->header), wave::NoError);
    EXPECT_EQ(wave::WaveOutClose(std::exchange(out, nullptr)), wave::NoError);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
}

std::string CardName(const ::testing::TestParamInfo<RealTime>& card) {
    return card.param == RealTime::Virtual ? "Virtual" : "ClockedAlsa";
}
INSTANTIATE_TEST_SUITE_P(Cards, RealTimeCard,
                         ::testing::Values(RealTime::Virtual, RealTime::ClockedAlsa), CardName);

}  // namespace
