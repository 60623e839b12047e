#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "StorageFixture.h"
#include "storage/SuperWaveFile.h"

namespace {

// The level bytes computed the slow, obvious way from the stream's bytes (padded to whole
// chunks): one byte per resolution frames, the first for frame 0 alone.
Bytes ReferenceLevels(const WaveFormat& format, const Bytes& bytes, int32_t resolution) {
    auto sample = [&](size_t i) { return std::abs(int16_t(bytes[i] | bytes[i + 1] << 8)); };
    Bytes levels;
    int64_t sum = 0;
    for (size_t f = 0, i = 0; i < bytes.size(); ++f, i += format.BlockAlign) {
        if (format.BitsPerSample == 8)
            sum += std::abs(bytes[i] - 128);
        else
            sum += format.Channels == 2 ? (sample(i) + sample(i + 2)) / 512 : sample(i) / 256;
        if (f % static_cast<size_t>(resolution) == 0) {
            levels.push_back(static_cast<uint8_t>(std::min<int64_t>(255, 4 * sum / resolution)));
            sum = 0;
        }
    }
    return levels;
}

Bytes Levels(SuperWaveFile& track) {
    uint8_t* peaks = nullptr;
    int32_t count = -1;
    track.GetPeaks(peaks, count);
    return peaks ? Bytes(peaks, peaks + count + 1) : Bytes{};
}

class PeaksTest : public StorageTest {};

TEST_F(PeaksTest, LevelsFollowTheFormulaAcrossChunksAndSaturateForEveryFormat) {
    BufferSize = 1024;  // chunks of 4096 bytes
    int n = 0;
    for (const WaveFormat& format :
         {TrackFormat(2, 16), TrackFormat(1, 16), TrackFormat(2, 8), TrackFormat(1, 8)}) {
        SuperWaveFile track;
        track.Open("channel" + std::to_string(++n) + "_");
        track.SetFormat(format);
        // Quiet data (low levels), a gap, full-scale data (levels past 255 unless saturated).
        const bool eight = format.BitsPerSample == 8;
        Bytes quiet = Pattern(n, 0, 15000);
        Bytes loud = Pattern(n + 10, 20000, 13001);
        // The bytes that set a sample's size: every byte of 8-bit audio, the high ones of 16-bit.
        for (size_t i = eight ? 0 : 1; i < loud.size(); i += eight ? 1 : 2) {
            if (i < quiet.size())
                quiet[i] = static_cast<uint8_t>((eight ? 124 : 252) + quiet[i] % 8);
            loud[i] = static_cast<uint8_t>(loud[i] % 2 ? (eight ? 255 : 0x7F) : (eight ? 0 : 0x80));
        }
        track.WriteAt(0, quiet.data(), quiet.size());
        track.WriteAt(20000, loud.data(), loud.size());
        const size_t padded = (track.GetTotalBytes() + 4095) / 4096 * 4096;
        const Bytes bytes = ReadStream(track, 0, padded);

        // Groups of 300 and 441 frames straddle chunk boundaries inside the quiet data.
        for (int32_t resolution : {1, 7, 300, 441, 5000}) {
            SCOPED_TRACE(::testing::Message() << format.Channels << "ch " << format.BitsPerSample
                                              << "bit at " << resolution);
            track.BuildPeaks(resolution);
            Bytes levels = Levels(track);
            Bytes expected = ReferenceLevels(format, bytes, resolution);
            // The array holds PeakCount + 1 bytes; the reference makes as many or one less.
            ASSERT_EQ(levels.size(), padded / format.BlockAlign / resolution + 1);
            ASSERT_LE(expected.size(), levels.size());
            levels.resize(expected.size());
            EXPECT_EQ(levels, expected);
            if (resolution < 5000) {  // the loud data has groups of its own
                EXPECT_NE(std::count(levels.begin(), levels.end(), 255), 0);
            }
        }
    }
}

TEST_F(PeaksTest, TheArrayIsReusedUntilTheAudioOrTheResolutionChanges) {
    BufferSize = 1024;
    SuperWaveFile track;
    track.Open("channel1_");
    track.SetFormat(TrackFormat(1, 16));
    track.BuildPeaks(0);  // no resolution: no array, and no division by zero
    EXPECT_EQ(Levels(track), Bytes{});
    track.BuildPeaks(100);
    uint8_t* peaks = nullptr;
    int32_t count = -1;
    track.GetPeaks(peaks, count);
    EXPECT_TRUE(peaks && count == 0) << "an empty track has an empty array";

    std::vector<int16_t> samples(5000, 12800);  // magnitude 50: level 200
    track.WriteAt(0, reinterpret_cast<const uint8_t*>(samples.data()), samples.size() * 2);
    track.Save();
    track.BuildPeaks(100);
    EXPECT_EQ(Levels(track).at(5), 200);

    // Same resolution: nothing is read again (the segment file is gone and it still shows).
    track.CloseHandles();
    ASSERT_EQ(unlink("channel1_1"), 0);
    track.BuildPeaks(100);
    EXPECT_EQ(Levels(track).at(5), 200);
    track.BuildPeaks(50);  // another resolution: rebuilt from what is on disk now
    EXPECT_EQ(Levels(track).at(5), 0);
    track.Save();  // the audio changed
    EXPECT_EQ(Levels(track), Bytes{});
}

}  // namespace
