#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "platform/PageBuffer.h"
#include "platform/ProgramDirectory.h"

TEST(PlatformEvent, AnAutoResetEventReleasesOneWaiterAndClearsItself) {
    Event event(false, true);
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
    EXPECT_FALSE(event.Wait(20));  // times out
    event.Set();
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.IsSet());
}

TEST(PlatformEvent, AManualResetEventStaysSetForEveryWaiterUntilReset) {
    Event event(true, false);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (event.Wait())
                ++released;
        });
    event.Set();
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(released.load(), 3);
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(PlatformEvent, ASetFromAnotherThreadWakesAWaiterWithoutTimeLimit) {
    Event event(false, false);
    std::thread setter([&] { event.Set(); });
    EXPECT_TRUE(event.Wait());
    setter.join();
}

TEST(PlatformMemory, PageBuffersArePageAlignedZeroedAndMovable) {
    PageBuffer buffer;
    ASSERT_TRUE(buffer.Allocate(10000));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.Data()) % PageBuffer::PageSize(), 0u);
    for (size_t i = 0; i < buffer.Size(); ++i)
        ASSERT_EQ(buffer.Data()[i], 0);
    buffer.Data()[9999] = 7;
    PageBuffer moved = std::move(buffer);
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(moved.Data()[9999], 7);
    ASSERT_TRUE(moved.Allocate(0));
    EXPECT_EQ(moved.Data(), nullptr);
}

TEST(PlatformProgramDirectory, IsTheFolderOfTheRunningExecutable) {
    std::string dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "/platform_core_tests"));
}
