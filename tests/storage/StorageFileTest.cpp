// How the track files meet the page cache: an unbuffered file writes past it (O_DIRECT) but is
// read through it, so that a track played or bounced again comes from memory; and a read after
// a direct write sees the written bytes, never a stale cached page. (Tracks read through such
// files, with and without a cache: ReadMixBufferTest.)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "StorageFixture.h"
#include "platform/os/PageBuffer.h"
#include "storage/StorageFile.h"

namespace {

constexpr size_t Block = 256 * 1024;

// The share of the file's pages that are in the page cache (mapping the file faults none in).
double CachedShare(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    void* map = size > 0 ? ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, fd, 0)
                         : MAP_FAILED;
    ::close(fd);
    if (map == MAP_FAILED)
        return -1;
    const size_t page = PageBuffer::PageSize();
    std::vector<unsigned char> resident((static_cast<size_t>(size) + page - 1) / page);
    const int result = ::mincore(map, static_cast<size_t>(size), resident.data());
    ::munmap(map, static_cast<size_t>(size));
    if (result != 0)
        return -1;
    size_t cached = 0;
    for (unsigned char flags : resident)
        cached += flags & 1;
    return static_cast<double>(cached) / static_cast<double>(resident.size());
}

// Takes the file's pages out of the page cache (its data is on the disk first).
void Evict(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << path;
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

PageBuffer PatternBlock(uint64_t seed, size_t bytes) {
    PageBuffer block;
    EXPECT_TRUE(block.Allocate(bytes));
    const Bytes pattern = Pattern(seed, 0, bytes);
    std::memcpy(block.Data(), pattern.data(), bytes);
    return block;
}

class StorageFileTest : public StorageTest {};

TEST_F(StorageFileTest, AnUnbufferedFileWritesPastThePageCacheAndIsReadThroughIt) {
    StorageFile file;
    ASSERT_TRUE(file.OpenReadWrite("segment", FileSequentialScan | FileNoBuffering));
    if (!file.IsDirectCapable())
        GTEST_SKIP() << "the temporary folder's file system refuses O_DIRECT";

    const PageBuffer written = PatternBlock(1, Block);
    ASSERT_EQ(file.WriteAt(0, written.Data(), Block), Block);
    EXPECT_EQ(CachedShare("segment"), 0.0) << "an aligned write went through the page cache";

    Evict("segment");
    PageBuffer read;
    ASSERT_TRUE(read.Allocate(Block));
    ASSERT_EQ(file.ReadAt(0, read.Data(), Block), Block);
    EXPECT_EQ(std::memcmp(read.Data(), written.Data(), Block), 0);
    EXPECT_EQ(CachedShare("segment"), 1.0) << "an aligned read bypassed the page cache";

    // The pages just cached must not hide what a direct write puts on the disk, aligned or not.
    const PageBuffer overwrite = PatternBlock(2, 8192);
    ASSERT_EQ(file.WriteAt(4096, overwrite.Data(), 8192), 8192u);
    ASSERT_EQ(file.WriteAt(20001, overwrite.Data(), 3), 3u);
    ASSERT_EQ(file.ReadAt(0, read.Data(), Block), Block);
    EXPECT_EQ(std::memcmp(read.Data(), written.Data(), 4096), 0);
    EXPECT_EQ(std::memcmp(read.Data() + 4096, overwrite.Data(), 8192), 0);
    EXPECT_EQ(std::memcmp(read.Data() + 20001, overwrite.Data(), 3), 0);
    EXPECT_EQ(std::memcmp(read.Data() + 20004, written.Data() + 20004, Block - 20004), 0);
}

}  // namespace
