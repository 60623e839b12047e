// Capture through virtual cards: what a buffer holds when it comes back, in which order,
// and what stop, reset and the input peak report. (Timing, overruns and a lost card: the
// real-time card tests in WaveAlsaTest.cpp, on this backend and on ALSA.)

#include <chrono>

#include "WaveTestSupport.h"
#include "platform/wave/virtual/VirtualCards.h"

using namespace std::chrono_literals;
using wave::VirtualCaptureSource;

namespace {

using VirtualCapture = WaveDeviceTest;

// The way the sound card records: a recorder thread takes what each buffer holds as it comes
// back and adds it again.
TEST_F(VirtualCapture, ARecorderThreadReusingFourBuffersGetsTheSuppliedPcmExactlyThenSilence) {
    const std::string source = PatternBytes(50 * 256 + 100, 12);
    wave::SetVirtualPacing(0, wave::Pacing::FreeRunning);
    wave::SetVirtualCaptureSource(0, VirtualCaptureSource::Pcm(source));
    ASSERT_EQ(OpenIn(0, PcmFormat(44100, 2, 16)), wave::NoError);
    buffers = MakeBuffers(4, 256);
    QueueAll(in, buffers);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(returned.All().size(), 0u) << "buffers wait for Start";

    std::string file;
    std::thread recorder([&] {
        for (size_t i = 0; i < 60; ++i) {
            ASSERT_TRUE(returned.WaitFor(i + 1));
            wave::WaveHeader& header = buffers[i % buffers.size()]->header;
            file.append(header.Data, header.BytesRecorded);
            EXPECT_EQ(wave::WaveInUnprepareHeader(in, &header), wave::NoError);
            EXPECT_EQ(wave::WaveInPrepareHeader(in, &header), wave::NoError);
            EXPECT_EQ(wave::WaveInAddBuffer(in, &header), wave::NoError);
        }
    });
    ASSERT_EQ(wave::WaveInStart(in), wave::NoError);
    recorder.join();

    ASSERT_EQ(file.size(), 60u * 256);
    EXPECT_TRUE(SameBytes(file.substr(0, source.size()), source));
    EXPECT_EQ(file.find_first_not_of('\0', source.size()), std::string::npos) << "then silence";
    for (const Returned& seen : returned.All()) {
        EXPECT_EQ(seen.message, wave::InData);
        EXPECT_EQ(seen.flags, wave::HeaderDone | wave::HeaderPrepared);
    }
}

TEST_F(VirtualCapture, StopReturnsThePartlyFilledBufferAndResetEveryQueuedOneBeforeItReturns) {
    const std::string source = PatternBytes(176400, 10);
    wave::SetVirtualCaptureSource(0, VirtualCaptureSource::Pcm(source));
    ASSERT_EQ(OpenIn(0, PcmFormat(44100, 2, 16)), wave::NoError);
    buffers = MakeBuffers(3, 176400);  // a second each
    QueueAll(in, buffers);
    ASSERT_EQ(wave::WaveInStart(in), wave::NoError);
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(wave::WaveInStop(in), wave::NoError);
    ASSERT_EQ(returned.All().size(), 1u);
    EXPECT_EQ(wave::WaveInClose(in), wave::StillPlaying);

    ASSERT_EQ(wave::WaveInStart(in), wave::NoError);
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(wave::WaveInReset(in), wave::NoError);
    const auto all = returned.All();
    ASSERT_EQ(all.size(), 3u);
    for (size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(all[i].header, &buffers[i]->header);
    for (size_t i = 0; i < 2; ++i) {
        const uint32_t held = buffers[i]->header.BytesRecorded;
        EXPECT_TRUE(held > 0 && held < 176400 && held % 4 == 0) << held << " in buffer " << i;
    }
    EXPECT_EQ(buffers[2]->header.BytesRecorded, 0u);
    EXPECT_TRUE(SameBytes(Recorded(buffers), source.substr(0, Recorded(buffers).size())))
        << "capture goes on where it stopped";
}

TEST_F(VirtualCapture, PeakIsThatOfTheLatestCapturedBuffer) {
    std::vector<int16_t> samples(512, 300);  // two buffers: peaks 20000 and 1234
    samples[100] = -20000;
    samples[256 + 7] = 1234;
    const std::string source(reinterpret_cast<char*>(samples.data()), 1024);
    wave::SetVirtualPacing(0, wave::Pacing::FreeRunning);
    wave::SetVirtualCaptureSource(0, VirtualCaptureSource::Pcm(source));
    ASSERT_EQ(OpenIn(0, PcmFormat(44100, 1, 16)), wave::NoError);
    EXPECT_EQ(wave::WaveInGetPeak(in), 0u) << "nothing captured yet";
    buffers = MakeBuffers(1, 512);
    QueueAll(in, buffers);
    ASSERT_EQ(wave::WaveInStart(in), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(1));
    EXPECT_EQ(wave::WaveInGetPeak(in), 20000u);
    ASSERT_EQ(wave::WaveInAddBuffer(in, &buffers[0]->header), wave::NoError);
    ASSERT_TRUE(returned.WaitFor(2));
    EXPECT_EQ(wave::WaveInGetPeak(in), 1234u);
}

}  // namespace
