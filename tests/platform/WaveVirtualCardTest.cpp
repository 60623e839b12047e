// The wave API on virtual cards: result codes and the lifetime of device handles, what is
// played and captured, in which order, and what stop, reset and close do with queued buffers.
// (Pacing, under-runs, overruns, lost and stalled cards: the real-time card tests in
// WaveAlsaTest.cpp, on this backend and on ALSA.)

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "WaveTestSupport.h"
#include "platform/os/FileDescriptor.h"
#include "platform/wave/VirtualOutput.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;
using wave::VirtualCaptureSource;

namespace {

using WaveDevices = WaveDeviceTest;

TEST_F(WaveDevices, EachRefusedCallAnswersWithItsWaveApiResultCode) {
    const WaveFormat cd = PcmFormat(44100, 2, 16);
    wave::DeviceCaps caps;
    EXPECT_EQ(wave::WaveOutGetDevCaps(2, caps), wave::BadDeviceId);
    EXPECT_EQ(wave::WaveInGetDevCaps(2, caps), wave::BadDeviceId);
    EXPECT_EQ(OpenOut(2, cd), wave::BadDeviceId);
    EXPECT_EQ(OpenIn(0xFFFFFFFFu, cd), wave::BadDeviceId);
    ASSERT_TRUE(out == nullptr && in == nullptr);

    // Only 8- or 16-bit mono or stereo PCM, its block size consistent.
    WaveFormat notPcm = cd, badAlign = cd;
    notPcm.FormatTag = 3;
    badAlign.BlockAlign = 2;
    for (const WaveFormat& format : {notPcm, badAlign, PcmFormat(44100, 2, 24),
                                     PcmFormat(44100, 3, 16), PcmFormat(0, 2, 16)}) {
        SCOPED_TRACE(::testing::Message() << format.FormatTag << "/" << format.Channels << "/"
                                          << format.BitsPerSample << "/" << format.BlockAlign);
        EXPECT_EQ(OpenOut(1, format), wave::BadFormat);
        EXPECT_EQ(OpenIn(1, format), wave::BadFormat);
    }

    ASSERT_EQ(OpenOut(1, PcmFormat(11025, 1, 8)), wave::NoError) << "refusals left it free";
    ASSERT_EQ(OpenIn(1, cd), wave::NoError) << "the card's other direction is separate";
    wave::WaveOut* secondOut = nullptr;
    wave::WaveIn* secondIn = nullptr;
    EXPECT_EQ(wave::WaveOutOpen(&secondOut, 1, cd, nullptr, nullptr), wave::Allocated);
    EXPECT_EQ(wave::WaveInOpen(&secondIn, 1, cd, nullptr, nullptr), wave::Allocated);

    TestBuffer buffer(64);
    EXPECT_EQ(wave::WaveOutWrite(out, &buffer.header), wave::Unprepared);
    ASSERT_EQ(wave::WaveOutPrepareHeader(out, &buffer.header), wave::NoError);
    ASSERT_EQ(wave::WaveOutUnprepareHeader(out, &buffer.header), wave::NoError);
    EXPECT_EQ(wave::WaveOutWrite(out, &buffer.header), wave::Unprepared);

    // A closed handle stays invalid, also once a new device took its place.
    wave::WaveOut* closed = out;
    ASSERT_EQ(wave::WaveOutClose(out), wave::NoError);
    ASSERT_EQ(OpenOut(1, cd), wave::NoError) << "closing freed the device";
    EXPECT_NE(out, closed);
    EXPECT_EQ(wave::WaveOutWrite(closed, &buffer.header), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveOutPrepareHeader(closed, &buffer.header), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveOutReset(closed), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveOutClose(closed), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveOutGetState(closed), wave::DeviceState::Invalid);
    EXPECT_EQ(wave::WaveOutGetState(out), wave::DeviceState::Working);
    // Neither a handle of the other direction nor one made up names a device.
    EXPECT_EQ(wave::WaveInStart(reinterpret_cast<wave::WaveIn*>(out)), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveOutReset(reinterpret_cast<wave::WaveOut*>(in)), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveOutReset(reinterpret_cast<wave::WaveOut*>(&buffer)), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveInStart(nullptr), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveInGetPeak(nullptr), 0u);
}

// One thread opens and closes a device over and over while others query, reset and close
// whatever handle it last published. Every call must find a live device or answer
// InvalidHandle; each device is closed exactly once (AddressSanitizer and ThreadSanitizer
// watch the memory).
TEST_F(WaveDevices, HandlesMayBeUsedAndClosedFromAnyThreadWhileTheirDeviceGoesAway) {
    wave::SetVirtualPacing(0, wave::Pacing::FreeRunning);
    std::atomic<wave::WaveOut*> published{nullptr};
    std::atomic<bool> done{false};
    std::atomic<int> opened{0}, closed{0}, unexpected{0};
    auto closeCounted = [&](wave::WaveOut* device) {
        const wave::Result result = wave::WaveOutClose(device);
        if (result == wave::NoError)
            ++closed;
        else if (result != wave::InvalidHandle && result != wave::StillPlaying &&
                 result != wave::HandleBusy)
            ++unexpected;
    };
    std::vector<std::thread> users;
    for (int t = 0; t < 3; ++t) {
        users.emplace_back([&, t] {
            while (!done) {
                wave::WaveOut* device = published.load();
                wave::WaveOutGetUnderruns(device);
                const wave::Result reset = wave::WaveOutReset(device);
                if (reset != wave::NoError && reset != wave::InvalidHandle)
                    ++unexpected;
                if (t == 0)
                    closeCounted(device);
                std::this_thread::yield();
            }
        });
    }
    TestBuffer buffer(256);
    for (int round = 0; round < 400 && unexpected == 0; ++round) {
        wave::WaveOut* device = nullptr;
        // The previous device may still be on its way out on another thread.
        wave::Result result;
        while ((result = wave::WaveOutOpen(&device, 0, PcmFormat(44100, 2, 16), nullptr,
                                           nullptr)) == wave::Allocated)
            std::this_thread::yield();
        if (result != wave::NoError) {
            ++unexpected;
            break;
        }
        ++opened;
        published = device;
        if (wave::WaveOutPrepareHeader(device, &buffer.header) == wave::NoError &&
            wave::WaveOutWrite(device, &buffer.header) == wave::NoError)
            wave::WaveOutReset(device);
        wave::WaveOutUnprepareHeader(device, &buffer.header);
        // A device another thread has not closed yet is closed here before the next round.
        while (wave::WaveOutGetState(device) != wave::DeviceState::Invalid)
            closeCounted(device);
    }
    done = true;
    for (std::thread& user : users)
        user.join();
    EXPECT_EQ(closed.load(), opened.load());
    EXPECT_EQ(unexpected.load(), 0);
}

// The way the sound card plays: a player thread fills and writes each buffer again as soon
// as the driver thread has handed it back.
TEST_F(WaveDevices, APlayerThreadRefillingEachBufferAsItComesBackHasEveryBytePlayedInOrder) {
    wave::SetVirtualPacing(1, wave::Pacing::FreeRunning);
    ASSERT_EQ(OpenOut(1, PcmFormat(44100, 2, 16)), wave::NoError);
    returned.OnReturn([this](wave::WaveHeader* header) {
        // Waiting for itself would hang the driver thread: refused instead.
        EXPECT_EQ(wave::WaveOutReset(out), wave::HandleBusy);
        EXPECT_EQ(wave::WaveOutClose(out), wave::HandleBusy);
        EXPECT_EQ(wave::WaveOutUnprepareHeader(out, header), wave::NoError);
    });
    buffers = MakeBuffers(4, 1024);
    constexpr uint32_t Total = 200;
    std::string written;
    std::thread player([&] {
        for (uint32_t i = 0; i < Total; ++i) {
            // Each buffer again once the one written four before it is back.
            ASSERT_TRUE(i < buffers.size() || returned.WaitFor(i - buffers.size() + 1));
            TestBuffer& buffer = *buffers[i % buffers.size()];
            const std::string bytes = PatternBytes(buffer.data.size(), i);
            std::ranges::copy(bytes, buffer.data.begin());
            written += bytes;
            QueueOne(out, buffer);
        }
    });
    const auto playerThread = player.get_id();
    player.join();
    ASSERT_TRUE(returned.WaitFor(Total));

    EXPECT_TRUE(SameBytes(wave::TakePlayedBytes(1), written));
    EXPECT_EQ(wave::TakePlayedBytes(0), "") << "the other card played nothing";
    const auto all = returned.All();
    for (const Returned& seen : all) {
        EXPECT_EQ(seen.message, wave::OutDone);
        EXPECT_EQ(seen.flags, wave::HeaderDone | wave::HeaderPrepared);
        EXPECT_EQ(seen.thread, all.front().thread) << "one driver thread";
        EXPECT_NE(seen.thread, std::this_thread::get_id());
        EXPECT_NE(seen.thread, playerThread);
    }
}

TEST_F(WaveDevices, ARealTimeCardPlaysAtItsRateAndResetReturnsWhatIsQueuedBeforeItReturns) {
    ASSERT_EQ(OpenOut(0, PcmFormat(8000, 1, 16)), wave::NoError);
    buffers = MakeBuffers(3, 1600);  // 100 ms each at 8000 Hz
    for (int i = 0; i < 2; ++i)
        buffers.push_back(std::make_unique<TestBuffer>(160000));  // 10 s each
    const auto start = std::chrono::steady_clock::now();
    QueueAll(out, buffers);
    EXPECT_EQ(returned.Count(), 0u) << "a real-time card cannot have finished a buffer yet";
    ASSERT_TRUE(returned.WaitFor(3));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);

    EXPECT_EQ(wave::WaveOutClose(out), wave::StillPlaying);
    EXPECT_EQ(wave::WaveOutUnprepareHeader(out, &buffers[4]->header), wave::StillPlaying);
    EXPECT_EQ(wave::WaveOutWrite(out, &buffers[4]->header), wave::StillPlaying)
        << "a queued header cannot be queued twice";
    ASSERT_EQ(wave::WaveOutReset(out), wave::NoError);
    const auto all = returned.All();
    ASSERT_EQ(all.size(), 5u);
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].header, &buffers[i]->header);
        EXPECT_EQ(all[i].flags, wave::HeaderDone | wave::HeaderPrepared);
    }
    EXPECT_TRUE(SameBytes(wave::TakePlayedBytes(0), Joined(buffers).substr(0, 3 * 1600)))
        << "what was reset was not played";
    EXPECT_EQ(wave::WaveOutUnprepareHeader(out, &buffers[4]->header), wave::NoError);
    EXPECT_EQ(buffers[4]->header.Flags, wave::HeaderDone);
}

// A render: the one card appends what it plays after what the file held, in order, and stops
// at the song's length; a file that cannot be written fails once, and the buffers still come
// back so that the engine's run goes on to its end.
TEST_F(WaveDevices, ACardPlayingIntoAFileAppendsUpToItsLimitAndAWriteErrorLetsItPlayOn) {
    TempDir folder;
    const std::string path = folder / "out.raw";
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    FileDescriptor full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(file.Valid() && full.Valid());
    ASSERT_EQ(::write(file.Get(), "head", 4), 4);
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "/dev/full" : "file");
        wave::UseVirtualOutputFile(fails ? full.Get() : file.Get(), fails ? 1 << 20 : 3000);
        ASSERT_EQ(wave::WaveOutGetNumDevs(), 1u);
        ASSERT_EQ(OpenOut(0, PcmFormat(44100, 2, 16)), wave::NoError);
        buffers = MakeBuffers(5, 1024);
        QueueAll(out, buffers);
        ASSERT_TRUE(returned.WaitFor(fails ? 10 : 5)) << "free-running: no clock to wait for";
        for (const Returned& seen : returned.All())
            EXPECT_EQ(seen.flags, wave::HeaderDone | wave::HeaderPrepared);
        const wave::VirtualOutputProgress progress = wave::GetVirtualOutputProgress();
        EXPECT_EQ(progress.bytesWritten, fails ? 0u : 3000u);
        EXPECT_EQ(progress.writeError, fails ? ENOSPC : 0);
        EXPECT_EQ(wave::PlayedByteCount(0), 0u) << "nothing is kept";
        for (auto& buffer : buffers)
            EXPECT_EQ(wave::WaveOutUnprepareHeader(out, &buffer->header), wave::NoError);
        ASSERT_EQ(wave::WaveOutClose(std::exchange(out, nullptr)), wave::NoError);
        if (!fails) {
            EXPECT_TRUE(SameBytes(ReadWholeFile(path), "head" + Joined(buffers).substr(0, 3000)));
        }
    }
    wave::UseVirtualCards(2);
    EXPECT_EQ(wave::GetVirtualOutputProgress().writeError, 0) << "other cards play into no file";
}

// The way the sound card records: a recorder thread takes what each buffer holds as it comes
// back and adds it again.
TEST_F(WaveDevices, ARecorderThreadReusingFourBuffersGetsTheSuppliedPcmExactlyThenSilence) {
    const std::string source = PatternBytes(50 * 256 + 100, 12);
    wave::SetVirtualPacing(0, wave::Pacing::FreeRunning);
    wave::SetVirtualCaptureSource(0, VirtualCaptureSource::Pcm(source));
    ASSERT_EQ(OpenIn(0, PcmFormat(44100, 2, 16)), wave::NoError);
    buffers = MakeBuffers(4, 256);
    QueueAll(in, buffers);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(returned.Count(), 0u) << "buffers wait for Start";

    std::string file;
    std::thread recorder([&] {
        for (size_t i = 0; i < 60; ++i) {
            ASSERT_TRUE(returned.WaitFor(i + 1));
            TestBuffer& buffer = *buffers[i % buffers.size()];
            file.append(buffer.header.Data, buffer.header.BytesRecorded);
            EXPECT_EQ(wave::WaveInUnprepareHeader(in, &buffer.header), wave::NoError);
            QueueOne(in, buffer);
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

TEST_F(WaveDevices, StopReturnsThePartlyFilledBufferAndResetEveryQueuedOneBeforeItReturns) {
    const std::string source = PatternBytes(176400, 10);
    wave::SetVirtualCaptureSource(0, VirtualCaptureSource::Pcm(source));
    ASSERT_EQ(OpenIn(0, PcmFormat(44100, 2, 16)), wave::NoError);
    buffers = MakeBuffers(3, 176400);  // a second each
    QueueAll(in, buffers);
    ASSERT_EQ(wave::WaveInStart(in), wave::NoError);
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(wave::WaveInStop(in), wave::NoError);
    ASSERT_EQ(returned.Count(), 1u);
    EXPECT_EQ(wave::WaveInClose(in), wave::StillPlaying);

    ASSERT_EQ(wave::WaveInStart(in), wave::NoError);
    std::this_thread::sleep_for(30ms);
    ASSERT_EQ(wave::WaveInReset(in), wave::NoError);
    const auto all = returned.All();
    ASSERT_EQ(all.size(), 3u);
    for (size_t i = 0; i < all.size(); ++i) {
        const uint32_t held = buffers[i]->header.BytesRecorded;
        EXPECT_EQ(all[i].header, &buffers[i]->header);
        EXPECT_TRUE(i == 2 ? held == 0 : held > 0 && held < 176400 && held % 4 == 0)
            << held << " in buffer " << i;
    }
    EXPECT_TRUE(SameBytes(Recorded(buffers), source.substr(0, Recorded(buffers).size())))
        << "capture goes on where it stopped";
}

TEST_F(WaveDevices, TheInputPeakIsThatOfTheLatestCapturedBuffer) {
    std::vector<int16_t> samples(512, 300);  // two buffers: peaks 20000 and 1234
    samples[100] = -20000;
    samples[256 + 7] = 1234;
    wave::SetVirtualPacing(0, wave::Pacing::FreeRunning);
    wave::SetVirtualCaptureSource(
        0, VirtualCaptureSource::Pcm(std::string(reinterpret_cast<char*>(samples.data()), 1024)));
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
