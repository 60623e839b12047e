#include "StorageFixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "core/EngineStatics.h"
#include "core/Log.h"

void StorageTest::SetUp() {
    char cwd[PATH_MAX];
    previous_ = getcwd(cwd, sizeof cwd) ? cwd : "/";
    dir_ = std::make_unique<TempDir>("zembla-storage");
    ASSERT_EQ(chdir(dir_->Path().c_str()), 0);
    BufferSize = DefaultBufferSize;
    SampleRate = DefaultSampleRate;
    CacheSize = static_cast<int32_t>(BufferSize * 100);
    ResetLogForNextRun();
}

void StorageTest::TearDown() {
    ResetLogForNextRun();
    if (chdir(previous_.c_str()) != 0)
        ADD_FAILURE() << "cannot go back to " << previous_;
    dir_.reset();
    BufferSize = DefaultBufferSize;
    SampleRate = DefaultSampleRate;
    CacheSize = static_cast<int32_t>(BufferSize * 100);
}

std::string StorageTest::LogText() const {
    return ReadWholeFile(Dir() + "/logfile.txt");
}

uint8_t PatternByte(uint64_t seed, int64_t offset) {
    uint64_t x =
        seed * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(offset) * 0xBF58476D1CE4E5B9ull;
    x ^= x >> 31;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 29;
    return static_cast<uint8_t>(x);
}

std::vector<uint8_t> Pattern(uint64_t seed, int64_t offset, size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = PatternByte(seed, offset + static_cast<int64_t>(i));
    return bytes;
}

std::vector<uint8_t> ReadStream(SegmentedFile& stream, int64_t from, size_t count) {
    std::vector<uint8_t> bytes(count);
    stream.ReadAt(from, bytes.data(), count);
    return bytes;
}

int64_t FileSize(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

void ExpectSegmentInvariants(const SegmentedFile& stream) {
    int64_t previousEnd = INT64_MIN;
    for (int i = 0; i < stream.GetSegmentCount(); ++i) {
        const FileSegment& segment = stream.GetSegment(i);
        EXPECT_GE(segment.Start, previousEnd) << "segment " << i << " overlaps or is out of order";
        EXPECT_GE(segment.Length, 0);
        EXPECT_EQ(FileSize(segment.FileName), segment.Length) << segment.FileName;
        previousEnd = segment.End();
    }
    EXPECT_EQ(stream.GetTotalBytes(), stream.GetSegmentCount() == 0 ? 0 : previousEnd);
}
