// Playback through virtual cards: what is played, in which order, at which pace, and how
// reset and close treat queued buffers.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "WaveTestSupport.h"
#include "platform/VirtualCards.h"

using namespace std::chrono_literals;
using wave::Pacing;

namespace {

class VirtualPlayback : public ::testing::Test {
protected:
    void SetUp() override { wave::UseVirtualCards(2); }
    void TearDown() override {
        if (device) {
            wave::WaveOutReset(device);
            for (auto& buffer : buffers) wave::WaveOutUnprepareHeader(device, &buffer->header);
            EXPECT_EQ(wave::WaveOutClose(device), wave::NoError);
        }
    }

    void Open(unsigned card, const WaveFormat& format) {
        ASSERT_EQ(wave::WaveOutOpen(&device, card, format, &ReturnedBuffers::OutCallback,
                                    &returned),
                  wave::NoError);
    }
    // Prepares and writes every buffer, each filled with its own pattern; returns what was
    // written, in order.
    std::string WriteAll(size_t count, size_t bytes) {
        buffers = MakeBuffers(count, bytes);
        std::string written;
        for (size_t i = 0; i < buffers.size(); ++i) {
            buffers[i]->Fill(PatternBytes(bytes, static_cast<uint32_t>(i + 1)));
            written.append(buffers[i]->data.data(), bytes);
            EXPECT_EQ(wave::WaveOutPrepareHeader(device, &buffers[i]->header), wave::NoError);
            EXPECT_EQ(wave::WaveOutWrite(device, &buffers[i]->header), wave::NoError);
        }
        return written;
    }

    wave::WaveOut* device = nullptr;
    ReturnedBuffers returned;
    std::vector<std::unique_ptr<TestBuffer>> buffers;
};

TEST_F(VirtualPlayback, EveryWrittenByteIsPlayedInOrderAndEachBufferComesBackOnceInOrder) {
    wave::SetVirtualPacing(1, Pacing::FreeRunning);
    Open(1, PcmFormat(44100, 2, 16));
    const std::string written = WriteAll(8, 4096);
    ASSERT_TRUE(returned.WaitFor(8));

    EXPECT_EQ(wave::TakePlayedBytes(1), written);
    EXPECT_EQ(wave::TakePlayedBytes(1), "") << "taking empties the record";
    EXPECT_EQ(wave::TakePlayedBytes(0), "") << "the other card played nothing";
    const auto headers = returned.Headers();
    ASSERT_EQ(headers.size(), 8u);
    for (size_t i = 0; i < headers.size(); ++i) {
        EXPECT_EQ(headers[i], &buffers[i]->header) << "buffer " << i;
        EXPECT_EQ(returned.Messages()[i], wave::OutDone);
        EXPECT_EQ(returned.FlagsSeen()[i], wave::HeaderDone | wave::HeaderPrepared);
    }
}

TEST_F(VirtualPlayback, CallbacksRunOnOneDriverThreadThatIsNotTheCaller) {
    wave::SetVirtualPacing(0, Pacing::FreeRunning);
    Open(0, PcmFormat(22050, 1, 8));
    WriteAll(4, 512);
    ASSERT_TRUE(returned.WaitFor(4));
    const auto threads = returned.Threads();
    for (const auto& thread : threads) {
        EXPECT_EQ(thread, threads.front());
        EXPECT_NE(thread, std::this_thread::get_id());
    }
}

TEST_F(VirtualPlayback, RealTimeCardTakesAtLeastTheBuffersDurationToPlayThem) {
    Open(0, PcmFormat(8000, 1, 16));
    const auto start = std::chrono::steady_clock::now();
    WriteAll(3, 1600);  // 800 frames each: 100 ms at 8000 Hz
    EXPECT_EQ(returned.Count(), 0u) << "a real-time card cannot have finished a buffer yet";
    ASSERT_TRUE(returned.WaitFor(1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    ASSERT_TRUE(returned.WaitFor(3));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(wave::PlayedByteCount(0), 3u * 1600);
}

TEST_F(VirtualPlayback, ResetReturnsEveryQueuedBufferThroughTheCallbackBeforeItReturns) {
    Open(0, PcmFormat(44100, 2, 16));
    WriteAll(4, 176400);  // a second each
    ASSERT_EQ(wave::WaveOutReset(device), wave::NoError);

    const auto headers = returned.Headers();
    ASSERT_EQ(headers.size(), 4u);
    for (size_t i = 0; i < headers.size(); ++i) {
        EXPECT_EQ(headers[i], &buffers[i]->header);
        EXPECT_EQ(buffers[i]->header.Flags, wave::HeaderDone | wave::HeaderPrepared);
    }
    EXPECT_EQ(wave::TakePlayedBytes(0), "") << "no buffer was played to its end";
}

TEST_F(VirtualPlayback, QueuedBuffersKeepTheDeviceAndTheirHeadersFromBeingReleased) {
    Open(0, PcmFormat(44100, 2, 16));
    WriteAll(1, 176400);
    EXPECT_EQ(wave::WaveOutClose(device), wave::StillPlaying);
    EXPECT_EQ(wave::WaveOutUnprepareHeader(device, &buffers[0]->header), wave::StillPlaying);
    EXPECT_EQ(wave::WaveOutWrite(device, &buffers[0]->header), wave::StillPlaying)
        << "a queued header cannot be queued twice";

    ASSERT_EQ(wave::WaveOutReset(device), wave::NoError);
    EXPECT_EQ(wave::WaveOutUnprepareHeader(device, &buffers[0]->header), wave::NoError);
    EXPECT_EQ(buffers[0]->header.Flags, wave::HeaderDone);
    EXPECT_EQ(wave::WaveOutClose(device), wave::NoError);
    device = nullptr;
}

TEST_F(VirtualPlayback, WritingAnUnpreparedHeaderIsRefused) {
    Open(0, PcmFormat(44100, 2, 16));
    TestBuffer buffer(1024);
    EXPECT_EQ(wave::WaveOutWrite(device, &buffer.header), wave::Unprepared);
    ASSERT_EQ(wave::WaveOutPrepareHeader(device, &buffer.header), wave::NoError);
    ASSERT_EQ(wave::WaveOutUnprepareHeader(device, &buffer.header), wave::NoError);
    EXPECT_EQ(wave::WaveOutWrite(device, &buffer.header), wave::Unprepared);
    EXPECT_EQ(returned.Count(), 0u);
}

TEST_F(VirtualPlayback, ACallbackCanWriteItsBufferAgainAndTheCardKeepsPlaying) {
    wave::SetVirtualPacing(0, Pacing::FreeRunning);
    Open(0, PcmFormat(44100, 2, 16));
    int rounds = 0;
    returned.OnReturn([&](wave::WaveHeader* header) {
        if (++rounds < 10) {
            EXPECT_EQ(wave::WaveOutWrite(device, header), wave::NoError);
        }
    });
    const std::string written = WriteAll(1, 2048);
    ASSERT_TRUE(returned.WaitFor(10));
    std::string expected;
    for (int i = 0; i < 10; ++i) expected += written;
    EXPECT_EQ(wave::TakePlayedBytes(0), expected);
}

TEST_F(VirtualPlayback, ARealTimeCardThatRunsDryCountsAnUnderrunAndAFreeRunningOneDoesNot) {
    Open(0, PcmFormat(44100, 2, 16));
    WriteAll(2, 1024);
    ASSERT_TRUE(returned.WaitFor(2));
    for (int i = 0; i < 200 && wave::WaveOutGetUnderruns(device) == 0; ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_EQ(wave::WaveOutGetUnderruns(device), 1u) << "one gap: after the second buffer";

    wave::SetVirtualPacing(0, Pacing::FreeRunning);
    TestBuffer more(1024);
    ASSERT_EQ(wave::WaveOutPrepareHeader(device, &more.header), wave::NoError);
    ASSERT_EQ(wave::WaveOutWrite(device, &more.header), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(3));
    ASSERT_EQ(wave::WaveOutUnprepareHeader(device, &more.header), wave::NoError);
    EXPECT_EQ(wave::WaveOutGetUnderruns(device), 1u);
}

}  // namespace
