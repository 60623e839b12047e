// The track storage's threads: the player reading, a recorder finishing a take and the GUI
// building peaks, at the same time. Run under ThreadSanitizer as well.
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "StorageFixture.h"
#include "TrackHelpers.h"
#include "core/EngineStatics.h"
#include "storage/SuperWaveFile.h"

namespace {

class StorageThreadsTest : public StorageTest {};

TEST_F(StorageThreadsTest, PeaksBuildWhileThePlayerReadsTheSameTrack) {
    BufferSize = 1024;
    CacheSize = 16384;
    SuperWaveFile track;
    track.Open("channel1_");
    track.SetFormat(TrackFormat(2, 16));
    std::vector<uint8_t> audio = Pattern(4, 0, 200000);
    track.WriteAt(0, audio.data(), audio.size());
    track.Save();
    track.CloseHandles();

    std::atomic<bool> stop{false};
    std::atomic<int> mismatches{0};
    std::thread player([&] {
        std::vector<int16_t> data(BufferSize * 2);
        while (!stop.load()) {
            track.SeekFrames(0);
            for (size_t k = 0; k < 40; ++k) {
                if (!track.ReadMixBuffer(data.data()) ||
                    std::memcmp(data.data(), audio.data() + k * 4096, 4096) != 0)
                    ++mismatches;
            }
            track.CloseHandles();
        }
    });
    for (int i = 0; i < 30; ++i) {
        track.BuildPeaks(100 + i % 3);
        uint8_t* peaks = nullptr;
        int32_t count = 0;
        track.GetPeaks(peaks, count);
        EXPECT_NE(peaks, nullptr);
        EXPECT_GT(count, 0);
    }
    stop = true;
    player.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST_F(StorageThreadsTest, ARecorderFinishesATakeWhileTheGuiAsksForPeaks) {
    CacheSize = 16384;
    SuperWaveFile track;
    track.Open("channel2_");
    track.SetFormat(TrackFormat(1, 16));
    std::vector<uint8_t> first(50000, 0x40);
    track.WriteAt(0, first.data(), first.size());
    track.BuildPeaks(441);

    std::vector<uint8_t> take = Pattern(6, 0, 4096);
    track.Writing = true;  // the card marks the track before its recorder starts
    track.SeekFrames(0);
    std::thread recorder([&] {
        wave::WaveHeader buffer;
        buffer.Data = reinterpret_cast<char*>(take.data());
        buffer.BufferLength = buffer.BytesRecorded = static_cast<uint32_t>(take.size());
        for (int i = 0; i < 40; ++i)
            track.AppendRecorded(buffer);
        track.FinishRecording();
        track.Writing = false;
    });
    int rebuilt = 0;
    for (int i = 0; i < 2000 && (track.Writing || rebuilt < 2); ++i) {
        uint8_t* peaks = nullptr;
        int32_t count = 0;
        track.GetPeaks(peaks, count);
        if (!peaks) {
            track.BuildPeaks(441);
            ++rebuilt;
        }
        std::this_thread::yield();
    }
    recorder.join();
    track.BuildPeaks(441);
    uint8_t* peaks = nullptr;
    int32_t count = 0;
    track.GetPeaks(peaks, count);
    ASSERT_NE(peaks, nullptr);
    EXPECT_EQ(track.GetTotalBytes(), 40 * 4096);
    EXPECT_EQ(ReadStream(track, 0, 4096), take);
}

}  // namespace
