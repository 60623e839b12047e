// Capture through virtual cards: what a buffer holds when it comes back, in which order,
// and what reset, stop and the input peak report.

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
using wave::VirtualCaptureSource;

namespace {

class VirtualCapture : public ::testing::Test {
  protected:
    void SetUp() override { wave::UseVirtualCards(2); }
    void TearDown() override {
        returned.OnReturn(nullptr);
        if (device) {
            wave::WaveInReset(device);
            for (auto& buffer : buffers)
                wave::WaveInUnprepareHeader(device, &buffer->header);
            EXPECT_EQ(wave::WaveInClose(device), wave::NoError);
        }
    }

    void Open(unsigned card, const WaveFormat& format) {
        ASSERT_EQ(wave::WaveInOpen(&device, card, format, &ReturnedBuffers::InCallback, &returned),
                  wave::NoError);
    }
    void AddAll(size_t count, size_t bytes) {
        buffers = MakeBuffers(count, bytes);
        for (auto& buffer : buffers) {
            ASSERT_EQ(wave::WaveInPrepareHeader(device, &buffer->header), wave::NoError);
            ASSERT_EQ(wave::WaveInAddBuffer(device, &buffer->header), wave::NoError);
        }
    }
    // Each returned buffer goes back to the card until `rounds` buffers came back.
    void RequeueUntil(size_t rounds) {
        returned.OnReturn([this, rounds](wave::WaveHeader* header) {
            if (++requeueSeen + buffers.size() <= rounds) {
                EXPECT_EQ(wave::WaveInAddBuffer(device, header), wave::NoError);
            }
        });
    }

    wave::WaveIn* device = nullptr;
    size_t requeueSeen = 0;  // only the driver thread counts
    ReturnedBuffers returned;
    std::vector<std::unique_ptr<TestBuffer>> buffers;
};

TEST_F(VirtualCapture, SuppliedPcmArrivesByteForByteAcrossReusedBuffersThenSilence) {
    wave::SetVirtualPacing(0, Pacing::FreeRunning);
    const std::string source = PatternBytes(5 * 4096 + 1000, 7);
    wave::SetVirtualCaptureSource(0, VirtualCaptureSource::Pcm(source));
    Open(0, PcmFormat(44100, 2, 16));
    AddAll(3, 4096);
    RequeueUntil(7);
    ASSERT_EQ(wave::WaveInStart(device), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(7));

    const std::string captured = returned.CapturedBytes();
    ASSERT_EQ(captured.size(), 7u * 4096);
    EXPECT_TRUE(SameBytes(captured.substr(0, source.size()), source));
    EXPECT_TRUE(SameBytes(captured.substr(source.size()),
                          std::string(captured.size() - source.size(), '\0')));
    for (uint32_t message : returned.Messages())
        EXPECT_EQ(message, wave::InData);
    for (uint32_t flags : returned.FlagsSeen())
        EXPECT_EQ(flags, wave::HeaderDone | wave::HeaderPrepared);
}

TEST_F(VirtualCapture, RealTimeCardDeliversTheSameBytesAtItsOwnPace) {
    const std::string source = PatternBytes(6 * 320, 8);
    wave::SetVirtualCaptureSource(1, VirtualCaptureSource::Pcm(source));
    Open(1, PcmFormat(8000, 1, 16));
    AddAll(2, 320);  // 20 ms each
    RequeueUntil(6);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(wave::WaveInStart(device), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(6));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 120ms);
    EXPECT_TRUE(SameBytes(returned.CapturedBytes(), source));
}

// The way the sound card records: the callback queues filled buffers for a recorder thread,
// which takes what they hold and adds them again.
TEST_F(VirtualCapture, ARecorderThreadThatAddsBuffersBackGetsEveryByteInOrder) {
    const std::string source = PatternBytes(300 * 256, 12);
    wave::SetVirtualPacing(0, Pacing::FreeRunning);
    wave::SetVirtualCaptureSource(0, VirtualCaptureSource::Pcm(source));
    Open(0, PcmFormat(44100, 2, 16));
    std::mutex lock;
    std::condition_variable filled;
    std::vector<wave::WaveHeader*> recorded;
    returned.OnReturn([&](wave::WaveHeader* header) {
        std::lock_guard<std::mutex> guard(lock);
        recorded.push_back(header);
        filled.notify_one();
    });
    AddAll(4, 256);

    std::string file;
    std::thread recorder([&] {
        while (file.size() < source.size()) {
            wave::WaveHeader* header = nullptr;
            {
                std::unique_lock<std::mutex> guard(lock);
                filled.wait(guard, [&] { return !recorded.empty(); });
                header = recorded.front();
                recorded.erase(recorded.begin());
            }
            file.append(header->Data, header->BytesRecorded);
            EXPECT_EQ(wave::WaveInUnprepareHeader(device, header), wave::NoError);
            EXPECT_EQ(wave::WaveInPrepareHeader(device, header), wave::NoError);
            EXPECT_EQ(wave::WaveInAddBuffer(device, header), wave::NoError);
        }
    });
    ASSERT_EQ(wave::WaveInStart(device), wave::NoError);
    recorder.join();
    EXPECT_TRUE(SameBytes(file, source));
    // The buffers still queued come back now, while the callback's list still exists.
    ASSERT_EQ(wave::WaveInReset(device), wave::NoError);
    returned.OnReturn(nullptr);
}

TEST_F(VirtualCapture, NothingIsCapturedBeforeStartAndAfterStop) {
    wave::SetVirtualPacing(0, Pacing::FreeRunning);
    wave::SetVirtualCaptureSource(0, VirtualCaptureSource::Pcm(PatternBytes(4096, 9)));
    Open(0, PcmFormat(44100, 1, 8));
    AddAll(2, 1024);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(returned.Count(), 0u) << "buffers wait for Start";

    ASSERT_EQ(wave::WaveInStart(device), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(2));
    ASSERT_EQ(wave::WaveInStop(device), wave::NoError);
    TestBuffer late(1024);
    ASSERT_EQ(wave::WaveInPrepareHeader(device, &late.header), wave::NoError);
    ASSERT_EQ(wave::WaveInAddBuffer(device, &late.header), wave::NoError);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(returned.Count(), 2u) << "a stopped card fills nothing";

    ASSERT_EQ(wave::WaveInStart(device), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(3));
    EXPECT_TRUE(SameBytes(returned.CapturedBytes(), PatternBytes(4096, 9).substr(0, 3072)))
        << "capture goes on where it stopped";
    ASSERT_EQ(wave::WaveInUnprepareHeader(device, &late.header), wave::NoError);
}

TEST_F(VirtualCapture, ResetReturnsEveryQueuedBufferWithWhatItHoldsBeforeItReturns) {
    const std::string source = PatternBytes(176400, 10);
    wave::SetVirtualCaptureSource(0, VirtualCaptureSource::Pcm(source));
    Open(0, PcmFormat(44100, 2, 16));
    AddAll(3, 176400);  // a second each
    ASSERT_EQ(wave::WaveInStart(device), wave::NoError);
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(wave::WaveInReset(device), wave::NoError);

    const auto headers = returned.Headers();
    ASSERT_EQ(headers.size(), 3u);
    for (size_t i = 0; i < headers.size(); ++i)
        EXPECT_EQ(headers[i], &buffers[i]->header);
    const uint32_t held = buffers[0]->header.BytesRecorded;
    EXPECT_GT(held, 0u) << "the first buffer was being filled for 50 ms";
    EXPECT_LT(held, 176400u);
    EXPECT_EQ(held % 4, 0u) << "whole frames only";
    EXPECT_TRUE(SameBytes(buffers[0]->Recorded(), source.substr(0, held)));
    EXPECT_EQ(buffers[1]->header.BytesRecorded, 0u);
    EXPECT_EQ(buffers[2]->header.BytesRecorded, 0u);
    EXPECT_EQ(wave::WaveInClose(device), wave::NoError);
    device = nullptr;
}

TEST_F(VirtualCapture, StopReturnsOnlyThePartlyFilledBuffer) {
    Open(0, PcmFormat(44100, 2, 16));
    AddAll(2, 176400);
    ASSERT_EQ(wave::WaveInStart(device), wave::NoError);
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(wave::WaveInStop(device), wave::NoError);
    ASSERT_EQ(returned.Count(), 1u);
    EXPECT_GT(buffers[0]->header.BytesRecorded, 0u);
    EXPECT_EQ(buffers[1]->header.Flags & wave::HeaderInQueue, wave::HeaderInQueue);
    EXPECT_EQ(wave::WaveInClose(device), wave::StillPlaying);
}

TEST_F(VirtualCapture, PeakIsThatOfTheLatestCapturedBuffer) {
    wave::SetVirtualPacing(0, Pacing::FreeRunning);
    // First buffer: samples up to -20000; second: up to 1234.
    std::string source;
    auto put = [&](int16_t sample) { source.append(reinterpret_cast<char*>(&sample), 2); };
    for (int i = 0; i < 256; ++i)
        put(i == 100 ? -20000 : 300);
    for (int i = 0; i < 256; ++i)
        put(i == 7 ? 1234 : -5);
    wave::SetVirtualCaptureSource(0, VirtualCaptureSource::Pcm(source));
    Open(0, PcmFormat(44100, 1, 16));
    EXPECT_EQ(wave::WaveInGetPeak(device), 0u) << "nothing captured yet";
    AddAll(1, 512);
    ASSERT_EQ(wave::WaveInStart(device), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(1));
    EXPECT_EQ(wave::WaveInGetPeak(device), 20000u);
    ASSERT_EQ(wave::WaveInAddBuffer(device, &buffers[0]->header), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(2));
    EXPECT_EQ(wave::WaveInGetPeak(device), 1234u);
}

TEST_F(VirtualCapture, TestSignalIsASineOfTheRequestedAmplitudeInEightAndSixteenBits) {
    wave::SetVirtualPacing(0, Pacing::FreeRunning);
    wave::SetVirtualCaptureSource(0, VirtualCaptureSource::TestSignal(1000.0, 0.5));
    Open(0, PcmFormat(48000, 2, 16));
    AddAll(1, 48000 / 1000 * 4 * 4);  // four periods
    ASSERT_EQ(wave::WaveInStart(device), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(1));
    EXPECT_NEAR(wave::WaveInGetPeak(device), 16384, 20);
    const auto* samples = reinterpret_cast<const int16_t*>(buffers[0]->data.data());
    EXPECT_EQ(samples[0], 0);
    EXPECT_EQ(samples[0], samples[1]) << "the same on both channels";
    EXPECT_NEAR(samples[2 * 12], 16383, 2) << "a quarter period in";
    EXPECT_EQ(samples[2 * 48], samples[0]) << "one period later";
    ASSERT_EQ(wave::WaveInReset(device), wave::NoError);
    for (auto& buffer : buffers)
        wave::WaveInUnprepareHeader(device, &buffer->header);
    ASSERT_EQ(wave::WaveInClose(device), wave::NoError);

    Open(0, PcmFormat(8000, 1, 8));
    AddAll(1, 80);
    ASSERT_EQ(wave::WaveInStart(device), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(2));
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffers[0]->data.data());
    EXPECT_EQ(*std::max_element(bytes, bytes + 80), 128 + 64);
    EXPECT_EQ(*std::min_element(bytes, bytes + 80), 128 - 64);
}

}  // namespace
