// The wave API's result codes and the lifetime of device handles, on virtual cards.

#include <atomic>
#include <thread>

#include "WaveTestSupport.h"
#include "platform/wave/virtual/VirtualCards.h"

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
        EXPECT_EQ(OpenOut(1, format), wave::BadFormat)
            << format.FormatTag << "/" << format.Channels << "/" << format.BitsPerSample;
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
    const WaveFormat cd = PcmFormat(44100, 2, 16);
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
    for (int round = 0; round < 400; ++round) {
        wave::WaveOut* device = nullptr;
        // The previous device may still be on its way out on another thread.
        wave::Result result;
        while ((result = wave::WaveOutOpen(&device, 0, cd, nullptr, nullptr)) == wave::Allocated)
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
        closeCounted(device);
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

}  // namespace
