// Device numbers, capabilities, result codes and backend selection, on virtual cards.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "WaveTestSupport.h"
#include "platform/VirtualCards.h"
#include "support/TempDir.h"

namespace {

class WaveDevices : public ::testing::Test {
  protected:
    void SetUp() override { wave::UseVirtualCards(3); }
};

TEST_F(WaveDevices, VirtualCardsAreNumberedAndNamedWithStereoAndEveryFormat) {
    EXPECT_STREQ(wave::BackendName(), "virtual");
    ASSERT_EQ(wave::WaveOutGetNumDevs(), 3u);
    ASSERT_EQ(wave::WaveInGetNumDevs(), 3u);
    for (uint32_t id = 0; id < 3; ++id) {
        wave::DeviceCaps out, in;
        ASSERT_EQ(wave::WaveOutGetDevCaps(id, out), wave::NoError);
        ASSERT_EQ(wave::WaveInGetDevCaps(id, in), wave::NoError);
        EXPECT_EQ(out.ProductName, "Virtual card " + std::to_string(id));
        EXPECT_EQ(in.ProductName, out.ProductName);
        EXPECT_EQ(out.Channels, 2);
        EXPECT_EQ(out.Formats, 0xFFFFFu);
    }
    wave::UseVirtualCards(0);
    EXPECT_EQ(wave::WaveOutGetNumDevs(), 0u);
}

TEST_F(WaveDevices, AnUnknownDeviceNumberGivesBadDeviceId) {
    wave::DeviceCaps caps;
    EXPECT_EQ(wave::WaveOutGetDevCaps(3, caps), wave::BadDeviceId);
    EXPECT_EQ(wave::WaveInGetDevCaps(3, caps), wave::BadDeviceId);
    wave::WaveOut* out = nullptr;
    wave::WaveIn* in = nullptr;
    EXPECT_EQ(wave::WaveOutOpen(&out, 3, PcmFormat(44100, 2, 16), nullptr, nullptr),
              wave::BadDeviceId);
    EXPECT_EQ(wave::WaveInOpen(&in, 0xFFFFFFFFu, PcmFormat(44100, 2, 16), nullptr, nullptr),
              wave::BadDeviceId);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(in, nullptr);
}

TEST_F(WaveDevices, OpeningAnOpenDeviceGivesAllocatedButItsOtherDirectionOpens) {
    wave::WaveOut* out = nullptr;
    wave::WaveOut* second = nullptr;
    wave::WaveIn* in = nullptr;
    wave::WaveIn* secondIn = nullptr;
    ASSERT_EQ(wave::WaveOutOpen(&out, 1, PcmFormat(44100, 2, 16), nullptr, nullptr), wave::NoError);
    EXPECT_EQ(wave::WaveOutOpen(&second, 1, PcmFormat(22050, 1, 8), nullptr, nullptr),
              wave::Allocated);
    ASSERT_EQ(wave::WaveInOpen(&in, 1, PcmFormat(44100, 2, 16), nullptr, nullptr), wave::NoError);
    EXPECT_EQ(wave::WaveInOpen(&secondIn, 1, PcmFormat(44100, 2, 16), nullptr, nullptr),
              wave::Allocated);
    EXPECT_EQ(wave::WaveOutClose(out), wave::NoError);
    EXPECT_EQ(wave::WaveInClose(in), wave::NoError);
    ASSERT_EQ(wave::WaveOutOpen(&second, 1, PcmFormat(22050, 1, 8), nullptr, nullptr),
              wave::NoError)
        << "closing frees the device";
    EXPECT_EQ(wave::WaveOutClose(second), wave::NoError);
}

TEST_F(WaveDevices, AFormatOtherThanEightOrSixteenBitMonoOrStereoPcmGivesBadFormat) {
    auto with = [](auto change) {
        WaveFormat format = PcmFormat(44100, 2, 16);
        change(format);
        return format;
    };
    const WaveFormat refused[] = {
        with([](WaveFormat& f) { f.FormatTag = 3; }),
        PcmFormat(44100, 2, 24),
        PcmFormat(44100, 3, 16),
        PcmFormat(44100, 0, 16),
        PcmFormat(0, 2, 16),
        with([](WaveFormat& f) { f.BlockAlign = 2; }),
        with([](WaveFormat& f) { f.AvgBytesPerSec = 44100; }),
    };
    for (const WaveFormat& format : refused) {
        wave::WaveOut* out = nullptr;
        wave::WaveIn* in = nullptr;
        EXPECT_EQ(wave::WaveOutOpen(&out, 0, format, nullptr, nullptr), wave::BadFormat)
            << format.FormatTag << "/" << format.Channels << "/" << format.BitsPerSample;
        EXPECT_EQ(wave::WaveInOpen(&in, 0, format, nullptr, nullptr), wave::BadFormat);
    }
    wave::WaveOut* out = nullptr;
    ASSERT_EQ(wave::WaveOutOpen(&out, 0, PcmFormat(11025, 1, 8), nullptr, nullptr), wave::NoError)
        << "a refused format leaves the device free";
    EXPECT_EQ(wave::WaveOutClose(out), wave::NoError);
}

TEST_F(WaveDevices, ACardMadeToRefuseOpeningReportsTheGivenCode) {
    wave::SetVirtualOpenResult(2, wave::NoDriver);
    wave::WaveOut* out = nullptr;
    wave::WaveIn* in = nullptr;
    EXPECT_EQ(wave::WaveOutOpen(&out, 2, PcmFormat(44100, 2, 16), nullptr, nullptr),
              wave::NoDriver);
    EXPECT_EQ(wave::WaveInOpen(&in, 2, PcmFormat(44100, 2, 16), nullptr, nullptr), wave::NoDriver);
    wave::SetVirtualOpenResult(2, wave::NoError);
    ASSERT_EQ(wave::WaveOutOpen(&out, 2, PcmFormat(44100, 2, 16), nullptr, nullptr), wave::NoError);
    EXPECT_EQ(wave::WaveOutClose(out), wave::NoError);
}

TEST_F(WaveDevices, ACallOnAClosedOrNullHandleGivesInvalidHandle) {
    wave::WaveOut* out = nullptr;
    ASSERT_EQ(wave::WaveOutOpen(&out, 0, PcmFormat(44100, 2, 16), nullptr, nullptr), wave::NoError);
    ASSERT_EQ(wave::WaveOutClose(out), wave::NoError);
    TestBuffer buffer(64);
    EXPECT_EQ(wave::WaveOutPrepareHeader(out, &buffer.header), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveOutWrite(out, &buffer.header), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveOutReset(out), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveOutClose(out), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveInStart(nullptr), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveInClose(nullptr), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveInGetPeak(nullptr), 0u);
}

TEST_F(WaveDevices, ResetOrCloseFromInsideACallbackIsRefusedInsteadOfDeadlocking) {
    struct Seen {
        wave::Result reset = wave::NoError;
        wave::Result close = wave::NoError;
        ReturnedBuffers returned;
    } seen;
    wave::SetVirtualPacing(0, wave::Pacing::FreeRunning);
    wave::WaveOut* out = nullptr;
    ASSERT_EQ(
        wave::WaveOutOpen(
            &out, 0, PcmFormat(44100, 2, 16),
            [](wave::WaveOut* device, uint32_t message, void* instance, wave::WaveHeader* header) {
                auto* seenHere = static_cast<Seen*>(instance);
                seenHere->reset = wave::WaveOutReset(device);
                seenHere->close = wave::WaveOutClose(device);
                ReturnedBuffers::OutCallback(device, message, &seenHere->returned, header);
            },
            &seen),
        wave::NoError);
    TestBuffer buffer(64);
    ASSERT_EQ(wave::WaveOutPrepareHeader(out, &buffer.header), wave::NoError);
    ASSERT_EQ(wave::WaveOutWrite(out, &buffer.header), wave::NoError);
    ASSERT_TRUE(seen.returned.WaitFor(1));
    EXPECT_EQ(seen.reset, wave::HandleBusy);
    EXPECT_EQ(seen.close, wave::HandleBusy);
    EXPECT_EQ(wave::WaveOutClose(out), wave::NoError);
}

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class BackendSelection : public ::testing::Test {
  protected:
    void TearDown() override {
        wave::UseAlsa();  // drops ALSA's view of this test's configuration
        wave::UseVirtualCards(2);
    }
    TempDir home{"zembla-alsa-home"};
    ScopedEnvironment homeVariable{"HOME", home.Path().c_str()};
};

TEST_F(BackendSelection, ZemblaAudioVirtualGivesAsManyVirtualCardsAsAsked) {
    ScopedEnvironment audio("ZEMBLA_AUDIO", "virtual");
    ScopedEnvironment count("ZEMBLA_VIRTUAL_CARDS", "3");
    wave::SelectBackendFromEnvironment();
    EXPECT_STREQ(wave::BackendName(), "virtual");
    EXPECT_EQ(wave::WaveOutGetNumDevs(), 3u);

    ScopedEnvironment noCount("ZEMBLA_VIRTUAL_CARDS", nullptr);
    wave::SelectBackendFromEnvironment();
    EXPECT_EQ(wave::WaveOutGetNumDevs(), 2u) << "two cards unless told otherwise";
}

TEST_F(BackendSelection, WithoutZemblaAudioAlsaIsChosenWhenItOffersAPlaybackDevice) {
    ScopedEnvironment audio("ZEMBLA_AUDIO", nullptr);
    WriteWholeFile(home / ".asoundrc",
                   "pcm.zembla_card { type file slave.pcm \"null\" file \"/dev/null\"\n"
                   "  hint { show on description \"Zembla selection card\" } }\n");
    wave::UseAlsa();
    wave::SelectBackendFromEnvironment();
    EXPECT_STREQ(wave::BackendName(), "ALSA");

    ScopedEnvironment alsa("ZEMBLA_AUDIO", "alsa");
    wave::SelectBackendFromEnvironment();
    EXPECT_STREQ(wave::BackendName(), "ALSA");
}

TEST_F(BackendSelection, WithoutZemblaAudioVirtualCardsStandInWhenAlsaOffersNoDevice) {
    ScopedEnvironment audio("ZEMBLA_AUDIO", nullptr);
    // A configuration that defines no PCM at all, whatever this machine has.
    WriteWholeFile(home / "empty-alsa.conf", "\n");
    ScopedEnvironment config("ALSA_CONFIG_PATH", (home / "empty-alsa.conf").c_str());
    wave::UseAlsa();
    EXPECT_EQ(wave::WaveOutGetNumDevs(), 0u);
    wave::SelectBackendFromEnvironment();
    EXPECT_STREQ(wave::BackendName(), "virtual");
    EXPECT_EQ(wave::WaveOutGetNumDevs(), 2u);
}

}  // namespace
