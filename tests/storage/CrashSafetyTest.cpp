// A recording must survive a crash: killed in the middle, it opens again with everything that
// left its cache; and while it goes on, the recorder makes it durable at least once a second of
// audio, the metafile listing a new segment before the segment holds any data.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "StorageFixture.h"
#include "platform/os/Files.h"
#include "platform/wave/WaveApi.h"
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

// What the file operations did, in order, with the bytes the take had appended at that moment.
struct FileEvent {
    FileOperation operation;
    std::string path;
    int64_t appended;
};
std::mutex eventsLock;
std::vector<FileEvent> events;
int64_t appendedSoFar = 0;

void NoteEvent(FileOperation operation, const char* path) {
    std::lock_guard<std::mutex> guard(eventsLock);
    events.push_back({operation, path, appendedSoFar});
}

TEST_F(CrashSafetyTest, ATakeReachesTheDiskAtLeastOnceASecondOfAudioListedBeforeItsData) {
    constexpr int64_t Second = 44100 * 4;
    constexpr uint32_t BufferBytes = 2048 * 4;
    for (int32_t cache : {0, 204800}) {
        SCOPED_TRACE(cache);
        CacheSize = cache;
        const std::string name = "channel" + std::to_string(cache) + "_";
        SuperWaveFile track;
        track.Open(name);
        track.SetFormat(TrackFormat(2, 16));
        track.SeekFrames(0);
        events.clear();
        appendedSoFar = 0;
        SetFileOperationObserver(&NoteEvent);
        Bytes take = Pattern(3, 0, 10 * Second);
        wave::WaveHeader buffer;
        buffer.BufferLength = BufferBytes;
        buffer.BytesRecorded = BufferBytes;
        for (int64_t at = 0; at + BufferBytes <= 10 * Second; at += BufferBytes) {
            buffer.Data = reinterpret_cast<char*>(take.data() + at);
            track.AppendRecorded(buffer);
            {
                std::lock_guard<std::mutex> guard(eventsLock);
                appendedSoFar = at + BufferBytes;
            }
            track.KeepDurable();
        }
        SetFileOperationObserver(nullptr);

        const std::string segment = name + "1";
        int64_t durable = 0;
        bool listed = false;
        for (const FileEvent& event : events) {
            if (event.operation == FileOperation::Replace && event.path == name)
                listed = true;
            if (event.path != segment)
                continue;
            EXPECT_TRUE(listed) << "segment data before the metafile listed it";
            if (event.operation == FileOperation::DataSync) {
                EXPECT_LE(event.appended - durable, Second) << "more than a second at risk";
                durable = event.appended;
            }
        }
        EXPECT_GT(durable, 9 * Second - BufferBytes);
        // What was made durable is on disk as it was recorded, the take still going on.
        EXPECT_EQ(ReadWholeFile(segment).substr(0, static_cast<size_t>(durable)),
                  std::string(take.begin(), take.begin() + durable));
        track.FinishRecording();
        take.resize(static_cast<size_t>(appendedSoFar));
        EXPECT_EQ(ReadStream(track, 0, take.size()), take);
    }
}

}  // namespace
