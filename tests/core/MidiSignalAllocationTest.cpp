// The player's signal to the MIDI follower allocates nothing: every allocation through operator
// new is counted when it is made on the thread being watched.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "core/MidiFollower.h"
#include "platform/sequencer/RecordingSequencer.h"
#include "support/MidiFiles.h"
#include "support/TempDir.h"

namespace {

std::atomic<pid_t> watched{0};
std::atomic<int> allocations{0};

void* Allocate(std::size_t bytes) {
    if (watched.load(std::memory_order_relaxed) != 0 && gettid() == watched.load())
        ++allocations;
    if (void* block = std::malloc(bytes ? bytes : 1))
        return block;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t bytes) {
    return Allocate(bytes);
}
void* operator new[](std::size_t bytes) {
    return Allocate(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    try {
        return Allocate(bytes);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

TEST(MidiFollowerSignal, ThePlayersCardsStartedSignalMakesNoAllocation) {
    // The count works: an allocation on the watched thread is seen.
    static int* volatile probe;
    watched = gettid();
    probe = new int(1);
    watched = 0;
    delete probe;
    ASSERT_EQ(allocations.exchange(0), 1);

    auto recorder = std::make_shared<sequencer::RecordingSequencer>();
    sequencer::UseBackend(recorder);
    TempDir dir("midi-signal");
    const std::string song = dir.Path() + "/song.mid";
    WriteWholeFile(song, midi_bytes::OneNoteFile(100, 200));
    {
        MidiFollower follower;
        // Before a run is prepared the signal finds nothing to do, and costs nothing either.
        std::thread([&] {
            watched = gettid();
            follower.CardsStarted(5);
            watched = 0;
        }).join();
        follower.Prepare(song);
        std::thread([&] {
            watched = gettid();
            follower.CardsStarted(1234);
            watched = 0;
        }).join();
        EXPECT_EQ(allocations.load(), 0);

        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (recorder->CommandNames() != "open status time format play" &&
               std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(recorder->CommandNames(), "open status time format play");
        EXPECT_EQ(recorder->Commands().back().value, 1234u) << "the signal carried the position";
        follower.Stop();
    }
    sequencer::UseDefaultBackend();
}
