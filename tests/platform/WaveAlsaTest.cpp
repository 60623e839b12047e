// The ALSA backend without sound hardware: PCMs of ALSA's own `file` plug-in (over "null"),
// declared in an .asoundrc in a temporary HOME, stand in for sound cards. What a test plays
// lands in a file; what it captures comes from a file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "WaveTestSupport.h"
#include "platform/VirtualCards.h"
#include "support/TempDir.h"

namespace {

class AlsaFilePlugin : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* home = std::getenv("HOME"))
            savedHome_ = home;
        setenv("HOME", home_.Path().c_str(), 1);
        WriteWholeFile(InFile(), "");
        WriteWholeFile(home_ / ".asoundrc", Configuration());
        wave::UseAlsa();
        ASSERT_STREQ(wave::BackendName(), "ALSA");
        const uint32_t count = wave::WaveOutGetNumDevs();
        for (uint32_t id = 0; id < count; ++id) {
            wave::DeviceCaps caps;
            ASSERT_EQ(wave::WaveOutGetDevCaps(id, caps), wave::NoError);
            names_.push_back(caps.ProductName);
        }
        auto found = std::find(names_.begin(), names_.end(), "Zembla file card");
        ASSERT_NE(found, names_.end()) << "the file PCM is enumerated";
        card_ = static_cast<uint32_t>(found - names_.begin());
    }
    void TearDown() override {
        returned_.OnReturn(nullptr);
        if (out_) {
            wave::WaveOutReset(out_);
            for (auto& buffer : buffers_)
                wave::WaveOutUnprepareHeader(out_, &buffer->header);
            EXPECT_EQ(wave::WaveOutClose(out_), wave::NoError);
        }
        if (in_) {
            wave::WaveInReset(in_);
            for (auto& buffer : buffers_)
                wave::WaveInUnprepareHeader(in_, &buffer->header);
            EXPECT_EQ(wave::WaveInClose(in_), wave::NoError);
        }
        if (savedHome_)
            setenv("HOME", savedHome_->c_str(), 1);
        else
            unsetenv("HOME");
        wave::UseAlsa();  // forget this test's configuration
        wave::UseVirtualCards(2);
    }

    std::string OutFile() const { return home_ / "played.raw"; }
    std::string InFile() const { return home_ / "captured.raw"; }
    std::string Configuration() const {
        return "pcm.zembla_file {\n"
               "  type file\n"
               "  slave.pcm \"null\"\n"
               "  file \"" +
               OutFile() +
               "\"\n"
               "  infile \"" +
               InFile() +
               "\"\n"
               "  format \"raw\"\n"
               "  hint { show on description \"Zembla file card\nits second line\" }\n"
               "}\n"
               "pcm.zembla_playback_only {\n"
               "  type asym\n"
               "  playback.pcm \"zembla_file\"\n"
               "  hint { show on description \"Zembla playback only\" }\n"
               "}\n"
               "pcm.zembla_missing {\n"
               "  type hw card 57\n"
               "  hint { show on description \"Zembla missing card\" }\n"
               "}\n";
    }
    uint32_t CardNamed(const std::string& name) {
        return static_cast<uint32_t>(std::find(names_.begin(), names_.end(), name) -
                                     names_.begin());
    }

    TempDir home_{"zembla-alsa"};
    std::optional<std::string> savedHome_;
    std::vector<std::string> names_;
    uint32_t card_ = 0;
    wave::WaveOut* out_ = nullptr;
    wave::WaveIn* in_ = nullptr;
    ReturnedBuffers returned_;
    std::vector<std::unique_ptr<TestBuffer>> buffers_;
};

TEST_F(AlsaFilePlugin, EnumerationListsHintedPcmsByTheFirstLineOfTheirDescriptionButNotNull) {
    EXPECT_EQ(std::count(names_.begin(), names_.end(), "Zembla file card"), 1);
    EXPECT_LT(CardNamed("Zembla file card"), CardNamed("Zembla playback only")) << "hint order";
    EXPECT_LT(CardNamed("Zembla playback only"), CardNamed("Zembla missing card"));
    EXPECT_EQ(CardNamed("Zembla missing card") + 1, names_.size());
    for (const std::string& name : names_) {
        EXPECT_EQ(name.find("Discard all samples"), std::string::npos) << "the null PCM";
        EXPECT_EQ(name.find('\n'), std::string::npos);
    }
    EXPECT_EQ(wave::WaveInGetNumDevs(), names_.size()) << "capture shares the numbers";
}

TEST_F(AlsaFilePlugin, CapabilitiesAreProbedFromThePcm) {
    wave::DeviceCaps caps;
    ASSERT_EQ(wave::WaveOutGetDevCaps(card_, caps), wave::NoError);
    EXPECT_EQ(caps.Channels, 2);
    EXPECT_EQ(caps.Formats, 0xFFFFFu) << "the null PCM takes every rate and format";
    wave::DeviceCaps missing;
    ASSERT_EQ(wave::WaveOutGetDevCaps(CardNamed("Zembla missing card"), missing), wave::NoError);
    EXPECT_EQ(missing.ProductName, "Zembla missing card");
    EXPECT_EQ(missing.Formats, 0u) << "nothing could be probed";
}

TEST_F(AlsaFilePlugin, PlaybackWritesEveryBufferBitExactInOrder) {
    for (const WaveFormat& format : {PcmFormat(44100, 2, 16), PcmFormat(22050, 1, 8)}) {
        SCOPED_TRACE(format.BitsPerSample);
        ReturnedBuffers returned;
        wave::WaveOut* out = nullptr;
        ASSERT_EQ(wave::WaveOutOpen(&out, card_, format, &ReturnedBuffers::OutCallback, &returned),
                  wave::NoError);
        auto buffers = MakeBuffers(6, 8192);
        std::string written;
        for (size_t i = 0; i < buffers.size(); ++i) {
            buffers[i]->Fill(PatternBytes(8192, static_cast<uint32_t>(40 + i)));
            written.append(buffers[i]->data.data(), 8192);
            ASSERT_EQ(wave::WaveOutPrepareHeader(out, &buffers[i]->header), wave::NoError);
            ASSERT_EQ(wave::WaveOutWrite(out, &buffers[i]->header), wave::NoError);
        }
        ASSERT_TRUE(returned.WaitFor(6));
        const auto headers = returned.Headers();
        for (size_t i = 0; i < headers.size(); ++i) {
            EXPECT_EQ(headers[i], &buffers[i]->header);
            EXPECT_EQ(returned.Messages()[i], wave::OutDone);
            EXPECT_NE(returned.Threads()[i], std::this_thread::get_id());
        }
        for (auto& buffer : buffers)
            ASSERT_EQ(wave::WaveOutUnprepareHeader(out, &buffer->header), wave::NoError);
        ASSERT_EQ(wave::WaveOutClose(out), wave::NoError);
        EXPECT_TRUE(SameBytes(ReadWholeFile(OutFile()), written)) << "the played file";
    }
}

TEST_F(AlsaFilePlugin, CaptureReadsTheInputFileByteForByteAcrossBuffers) {
    const std::string input = PatternBytes(3 * 4096 + 1000, 50);
    WriteWholeFile(InFile(), input);
    ASSERT_EQ(wave::WaveInOpen(&in_, card_, PcmFormat(44100, 2, 16), &ReturnedBuffers::InCallback,
                               &returned_),
              wave::NoError);
    buffers_ = MakeBuffers(2, 4096);
    returned_.OnReturn([this, rounds = std::make_shared<int>(0)](wave::WaveHeader* header) {
        if (++*rounds <= 2) {
            EXPECT_EQ(wave::WaveInAddBuffer(in_, header), wave::NoError);
        }
    });
    for (auto& buffer : buffers_) {
        ASSERT_EQ(wave::WaveInPrepareHeader(in_, &buffer->header), wave::NoError);
        ASSERT_EQ(wave::WaveInAddBuffer(in_, &buffer->header), wave::NoError);
    }
    ASSERT_EQ(wave::WaveInStart(in_), wave::NoError);
    ASSERT_TRUE(returned_.WaitFor(4));
    ASSERT_EQ(wave::WaveInReset(in_), wave::NoError);

    const std::string captured = returned_.CapturedBytes();
    // Past the end of its input file the plug-in leaves a buffer as it was.
    ASSERT_EQ(captured.size(), 4u * 4096);
    EXPECT_TRUE(SameBytes(captured.substr(0, input.size()), input));
    EXPECT_GT(wave::WaveInGetPeak(in_), 0u);
}

TEST_F(AlsaFilePlugin, ResetReturnsQueuedCaptureBuffersAndCloseRefusesWhileQueued) {
    ASSERT_EQ(wave::WaveInOpen(&in_, card_, PcmFormat(44100, 2, 16), &ReturnedBuffers::InCallback,
                               &returned_),
              wave::NoError);
    buffers_ = MakeBuffers(3, 4096);
    for (auto& buffer : buffers_) {
        ASSERT_EQ(wave::WaveInPrepareHeader(in_, &buffer->header), wave::NoError);
        ASSERT_EQ(wave::WaveInAddBuffer(in_, &buffer->header), wave::NoError);
    }
    EXPECT_EQ(wave::WaveInClose(in_), wave::StillPlaying);
    EXPECT_EQ(wave::WaveInUnprepareHeader(in_, &buffers_[0]->header), wave::StillPlaying);
    ASSERT_EQ(wave::WaveInReset(in_), wave::NoError);
    ASSERT_EQ(returned_.Count(), 3u) << "not started: all three come back, empty";
    for (auto& buffer : buffers_)
        EXPECT_EQ(buffer->header.BytesRecorded, 0u);
}

TEST_F(AlsaFilePlugin, DeviceErrorsMapToResultCodes) {
    const WaveFormat format = PcmFormat(44100, 2, 16);
    ASSERT_EQ(wave::WaveOutOpen(&out_, card_, format, nullptr, nullptr), wave::NoError);
    wave::WaveOut* again = nullptr;
    EXPECT_EQ(wave::WaveOutOpen(&again, card_, format, nullptr, nullptr), wave::Allocated);
    EXPECT_EQ(
        wave::WaveOutOpen(&again, static_cast<uint32_t>(names_.size()), format, nullptr, nullptr),
        wave::BadDeviceId);
    EXPECT_EQ(wave::WaveOutOpen(&again, card_, PcmFormat(44100, 2, 12), nullptr, nullptr),
              wave::BadFormat);
    EXPECT_EQ(wave::WaveOutOpen(&again, CardNamed("Zembla missing card"), format, nullptr, nullptr),
              wave::NoDriver);

    wave::WaveIn* in = nullptr;
    const uint32_t playbackOnly = CardNamed("Zembla playback only");
    wave::DeviceCaps caps;
    EXPECT_EQ(wave::WaveInGetDevCaps(playbackOnly, caps), wave::NoDriver);
    EXPECT_EQ(wave::WaveInOpen(&in, playbackOnly, format, nullptr, nullptr), wave::NoDriver);
    EXPECT_EQ(in, nullptr);
    ASSERT_EQ(wave::WaveOutOpen(&again, playbackOnly, format, nullptr, nullptr), wave::NoError)
        << "it still plays";
    EXPECT_EQ(wave::WaveOutClose(again), wave::NoError);
}

}  // namespace
