// The wave API's result codes, on virtual cards.

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

    ASSERT_EQ(wave::WaveOutClose(out), wave::NoError);
    EXPECT_EQ(wave::WaveOutWrite(out, &buffer.header), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveOutReset(out), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveOutClose(out), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveInStart(nullptr), wave::InvalidHandle);
    EXPECT_EQ(wave::WaveInGetPeak(nullptr), 0u);
    EXPECT_EQ(OpenOut(1, cd), wave::NoError) << "closing freed the device";
}

}  // namespace
