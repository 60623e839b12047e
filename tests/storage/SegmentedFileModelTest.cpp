// Random edits applied both to a segmented stream and to a plain byte array that models it:
// every read must agree, and after every step the segment invariants must hold.
#include <unistd.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "StorageFixture.h"
#include "storage/SegmentedFile.h"

namespace {

constexpr uint8_t Fill = 0x55;
constexpr int16_t Gap = -1;
constexpr int64_t Space = 80000;

struct ModelCase {
    const char* name;
    uint32_t flags;
    uint32_t seed;
    int steps;
    // In memory (/dev/shm) the many metafile syncs cost nothing; on disk the unbuffered
    // segments really go through O_DIRECT with its alignment rules.
    bool onDisk;
};

void PrintTo(const ModelCase& c, std::ostream* out) {
    *out << c.name << " seed " << c.seed << (c.onDisk ? " on disk" : " in memory");
}

class SegmentedFileModelTest : public StorageTest, public ::testing::WithParamInterface<ModelCase> {
  protected:
    void SetUp() override {
        StorageTest::SetUp();
        char pattern[] = "/dev/shm/zembla-model-XXXXXX";
        if (!GetParam().onDisk && mkdtemp(pattern)) {
            memoryDir_ = pattern;
            ASSERT_EQ(chdir(memoryDir_.c_str()), 0);
        }
        model.assign(Space, Gap);
        Reload();
    }

    void TearDown() override {
        stream.reset();
        if (!memoryDir_.empty()) {
            EXPECT_EQ(chdir(Dir().c_str()), 0);
            RemoveTree(memoryDir_);
        }
        StorageTest::TearDown();
    }

    void Reload() {
        stream = std::make_unique<TestStream>();
        stream->SetFill(Fill);
        stream->SetFlags(GetParam().flags);
        stream->LoadMetafile("channel1_");
    }

    int64_t ModelLength() const {
        for (int64_t i = Space - 1; i >= 0; --i)
            if (model[i] != Gap)
                return i + 1;
        return 0;
    }

    // An offset at, or a little around, a segment boundary: where the rules have edges.
    int64_t Offset(std::mt19937& random) {
        std::vector<int32_t> segments = stream->GetSegments();
        if (segments.empty() || random() % 2 == 0)
            return random() % 60000;
        int32_t boundary = segments[random() % segments.size() / 3 * 3 + random() % 2];
        return std::max<int64_t>(0, boundary + static_cast<int>(random() % 5) - 2);
    }

    void Write(int64_t offset, size_t count, uint64_t seed, bool sequential = false) {
        // Writing one byte past a segment's end extends that segment, so the skipped byte
        // becomes part of it (a zero in the file), unless a segment starts right at offset.
        if (offset >= 2 && model[offset - 1] == Gap && model[offset - 2] != Gap &&
            model[offset] == Gap)
            model[offset - 1] = 0;
        std::vector<uint8_t> data = Pattern(seed, offset, count);
        for (size_t i = 0; i < count; ++i)
            model[offset + static_cast<int64_t>(i)] = data[i];
        if (sequential) {
            stream->SetPosition(static_cast<int32_t>(offset));
            EXPECT_EQ(stream->Write(data.data(), count), offset + static_cast<int64_t>(count));
        } else {
            stream->WriteAt(offset, data.data(), count);
        }
    }

    void Clear(int64_t from, int64_t to) {
        for (int64_t i = std::max<int64_t>(from, 0); i < std::min(to, Space); ++i)
            model[i] = Gap;
        stream->ClearRange(static_cast<int32_t>(from), static_cast<int32_t>(to));
    }

    void CheckRead(int64_t offset, size_t count) {
        std::vector<uint8_t> got(count);
        bool any = stream->ReadAt(offset, got.data(), count);
        bool anyExpected = false;
        for (size_t i = 0; i < count; ++i) {
            int64_t at = offset + static_cast<int64_t>(i);
            int16_t want = at >= 0 && at < Space ? model[at] : Gap;
            anyExpected = anyExpected || want != Gap;
            if (got[i] != (want == Gap ? Fill : want)) {
                ADD_FAILURE() << "byte " << at << " reads " << int{got[i]} << ", expected "
                              << (want == Gap ? int{Fill} : int{want});
                return;
            }
        }
        EXPECT_EQ(any, anyExpected) << "read at " << offset << " of " << count;
    }

    std::vector<int16_t> model;
    std::unique_ptr<TestStream> stream;

  private:
    std::string memoryDir_;
};

TEST_P(SegmentedFileModelTest, RandomEditsMatchAPlainByteArray) {
    std::mt19937 random(GetParam().seed);
    for (int step = 0; step < GetParam().steps && !HasFailure(); ++step) {
        SCOPED_TRACE("step " + std::to_string(step) + " of seed " +
                     std::to_string(GetParam().seed));
        unsigned choice = random() % 100;
        if (choice < 35) {
            size_t count = random() % 2 ? 1 + random() % 64 : 1 + random() % 6000;
            Write(Offset(random), count, random());
        } else if (choice < 47) {
            int64_t from = Offset(random);
            Clear(from, from + static_cast<int>(random() % 9000) - 500);
        } else if (choice < 85) {
            CheckRead(static_cast<int64_t>(random() % 70000) - 100, 1 + random() % 20000);
        } else if (choice < 92) {
            stream->SaveMetafile();
            Reload();
        } else if (choice < 96) {
            stream->CloseHandles();
        } else {
            // The sequential forms at a chosen position.
            int64_t at = Offset(random);
            stream->SetPosition(static_cast<int32_t>(at));
            size_t count = 1 + random() % 3000;
            uint64_t seed = random();
            std::vector<uint8_t> data = Pattern(seed, at, count);
            Write(at, count, seed, true);
            stream->SetPosition(static_cast<int32_t>(at));
            std::vector<uint8_t> back(count);
            EXPECT_TRUE(stream->Read(back.data(), count));
            EXPECT_EQ(back, data);
            EXPECT_EQ(stream->GetPosition(), at + static_cast<int64_t>(count));
        }
        ExpectSegmentInvariants(*stream);
        ASSERT_EQ(stream->GetTotalBytes(), ModelLength());
    }
    CheckRead(0, Space);
    stream->SaveMetafile();
    Reload();
    CheckRead(0, Space);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, SegmentedFileModelTest,
    ::testing::Values(ModelCase{"Buffered", FileSequentialScan, 1, 2500, false},
                      ModelCase{"Buffered", FileSequentialScan, 2, 2500, false},
                      ModelCase{"Unbuffered", FileSequentialScan | FileNoBuffering, 3, 2500, false},
                      ModelCase{"UnbufferedOnDisk", FileSequentialScan | FileNoBuffering, 4, 600,
                                true}),
    [](const ::testing::TestParamInfo<ModelCase>& param) {
        return std::string(param.param.name) + std::to_string(param.param.seed);
    });

}  // namespace
