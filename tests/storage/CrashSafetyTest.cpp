// A recording must survive a power loss: while it goes on, the recorder makes it durable at
// least once a second of audio, the metafile listing a new segment before the segment holds any
// data. (A take killed in the middle is tested through the engine, in RecordingTest.cpp.)
#include <mutex>

#include "StorageFixture.h"
#include "platform/os/Files.h"
#include "platform/wave/WaveApi.h"
#include "storage/SuperWaveFile.h"

namespace {

class CrashSafetyTest : public StorageTest {};

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
