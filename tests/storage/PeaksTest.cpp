#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "StorageFixture.h"
#include "TrackHelpers.h"
#include "core/EngineStatics.h"
#include "storage/SuperWaveFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The level bytes computed the slow, obvious way over the whole stream padded to whole
// chunks of BufferSize * 4 bytes (gaps and the padding as fill).
std::vector<uint8_t> ReferenceLevels(const WaveFormat& format, const StreamModel& model,
                                     int64_t total, int32_t resolution, uint8_t fill) {
    const int64_t chunk = int64_t{BufferSize} * 4;
    const int64_t padded = (total + chunk - 1) / chunk * chunk;
    Bytes bytes = ModelBytes(model, 0, static_cast<size_t>(padded), fill);
    const size_t frameBytes = format.BlockAlign;
    std::vector<uint8_t> levels;
    int64_t sum = 0;
    for (size_t f = 0; f * frameBytes < bytes.size(); ++f) {
        const uint8_t* p = &bytes[f * frameBytes];
        int magnitude;
        if (format.BitsPerSample == 16) {
            int left = static_cast<int16_t>(p[0] | (p[1] << 8));
            magnitude =
                format.Channels == 2
                    ? (std::abs(left) + std::abs(static_cast<int16_t>(p[2] | (p[3] << 8)))) / 512
                    : std::abs(left) / 256;
        } else {
            magnitude = std::abs(p[0] - 128);
        }
        sum += magnitude;
        if (f % static_cast<size_t>(resolution) == 0) {
            levels.push_back(static_cast<uint8_t>(std::min<int64_t>(255, 4 * sum / resolution)));
            sum = 0;
        }
    }
    return levels;
}

class PeaksTest : public StorageTest {
  protected:
    void SetUp() override {
        StorageTest::SetUp();
        BufferSize = 1024;  // chunks of 4096 bytes
    }
    std::vector<uint8_t> Levels(SuperWaveFile& track) {
        uint8_t* peaks = nullptr;
        int32_t count = -1;
        track.GetPeaks(peaks, count);
        if (!peaks)
            return {};
        return std::vector<uint8_t>(peaks, peaks + count + 1);
    }
};

TEST_F(PeaksTest, LevelsFollowTheFormulaAcrossChunksForEveryFormat) {
    int n = 0;
    for (const WaveFormat& format :
         {TrackFormat(2, 16), TrackFormat(1, 16), TrackFormat(2, 8), TrackFormat(1, 8)}) {
        SuperWaveFile track;
        track.Open("channel" + std::to_string(++n) + "_");
        track.SetFormat(format);
        // Quiet random data (levels below saturation), a gap, loud data (saturated levels).
        StreamModel model(40000, -1);
        Bytes quiet = Pattern(n, 0, 15000);
        for (uint8_t& b : quiet)
            b = static_cast<uint8_t>(format.BitsPerSample == 8 ? 128 + b % 16 - 8 : b);
        if (format.BitsPerSample == 16)
            for (size_t i = 1; i < quiet.size(); i += 2)
                quiet[i] = static_cast<uint8_t>(quiet[i] % 8 - 4);
        Bytes loud = Pattern(n + 10, 20000, 13001);
        track.WriteAt(0, quiet.data(), quiet.size());
        track.WriteAt(20000, loud.data(), loud.size());
        for (size_t i = 0; i < quiet.size(); ++i)
            model[i] = quiet[i];
        for (size_t i = 0; i < loud.size(); ++i)
            model[20000 + i] = loud[i];
        const int64_t total = track.GetTotalBytes();

        for (int32_t resolution : {1, 7, 300, 441, 5000}) {
            track.BuildPeaks(resolution);
            std::vector<uint8_t> expected =
                ReferenceLevels(format, model, total, resolution, track.GetFillByte());
            std::vector<uint8_t> levels = Levels(track);
            // The array holds PeakCount + 1 bytes; the reference produces as many or one less.
            int64_t chunk = 4096;
            int64_t count = (total + chunk - 1) / chunk * chunk / resolution;
            if (format.Channels == 2)
                count /= 2;
            if (format.BitsPerSample == 16)
                count /= 2;
            ASSERT_EQ(levels.size(), static_cast<size_t>(count) + 1) << resolution;
            ASSERT_LE(expected.size(), levels.size());
            levels.resize(expected.size());
            EXPECT_EQ(levels, expected)
                << format.Channels << "ch " << format.BitsPerSample << "bit at " << resolution;
        }
    }
}

TEST_F(PeaksTest, AFullScaleSquareWaveSaturatesInsteadOfWrapping) {
    SuperWaveFile track;
    track.Open("channel1_");
    track.SetFormat(TrackFormat(2, 16));
    std::vector<int16_t> square(8192);
    for (size_t i = 0; i < square.size(); ++i)
        square[i] = (i / 200) % 2 ? 32767 : -32767;
    track.WriteAt(0, reinterpret_cast<const uint8_t*>(square.data()), square.size() * 2);
    track.BuildPeaks(441);
    std::vector<uint8_t> levels = Levels(track);
    ASSERT_GE(levels.size(), 5u);
    EXPECT_EQ(levels[1], 255);  // 4 x 127 = 508, which would wrap to 252
    EXPECT_EQ(levels[0], 1);    // the first byte covers frame 0 alone: 4 x 127 / 441
}

TEST_F(PeaksTest, GroupsStraddlingChunksKeepTheirEarlierPart) {
    SuperWaveFile track;
    track.Open("channel1_");
    track.SetFormat(TrackFormat(1, 16));
    // Constant magnitude 10; chunks hold 2048 frames, groups 300 frames: group 7 (frames
    // 1801..2100) straddles the first chunk boundary and must still read 40.
    std::vector<int16_t> samples(6000, 2560);
    track.WriteAt(0, reinterpret_cast<const uint8_t*>(samples.data()), samples.size() * 2);
    track.BuildPeaks(300);
    std::vector<uint8_t> levels = Levels(track);
    ASSERT_GE(levels.size(), 20u);
    for (size_t k = 1; k < 20; ++k)
        EXPECT_EQ(levels[k], 40) << "group " << k;
}

TEST_F(PeaksTest, AnEmptyTrackHasAnEmptyArray) {
    SuperWaveFile track;
    track.Open("channel1_");
    track.SetFormat(TrackFormat(2, 16));
    track.BuildPeaks(441);
    uint8_t* peaks = nullptr;
    int32_t count = -1;
    track.GetPeaks(peaks, count);
    EXPECT_NE(peaks, nullptr);
    EXPECT_EQ(count, 0);

    track.BuildPeaks(0);  // no resolution, no array, no division by zero
    track.GetPeaks(peaks, count);
    EXPECT_EQ(peaks, nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(PeaksTest, TheArrayIsReusedUntilTheAudioOrTheResolutionChanges) {
    SuperWaveFile track;
    track.Open("channel1_");
    track.SetFormat(TrackFormat(1, 16));
    std::vector<int16_t> samples(5000, 12800);  // magnitude 50: level 200
    track.WriteAt(0, reinterpret_cast<const uint8_t*>(samples.data()), samples.size() * 2);
    track.BuildPeaks(100);
    uint8_t* first = nullptr;
    int32_t count = 0;
    track.GetPeaks(first, count);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first[5], 200);

    // Same resolution: nothing is read again (the segment file is gone and it still shows).
    track.CloseHandles();
    ASSERT_EQ(unlink("channel1_1"), 0);
    track.BuildPeaks(100);
    uint8_t* again = nullptr;
    track.GetPeaks(again, count);
    EXPECT_EQ(again, first);
    EXPECT_EQ(again[5], 200);

    track.BuildPeaks(50);  // another resolution: rebuilt from what is on disk now
    track.GetPeaks(again, count);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again[5], 0);

    track.Save();  // the audio changed
    track.GetPeaks(again, count);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(count, 0);
    track.BuildPeaks(50);
    track.GetPeaks(again, count);
    EXPECT_NE(again, nullptr);
}

}  // namespace
