// Playback through virtual cards: what is played, in which order, at which pace, and how
// reset and close treat queued buffers. (Under-runs, lost and stalled cards: the real-time
// card tests in WaveAlsaTest.cpp, on this backend and on ALSA.)

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "WaveTestSupport.h"
#include "platform/os/FileDescriptor.h"
#include "platform/wave/VirtualOutput.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;

namespace {

using VirtualPlayback = WaveDeviceTest;

// The way the sound card plays: a player thread fills and writes each buffer again as soon
// as the driver thread has handed it back.
TEST_F(VirtualPlayback, APlayerThreadRefillingEachBufferAsItComesBackHasEveryBytePlayedInOrder) {
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
            EXPECT_EQ(wave::WaveOutPrepareHeader(out, &buffer.header), wave::NoError);
            EXPECT_EQ(wave::WaveOutWrite(out, &buffer.header), wave::NoError);
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

TEST_F(VirtualPlayback, ARealTimeCardPlaysAtItsRateAndResetReturnsWhatIsQueuedBeforeItReturns) {
    ASSERT_EQ(OpenOut(0, PcmFormat(8000, 1, 16)), wave::NoError);
    buffers = MakeBuffers(3, 1600);  // 100 ms each at 8000 Hz
    for (int i = 0; i < 2; ++i)
        buffers.push_back(std::make_unique<TestBuffer>(160000));  // 10 s each
    const auto start = std::chrono::steady_clock::now();
    QueueAll(out, buffers);
    EXPECT_EQ(returned.All().size(), 0u) << "a real-time card cannot have finished a buffer yet";
    ASSERT_TRUE(returned.WaitFor(1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
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
TEST_F(VirtualPlayback, ACardPlayingIntoAFileAppendsWhatItPlaysUpToItsLimitAndKeepsNothing) {
    TempDir folder;
    const std::string path = folder / "out.raw";
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    ASSERT_TRUE(file.Valid());
    ASSERT_EQ(::write(file.Get(), "head", 4), 4);
    wave::UseVirtualOutputFile(file.Get(), 3000);
    ASSERT_EQ(wave::WaveOutGetNumDevs(), 1u);
    wave::DeviceCaps caps;
    ASSERT_EQ(wave::WaveOutGetDevCaps(0, caps), wave::NoError);
    EXPECT_EQ(caps.ProductName, "Virtual card 0");

    ASSERT_EQ(OpenOut(0, PcmFormat(44100, 2, 16)), wave::NoError);
    buffers = MakeBuffers(5, 1024);
    QueueAll(out, buffers);
    ASSERT_TRUE(returned.WaitFor(5)) << "free-running: no clock to wait for";
    EXPECT_TRUE(SameBytes(ReadWholeFile(path), "head" + Joined(buffers).substr(0, 3000)));
    EXPECT_EQ(wave::GetVirtualOutputProgress().bytesWritten, 3000u);
    EXPECT_EQ(wave::GetVirtualOutputProgress().writeError, 0);
    EXPECT_EQ(wave::PlayedByteCount(0), 0u);
}

TEST_F(VirtualPlayback, ACardPlayingIntoAFileThatCannotBeWrittenReportsTheErrorAndPlaysOn) {
    FileDescriptor full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(full.Valid());
    wave::UseVirtualOutputFile(full.Get(), 1 << 20);
    ASSERT_EQ(OpenOut(0, PcmFormat(44100, 2, 16)), wave::NoError);
    buffers = MakeBuffers(3, 1024);
    QueueAll(out, buffers);
    ASSERT_TRUE(returned.WaitFor(3));
    for (const Returned& seen : returned.All())
        EXPECT_EQ(seen.flags, wave::HeaderDone | wave::HeaderPrepared);
    EXPECT_EQ(wave::GetVirtualOutputProgress().writeError, ENOSPC);
    EXPECT_EQ(wave::GetVirtualOutputProgress().bytesWritten, 0u);

    wave::UseVirtualCards(2);
    EXPECT_EQ(wave::GetVirtualOutputProgress().writeError, 0) << "other cards play into no file";
}

}  // namespace
