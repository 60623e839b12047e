#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <list>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "platform/VirtualCards.h"
#include "soundcard/SoundCard.h"
#include "soundcard/WaveBuff.h"
#include "support/EngineFixture.h"

using ::testing::ElementsAre;
using SoundCardBuffers = EngineTest;
using DeviceErrors = EngineTest;

TEST_F(SoundCardBuffers, InitOpensNothingButCreatesOneOutputAndInputBufferPerEngineBuffer) {
    Mixer->ReadSettings();
    SoundCard card(SoundCard::Antal);
    EXPECT_EQ(SoundCard::Antal, 1);
    card.Init(3);
    EXPECT_EQ(card.DeviceId, 3);
    EXPECT_EQ(card.DeviceName, "Virtual card 3");
    EXPECT_FALSE(card.Muted_b());
    ASSERT_EQ(card.OutputBufferCount(), 4u);
    ASSERT_EQ(card.InputBufferCount(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(card.OutputBuffer(i).Length(), 8192u);
        EXPECT_EQ(card.InputBuffer(i).Length(), 8192u);
        EXPECT_TRUE(card.OutputBuffer(i).Fresh());
    }
    // The device is not held open by the card: it can still be opened by another.
    SoundCard other(SoundCard::Antal);
    other.Init(3);
}

TEST_F(SoundCardBuffers, BufferBytesAreRoundedDownToWhole1024ByteBlocks) {
    SoundCard card(0);
    card.CreateBuffers(4, 3000);
    ASSERT_EQ(card.OutputBufferCount(), 4u);
    EXPECT_EQ(card.OutputBuffer(0).Length(), 11u * 1024);
    EXPECT_EQ(card.InputBuffer(3).Length(), 11u * 1024);
    card.CreateBuffers(0, 0);
    EXPECT_EQ(card.OutputBufferCount(), 0u);
    EXPECT_EQ(card.InputBufferCount(), 0u);
}

TEST_F(SoundCardBuffers, DestroyingCardsKeepsTheCountAndEndsTheRecorderThread) {
    {
        SoundCard first(0);
        first.Init(0);
        SoundCard second(1);
        EXPECT_EQ(SoundCard::Antal, 2);
    }
    EXPECT_EQ(SoundCard::Antal, 0);
}

TEST_F(SoundCardBuffers, MixingCopiesIntoAFreshBufferThenAddsWithSaturation) {
    Outbuff buffer(1024);
    std::vector<int16_t> track(512);
    for (size_t i = 0; i < track.size(); ++i)
        track[i] = i % 2 ? 30000 : -30000;
    buffer.Mix(track.data());
    EXPECT_FALSE(buffer.Fresh());
    EXPECT_EQ(buffer.Samples()[0], -30000);
    std::vector<int16_t> small(512, 100);
    small[0] = 0;
    buffer.Mix(small.data());
    buffer.Mix(track.data());
    EXPECT_EQ(buffer.Samples()[0], -32768);
    EXPECT_EQ(buffer.Samples()[1], 32767);
    buffer.Clear();
    EXPECT_TRUE(buffer.Fresh());
    EXPECT_EQ(buffer.Samples()[1], 0);
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
        {0, "Unknown error, failed to open wavedevice"},
    };
    for (const auto& [code, text] : table) {
        OrvellError error = SoundCard::GetError(code, 1);
        EXPECT_EQ(error.Message, std::string(text) + "\nDevice: Virtual card 1") << code;
        EXPECT_EQ(error.Code, 2);
        EXPECT_TRUE(error.NotifyUser);
    }
    EXPECT_EQ(SoundCard::GetError(4, 99).Message,
              "The specified resource is already allocated.\nDevice: ");
}

TEST_F(DeviceErrors, InitOnAMissingDeviceThrowsTheBadDeviceError) {
    SoundCard card(0);
    try {
        card.Init(9);
        FAIL() << "expected an error";
    } catch (const OrvellError& error) {
        EXPECT_EQ(error.Message, "The specified device ID is out of range.\nDevice: ");
    }
    // A negative identifier is sign-extended and is no device either.
    EXPECT_THROW(card.Init(static_cast<char>(-1)), OrvellError);
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
