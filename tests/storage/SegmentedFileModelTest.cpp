// Random edits applied both to a segmented stream and to a plain byte array that models it:
// every read must agree, and after every step the segment invariants must hold.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "StorageFixture.h"

namespace {

constexpr uint8_t Fill = 0x55;
constexpr int16_t Gap = -1;
constexpr int64_t Space = 80000;

// Segment files opened with these flags, in memory or on disk: in memory (/dev/shm) the many
// metafile syncs cost nothing; on disk unbuffered segments really meet O_DIRECT's alignment rules.
class SegmentedFileModelTest : public StorageTest,
                               public ::testing::WithParamInterface<std::tuple<uint32_t, bool>> {
  protected:
    void SetUp() override {
        StorageTest::SetUp();
        char pattern[] = "/dev/shm/zembla-model-XXXXXX";
        if (!OnDisk() && mkdtemp(pattern)) {
            memoryDir_ = pattern;
            ASSERT_EQ(chdir(memoryDir_.c_str()), 0);
        }
        Reload();
    }
    void TearDown() override {
        stream.reset();
        StorageTest::TearDown();
        if (!memoryDir_.empty())
            RemoveTree(memoryDir_);
    }

    void Reload() {
        stream = std::make_unique<TestStream>();
        stream->SetFill(Fill);
        stream->SetFlags(std::get<0>(GetParam()));
        stream->LoadMetafile("channel1_");
    }

    // Sorted, never overlapping, each file exactly Length bytes, the length the last end.
    void ExpectInvariants() {
        int64_t end = 0;
        for (int i = 0; i < stream->GetSegmentCount(); ++i) {
            const FileSegment& segment = stream->GetSegment(i);
            EXPECT_GE(segment.Start, end) << "segment " << i << " overlaps or is out of order";
            std::error_code error;
            EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(segment.FileName, error)),
                      segment.Length);
            end = segment.End();
        }
        int64_t modelEnd = Space;
        while (modelEnd > 0 && model[modelEnd - 1] == Gap)
            --modelEnd;
        ASSERT_EQ(stream->GetTotalBytes(), end);
        ASSERT_EQ(end, modelEnd);
    }

    // An offset anywhere, or a little around a segment boundary, where the rules have edges.
    int64_t Offset() {
        std::vector<int32_t> segments = stream->GetSegments();
        if (segments.empty() || rng() % 2 == 0)
            return rng() % 60000;
        int32_t boundary = segments[rng() % segments.size() / 3 * 3 + rng() % 2];
        // Never past 60000, so that no write (at most 6000 bytes) leaves the model's space.
        return std::clamp<int64_t>(boundary + static_cast<int>(rng() % 5) - 2, 0, 60000);
    }

    void Write(int64_t offset, size_t count, bool sequential) {
        // Writing one byte past a segment's end extends that segment, so the skipped byte
        // becomes part of it (a zero in the file), unless a segment starts right at offset.
        if (offset >= 2 && model[offset - 1] == Gap && model[offset - 2] != Gap &&
            model[offset] == Gap)
            model[offset - 1] = 0;
        Bytes data = Pattern(rng(), offset, count);
        std::copy(data.begin(), data.end(), model.begin() + offset);
        if (!sequential) {
            stream->WriteAt(offset, data.data(), count);
            return;
        }
        stream->SetPosition(static_cast<int32_t>(offset));
        EXPECT_EQ(stream->Write(data.data(), count), offset + static_cast<int64_t>(count));
        Bytes back(count);
        stream->SetPosition(static_cast<int32_t>(offset));
        EXPECT_TRUE(stream->Read(back.data(), count));
        EXPECT_EQ(back, data);
        EXPECT_EQ(stream->GetPosition(), offset + static_cast<int64_t>(count));
    }

    void CheckRead(int64_t offset, size_t count) {
        Bytes got(count), want(count);
        bool any = stream->ReadAt(offset, got.data(), count), anyExpected = false;
        for (size_t i = 0; i < count; ++i) {
            int64_t at = offset + static_cast<int64_t>(i);
            int16_t byte = at >= 0 && at < Space ? model[at] : Gap;
            anyExpected = anyExpected || byte != Gap;
            want[i] = static_cast<uint8_t>(byte == Gap ? Fill : byte);
        }
        auto differs = std::mismatch(got.begin(), got.end(), want.begin()).first;
        ASSERT_TRUE(differs == got.end()) << "byte " << offset + (differs - got.begin());
        EXPECT_EQ(any, anyExpected) << "read at " << offset << " of " << count;
    }

    bool OnDisk() const { return std::get<1>(GetParam()); }

    std::mt19937 rng{std::get<0>(GetParam()) * 2 + OnDisk()};
    std::vector<int16_t> model = std::vector<int16_t>(Space, Gap);
    std::unique_ptr<TestStream> stream;

  private:
    std::string memoryDir_;
};

TEST_P(SegmentedFileModelTest, RandomEditsMatchAPlainByteArray) {
    for (int step = 0; step < (OnDisk() ? 600 : 4000) && !HasFailure(); ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        unsigned choice = rng() % 100;
        if (choice < 35) {
            Write(Offset(), rng() % 2 ? 1 + rng() % 64 : 1 + rng() % 6000, false);
        } else if (choice < 47) {
            int64_t from = Offset(), to = from + static_cast<int>(rng() % 9000) - 500;
            for (int64_t i = from; i < std::min(to, Space); ++i)
                model[i] = Gap;
            stream->ClearRange(static_cast<int32_t>(from), static_cast<int32_t>(to));
        } else if (choice < 85) {
            CheckRead(static_cast<int64_t>(rng() % 70000) - 100, 1 + rng() % 20000);
        } else if (choice < 92) {
            stream->SaveMetafile();
            Reload();
        } else if (choice < 96) {
            stream->CloseHandles();
        } else {
            Write(Offset(), 1 + rng() % 3000, true);
        }
        ExpectInvariants();
    }
    stream->SaveMetafile();
    Reload();
    CheckRead(0, Space);
}

INSTANTIATE_TEST_SUITE_P(Streams, SegmentedFileModelTest,
                         ::testing::Values(std::tuple{FileSequentialScan, false},
                                           std::tuple{FileSequentialScan | FileNoBuffering, false},
                                           std::tuple{FileSequentialScan | FileNoBuffering, true}));

}  // namespace
