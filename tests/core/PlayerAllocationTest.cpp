// The player thread never allocates, nor does its signal to the MIDI follower: every allocation
// through operator new is counted when it is made on the thread being watched.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "core/MidiFollower.h"
#include "core/TransportTestSupport.h"
#include "platform/sequencer/RecordingSequencer.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "support/MidiFiles.h"

namespace {

std::atomic<pid_t> watched{0};
std::atomic<int> allocations{0};

void* Allocate(std::size_t bytes, std::size_t alignment = 0) {
    if (watched.load(std::memory_order_relaxed) != 0 && gettid() == watched.load())
        ++allocations;
    void* block = nullptr;
    if (alignment > sizeof(void*)) {
        if (posix_memalign(&block, alignment, bytes ? bytes : 1) != 0)
            block = nullptr;
    } else {
        block = std::malloc(bytes ? bytes : 1);
    }
    if (!block)
        throw std::bad_alloc();
    return block;
}

void* AllocateOrNull(std::size_t bytes, std::size_t alignment = 0) noexcept {
    try {
        return Allocate(bytes, alignment);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// The count works: an allocation on the watched thread is seen.
void ExpectTheCountWorks() {
    static int* volatile probe;
    watched = gettid();
    probe = new int(1);
    watched = 0;
    delete probe;
    ASSERT_EQ(allocations.exchange(0), 1);
}

using PlayerThread = TransportTest;

}  // namespace

// Every form of operator new and delete goes to Allocate and free, so that each allocation and
// its release meet the same allocator.
#define ZEMBLA_REPLACE_NEW(qualifier, allocate, ...)                               \
    void* operator new(std::size_t bytes __VA_OPT__(, ) __VA_ARGS__) qualifier {   \
        return allocate;                                                           \
    }                                                                              \
    void* operator new[](std::size_t bytes __VA_OPT__(, ) __VA_ARGS__) qualifier { \
        return allocate;                                                           \
    }
#define ZEMBLA_REPLACE_DELETE(...)                                            \
    void operator delete(void* block __VA_OPT__(, ) __VA_ARGS__) noexcept {   \
        std::free(block);                                                     \
    }                                                                         \
    void operator delete[](void* block __VA_OPT__(, ) __VA_ARGS__) noexcept { \
        std::free(block);                                                     \
    }

ZEMBLA_REPLACE_NEW(, Allocate(bytes))
ZEMBLA_REPLACE_NEW(, Allocate(bytes, static_cast<std::size_t>(alignment)),
                   std::align_val_t alignment)
ZEMBLA_REPLACE_NEW(noexcept, AllocateOrNull(bytes), const std::nothrow_t&)
ZEMBLA_REPLACE_NEW(noexcept, AllocateOrNull(bytes, static_cast<std::size_t>(alignment)),
                   std::align_val_t alignment, const std::nothrow_t&)
ZEMBLA_REPLACE_DELETE()
ZEMBLA_REPLACE_DELETE(std::size_t)
ZEMBLA_REPLACE_DELETE(std::align_val_t)
ZEMBLA_REPLACE_DELETE(std::size_t, std::align_val_t)
ZEMBLA_REPLACE_DELETE(const std::nothrow_t&)
ZEMBLA_REPLACE_DELETE(std::align_val_t, const std::nothrow_t&)

TEST_F(PlayerThread, MakesNoAllocationAfterItsFirstBufferWhileTheGuiEditsAndChangesEffects) {
    ExpectTheCountWorks();
    wave::SetVirtualPacing(0, wave::Pacing::RealTime);
    ASSERT_EQ(Mixer->AddCard(0), 1);
    std::vector<Channel*> tracks;
    for (int n = 0; n < 16; ++n) {
        tracks.push_back(AddTrack(n % 2 == 0, n % 3 != 0, n * 1024, 200000));
        if (n % 4 == 0)
            Automate(tracks.back(), 50 + 40 * n, 0.8f, 0.1f);
        // The effects beside the program (ReadSettings loaded them).
        if (n % 2 == 0)
            tracks.back()->AddPlugin("Echo");
    }
    Mixer->Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::vector<pid_t> player = ThreadsNamed("zembla-player");
    ASSERT_EQ(player.size(), 1u);
    watched = player[0];
    for (int step = 0; step < 40; ++step) {
        Channel* track = tracks[static_cast<size_t>(step % 16)];
        track->Enable(step % 3 != 0);
        track->SetOffsetVol(0.5f + 0.01f * static_cast<float>(step));
        track->Fade(static_cast<unsigned long>(Mixer->GetPos_ms() + 100),
                    static_cast<unsigned long>(Mixer->GetPos_ms() + 400), EventTypes::VolumeFade,
                    0.25f);
        if (step / 16 % 2 == 0)  // each track gains the effect, loses it, and gains it again
            track->AddPlugin("Gain");
        else
            track->RemovePlugin("Gain");
        track->RealTimeFade(true, true);
        track->Volume(0.7f);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        track->RealTimeFade(false, true);
    }
    const int32_t heard = PlayPos.load();
    watched = 0;
    Mixer->Stop();
    EXPECT_GT(heard, 44100 / 2) << "the player ran";
    EXPECT_EQ(allocations.load(), 0);
}

TEST_F(PlayerThread, ItsCardsStartedSignalToTheMidiFollowerMakesNoAllocation) {
    ExpectTheCountWorks();
    auto recorder = std::make_shared<sequencer::RecordingSequencer>();
    sequencer::UseBackend(recorder);
    const std::string song = PathIn("song.mid");
    WriteWholeFile(song, midi_bytes::OneNoteFile(100, 200));
    {
        MidiFollower follower;
        auto signalFromAWatchedThread = [&](unsigned long heardMs) {
            std::thread([&] {
                watched = gettid();
                follower.CardsStarted(heardMs);
                watched = 0;
            }).join();
        };
        // Before a run is prepared the signal finds nothing to do, and costs nothing either.
        signalFromAWatchedThread(5);
        follower.Prepare(song);
        signalFromAWatchedThread(1234);
        EXPECT_EQ(allocations.load(), 0);
        ASSERT_TRUE(WaitUntil([&] {
            return recorder->CommandNames() == "open status time format play";
        })) << recorder->CommandNames();
        EXPECT_EQ(recorder->Commands().back().value, 1234u) << "the signal carried the position";
        follower.Stop();
    }
    sequencer::UseDefaultBackend();
}
