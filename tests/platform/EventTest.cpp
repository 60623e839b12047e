#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/os/Event.h"
#include "platform/os/PageBuffer.h"
#include "platform/os/ProgramDirectory.h"

TEST(PlatformEvent, AutoResetReleasesOneWaiterAndManualResetStaysSetUntilReset) {
    Event automatic(false, true);
    EXPECT_TRUE(automatic.Wait(0));
    EXPECT_FALSE(automatic.Wait(20));  // cleared by the first wait: times out
    std::thread setter([&] { automatic.Set(); });
    EXPECT_TRUE(automatic.Wait());
    setter.join();

    Event manual(true, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] { released += manual.Wait(); });
    manual.Set();
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(released.load(), 3);
    EXPECT_TRUE(manual.IsSet());
    manual.Reset();
    EXPECT_FALSE(manual.Wait(0));
}

TEST(PlatformMemory, PageBuffersArePageAlignedZeroedAndMovable) {
    PageBuffer buffer;
    ASSERT_TRUE(buffer.Allocate(10000));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.Data()) % PageBuffer::PageSize(), 0u);
    EXPECT_EQ(buffer.Data()[9999], 0);
    buffer.Data()[9999] = 7;
    PageBuffer moved = std::move(buffer);
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(moved.Data()[9999], 7);
}

TEST(PlatformProgramDirectory, IsTheFolderOfTheRunningExecutable) {
    EXPECT_TRUE(std::filesystem::exists(ProgramDirectory() + "/platform_core_tests"));
}
