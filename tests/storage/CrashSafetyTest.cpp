// A recording killed in the middle must open again with everything that left its cache.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "StorageFixture.h"
#include "storage/SuperWaveFile.h"

namespace {

constexpr int32_t ChildCache = 16384;
constexpr int64_t TakeFrame = 441000;  // 10 s into the song
constexpr uint64_t TakeSeed = 9;

// The child: records an endless take through the cache and reports, after every buffer, how
// many bytes have left the cache for the segment file.
[[noreturn]] void RecordUntilKilled(int reportFd) {
    try {
        CacheSize = ChildCache;
        SuperWaveFile track;
        track.Open("channel1_");
        track.SetFormat(TrackFormat(2, 16));
        track.SeekFrames(TakeFrame);
        for (int64_t appended = 0;; appended += 4410) {
            track.AppendBytes(Pattern(TakeSeed, appended, 4410).data(), 4410);
            int64_t written = appended + 4410 - track.GetCacheFill();
            if (write(reportFd, &written, sizeof written) != sizeof written)
                _exit(2);
            usleep(200);
        }
    } catch (...) {
        _exit(3);
    }
}

class CrashSafetyTest : public StorageTest {};

TEST_F(CrashSafetyTest, AKilledRecordingKeepsAllButItsUnflushedCacheBlock) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(report[0]);
        RecordUntilKilled(report[1]);
    }
    close(report[1]);

    // Kill it in the middle of the take, well after several cache blocks reached the file. (The
    // reports only grow: the last one read counts.)
    int64_t written = 0;
    while (written < 6 * ChildCache &&
           read(report[0], &written, sizeof written) == sizeof written) {
    }
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "child ended " << status;
    for (int64_t value; read(report[0], &value, sizeof value) == sizeof value;)
        written = value;
    close(report[0]);
    ASSERT_GE(written, 6 * ChildCache);

    SuperWaveFile track;
    track.Open("channel1_");
    EXPECT_EQ(track.Format.Channels, 2) << "the take keeps its format";
    EXPECT_EQ(track.Format.BitsPerSample, 16);
    ASSERT_EQ(track.GetSegmentCount(), 1);
    const int64_t start = (TakeFrame * 4 + 1023) / 1024 * 1024;
    EXPECT_EQ(track.GetSegment(0).Start, start);
    const int64_t kept = track.GetTotalBytes() - start;
    EXPECT_GE(kept, written) << "bytes that had left the cache are lost";
    EXPECT_EQ(ReadStream(track, start, static_cast<size_t>(kept)),
              Pattern(TakeSeed, 0, static_cast<size_t>(kept)));
}

}  // namespace
