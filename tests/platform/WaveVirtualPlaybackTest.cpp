// Playback through virtual cards: what is played, in which order, at which pace, and how
// reset and close treat queued buffers.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
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
        returned.OnReturn(nullptr);
        if (device) {
            wave::WaveOutReset(device);
            for (auto& buffer : buffers)
                wave::WaveOutUnprepareHeader(device, &buffer->header);
            EXPECT_EQ(wave::WaveOutClose(device), wave::NoError);
        }
    }

    void Open(unsigned card, const WaveFormat& format) {
        ASSERT_EQ(
            wave::WaveOutOpen(&device, card, format, &ReturnedBuffers::OutCallback, &returned),
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

    EXPECT_TRUE(SameBytes(wave::TakePlayedBytes(1), written));
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

TEST_F(VirtualPlayback, ACallbackCanUnprepareAndRequeueItsBuffer) {
    wave::SetVirtualPacing(0, Pacing::FreeRunning);
    Open(0, PcmFormat(44100, 2, 16));
    int rounds = 0;
    returned.OnReturn([&](wave::WaveHeader* header) {
        EXPECT_EQ(wave::WaveOutUnprepareHeader(device, header), wave::NoError);
        if (++rounds < 10) {
            EXPECT_EQ(wave::WaveOutPrepareHeader(device, header), wave::NoError);
            EXPECT_EQ(wave::WaveOutWrite(device, header), wave::NoError);
        }
    });
    const std::string written = WriteAll(1, 2048);
    ASSERT_TRUE(returned.WaitFor(10));
    std::string expected;
    for (int i = 0; i < 10; ++i)
        expected += written;
    EXPECT_TRUE(SameBytes(wave::TakePlayedBytes(0), expected));
}

// The way the sound card plays: the callback hands buffers back to a free list, and another
// thread fills and writes them while the card plays the others.
TEST_F(VirtualPlayback, BuffersWrittenFromAnotherThreadWhileOthersComeBackArePlayedInOrder) {
    wave::SetVirtualPacing(0, Pacing::FreeRunning);
    Open(0, PcmFormat(44100, 2, 16));
    buffers = MakeBuffers(4, 1024);
    std::mutex lock;
    std::condition_variable returnedOne;
    std::vector<wave::WaveHeader*> free;
    for (auto& buffer : buffers)
        free.push_back(&buffer->header);
    returned.OnReturn([&](wave::WaveHeader* header) {
        EXPECT_EQ(wave::WaveOutUnprepareHeader(device, header), wave::NoError);
        std::lock_guard<std::mutex> guard(lock);
        free.push_back(header);
        returnedOne.notify_one();
    });

    constexpr int Total = 200;
    std::string written;
    std::thread player([&] {
        for (int i = 0; i < Total; ++i) {
            wave::WaveHeader* header = nullptr;
            {
                std::unique_lock<std::mutex> guard(lock);
                returnedOne.wait(guard, [&] { return !free.empty(); });
                header = free.front();
                free.erase(free.begin());
            }
            const std::string bytes = PatternBytes(1024, static_cast<uint32_t>(i));
            std::copy(bytes.begin(), bytes.end(), header->Data);
            written += bytes;
            EXPECT_EQ(wave::WaveOutPrepareHeader(device, header), wave::NoError);
            EXPECT_EQ(wave::WaveOutWrite(device, header), wave::NoError);
        }
    });
    player.join();
    ASSERT_TRUE(returned.WaitFor(Total));
    EXPECT_TRUE(SameBytes(wave::TakePlayedBytes(0), written));
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
