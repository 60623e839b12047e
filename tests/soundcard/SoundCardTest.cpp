#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <list>
#include <thread>

#include "core/PalkMixer.h"
#include "core/ThrownMessage.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "soundcard/SoundCard.h"
#include "soundcard/WaveBuff.h"
#include "support/EngineFixture.h"

using ::testing::ElementsAre;
using SoundCardBuffers = EngineTest;
using DeviceErrors = EngineTest;

TEST_F(SoundCardBuffers, InitCreatesOneOutputAndInputBufferPerEngineBufferAndOpensNothing) {
    Mixer->ReadSettings();
    {
        SoundCard card(SoundCard::Antal);
        card.Init(3);
        EXPECT_EQ(card.DeviceName, "Virtual card 3");
        ASSERT_EQ(card.OutputBufferCount(), 4u);
        ASSERT_EQ(card.InputBufferCount(), 4u);
        EXPECT_EQ(card.OutputBuffer(3).Length(), 8192u);
        EXPECT_EQ(card.InputBuffer(3).Length(), 8192u);
        // The device is not held open: another card can take it.
        SoundCard other(SoundCard::Antal);
        other.Init(3);
        EXPECT_EQ(SoundCard::Antal, 2);

        card.CreateBuffers(4, 3000);  // 12000 bytes, rounded down to whole kilobytes
        EXPECT_EQ(card.OutputBuffer(0).Length(), 11u * 1024);
        EXPECT_EQ(card.InputBuffer(3).Length(), 11u * 1024);
    }
    EXPECT_EQ(SoundCard::Antal, 0);  // and both recorder threads ended
}

TEST_F(DeviceErrors, ResultCodesBecomeTextsNamingTheDevice) {
    const std::pair<unsigned, const char*> table[] = {
        {2, "The specified device ID is out of range."},
        {4, "The specified resource is already allocated."},
        {5, "The specified device handle is invalid."},
        {6, "No device driver is present."},
        {7, "The system is unable to allocate or lock memory."},
        {12, "The handle is in use on another thread."},
        {32,
         "The system attempted to open with an unsupported wave format\nor the device is "
         "allready open in a non-compatible mode. Check ya other applications!"},
        {33, "Can't close device, there are still buffers in the queue."},
        {34, "The buffer hasn't been prepared."},
        {1, "Unknown error, failed to open wavedevice"},
    };
    for (const auto& [code, text] : table) {
        OrvellError error = SoundCard::GetError(code, 1);
        EXPECT_EQ(error.Message, std::string(text) + "\nDevice: Virtual card 1") << code;
        EXPECT_EQ(error.Code, 2);
    }
    EXPECT_EQ(SoundCard::GetError(4, 99).Message,
              "The specified resource is already allocated.\nDevice: ");

    // Opening a card that does not exist (a negative identifier is sign-extended).
    SoundCard card(0);
    EXPECT_THROW(card.Init(9), OrvellError);
    EXPECT_EQ(ThrownMessage<OrvellError>([&] { card.Init(static_cast<char>(-1)); }),
              "The specified device ID is out of range.\nDevice: ");
}

TEST_F(DeviceErrors, AllSoundCardsAreListedByDeviceNumber) {
    std::list<std::string> names{"kept"};
    GetAllSoundCards(names);
    EXPECT_THAT(names, ElementsAre("kept", "0: Virtual card 0", "1: Virtual card 1",
                                   "2: Virtual card 2", "3: Virtual card 3"));
    wave::UseVirtualCards(0);
    names.clear();
    GetAllSoundCards(names);
    EXPECT_TRUE(names.empty());
}

using SoundCardPlayback = EngineTest;

TEST_F(SoundCardPlayback, AWaitForAFreeBufferEndsWhenTheDeviceFailsOrTheEngineStops) {
    Mixer->ReadSettings();
    SoundCard card(SoundCard::Antal);
    card.Init(1);
    // A second Init, once the recorder waits on its event, keeps the thread and its events.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    card.Init(1);
    card.CreateBuffers(2, 2048);
    ASSERT_TRUE(card.InitPlayback(44100));
    Mixer->playing = true;
    // Both buffers taken: the next call has to wait for the device.
    ASSERT_TRUE(card.NextOutBuffer());
    ASSERT_TRUE(card.NextOutBuffer());
    std::thread unplug([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        wave::SetVirtualFault(1, wave::VirtualFault::Lost);
    });
    EXPECT_FALSE(card.NextOutBuffer());
    unplug.join();
    EXPECT_TRUE(card.PlaybackFailed());
    card.StopPlayback();  // a failed device still closes

    wave::SetVirtualFault(1, wave::VirtualFault::None);
    ASSERT_TRUE(card.InitPlayback(44100));
    EXPECT_FALSE(card.PlaybackFailed());
    ASSERT_TRUE(card.NextOutBuffer());
    ASSERT_TRUE(card.NextOutBuffer());
    std::thread stop([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Mixer->playing = false;
    });
    EXPECT_FALSE(card.NextOutBuffer());
    stop.join();
    card.StopPlayback();

    // A buffer whose write is refused reports the wave result as a plain unsigned int.
    Outbuff buffer(1024);
    EXPECT_THROW(buffer.Write(), unsigned int);
}
