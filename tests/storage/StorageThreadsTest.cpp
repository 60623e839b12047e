// The track storage's threads at once: the player reading a track while the GUI builds its
// peaks, and a recorder finishing a take while the GUI asks for that track's peaks. Run under
// ThreadSanitizer as well.
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "StorageFixture.h"
#include "platform/wave/WaveApi.h"
#include "storage/SuperWaveFile.h"

namespace {

class StorageThreadsTest : public StorageTest {};

TEST_F(StorageThreadsTest, ThePlayerAndARecorderRunWhileTheGuiBuildsPeaks) {
    BufferSize = 1024;
    CacheSize = 16384;
    SuperWaveFile played;
    played.Open("channel1_");
    played.SetFormat(TrackFormat(2, 16));
    const Bytes audio = Pattern(4, 0, 200000);
    played.WriteAt(0, audio.data(), audio.size());
    played.Save();
    played.CloseHandles();
    SuperWaveFile recorded;
    recorded.Open("channel2_");
    recorded.SetFormat(TrackFormat(1, 16));
    recorded.WriteAt(0, Bytes(50000, 0x40).data(), 50000);
    recorded.BuildPeaks(441);
    Bytes take = Pattern(6, 0, 4096);
    recorded.Writing = true;  // the card marks the track before its recorder starts
    recorded.SeekFrames(0);

    std::atomic<bool> stop{false};
    std::atomic<int> mismatches{0};
    std::thread player([&] {
        std::vector<int16_t> data(BufferSize * 2);
        while (!stop.load()) {
            played.SeekFrames(0);
            for (size_t k = 0; k < 40; ++k) {
                if (!played.ReadMixBuffer(data.data()) ||
                    std::memcmp(data.data(), audio.data() + k * 4096, 4096) != 0)
                    ++mismatches;
            }
            played.CloseHandles();
        }
    });
    std::thread recorder([&] {
        wave::WaveHeader buffer;
        buffer.Data = reinterpret_cast<char*>(take.data());
        buffer.BufferLength = buffer.BytesRecorded = static_cast<uint32_t>(take.size());
        for (int i = 0; i < 40; ++i)
            recorded.AppendRecorded(buffer);
        recorded.FinishRecording();
        recorded.Writing = false;
    });
    uint8_t* peaks = nullptr;
    int32_t count = 0;
    for (int i = 0; i < 30 || (recorded.Writing && i < 2000); ++i) {
        played.BuildPeaks(100 + i % 3);
        played.GetPeaks(peaks, count);
        EXPECT_TRUE(peaks && count > 0);
        recorded.GetPeaks(peaks, count);
        if (!peaks)
            recorded.BuildPeaks(441);
    }
    recorder.join();
    stop = true;
    player.join();
    EXPECT_EQ(mismatches.load(), 0);
    recorded.BuildPeaks(441);
    recorded.GetPeaks(peaks, count);
    EXPECT_NE(peaks, nullptr);
    EXPECT_EQ(recorded.GetTotalBytes(), 40 * 4096);
    EXPECT_EQ(ReadStream(recorded, 0, 4096), take);
}

}  // namespace
