#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/EngineStatics.h"
#include "core/PalkMixer.h"
#include "storage/SuperWaveFile.h"
#include "support/EngineFixture.h"
#include "tracks/Channel.h"

using ::testing::ElementsAre;

namespace {

// Reaches the protected look-up.
class InspectableChannel : public Channel {
  public:
    using Channel::FindPrevEvent;
};

class ChannelAutomation : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        Mixer->AddChannel(channel = new InspectableChannel());
    }
    std::vector<int32_t> VolumeTimes() {
        std::vector<int32_t> times;
        for (const ChannelEvent& e : channel->GetVolumeEvents())
            times.push_back(e.Time);
        return times;
    }
    InspectableChannel* channel = nullptr;
};

}  // namespace

TEST_F(ChannelAutomation, AFadeOutIsAStaircaseOfTwentyStepsEachFoundFromItsOwnFrameOn) {
    channel->Fade(1000, 2000, EventTypes::VolumeFade, 0.0f);
    EventList events = channel->GetVolumeEvents();
    ASSERT_EQ(events.size(), 21u);
    float expected = 1.0f;
    for (int step = 0; step < 20; ++step) {
        expected += (0.0f - 1.0f) / 20;
        EXPECT_EQ(events[step + 1].Time, 1000 * 44 + step * 50 * 44) << step;
        EXPECT_EQ(events[step + 1].Value, expected) << step;
    }
    // The look-up gives the event at or before a frame and the next event's time, -1 after the
    // last; for both programs the earlier of the two, where -1 (no further pan event) loses.
    EventPosition pos = 99, panPos = 0;
    EXPECT_EQ(channel->FindPrevEvent(43999, true, pos), 44000);
    EXPECT_EQ(pos, 0u);
    EXPECT_EQ(channel->FindPrevEvent(44000, true, pos), 46200);
    EXPECT_EQ(pos, 1u);
    EXPECT_EQ(channel->FindPrevEvent(90000, true, pos), -1);
    EXPECT_EQ(channel->FindPrevEvent(45000, pos, panPos), 46200);

    // Drawing again over part of it starts from the value in effect. The old step at 1500 ms
    // (1496 ms at the true rate) is kept, the new staircase follows right after it.
    channel->Fade(1500, 1700, EventTypes::VolumeFade, 1.0f);
    events = channel->GetVolumeEvents();
    channel->FindPrevEvent(1500 * 44, true, pos);
    ASSERT_EQ(events[pos - 1].Time, 1500 * 44);
    const float before = events[pos - 1].Value;
    EXPECT_EQ(events[pos].Value, before + (1.0f - before) / 4);
}

TEST_F(ChannelAutomation, ShortReversedOrPanFadesOnlyClearTheirRange) {
    channel->Fade(0, 10000, EventTypes::VolumeFade, 0.0f);
    ASSERT_EQ(channel->GetVolumeEvents().size(), 201u);
    channel->Fade(1000, 1049, EventTypes::VolumeFade, 0.0f);  // under one step
    channel->Fade(2000, 3000, EventTypes::PanFade, 0.0f);
    channel->Fade(5000, 4000, EventTypes::VolumeFade, 0.0f);  // reversed: nothing to draw
    for (int32_t time : VolumeTimes()) {
        int64_t ms = int64_t{time} * 1000 / 44100;
        EXPECT_FALSE((ms > 1000 && ms <= 1049) || (ms > 2000 && ms <= 3000)) << time;
    }
    EXPECT_EQ(channel->GetVolumeEvents().size(), 201u - 1 - 20);
    EXPECT_EQ(channel->GetPanEvents().size(), 1u);
}

TEST_F(ChannelAutomation, ClearingKeepsTheRangesStartAndTheHeadEvenPastFortyEightSeconds) {
    channel->Fade(0, 1000, EventTypes::VolumeFade, 0.0f);  // 0, 50, ... 950 ms
    channel->ClearEvents(0, 500, true);
    std::vector<int32_t> times = VolumeTimes();
    times.resize(3);
    EXPECT_THAT(times, ElementsAre(0, 0, 550 * 44));  // the first step shares the head's frame
    channel->ClearEvents(0, 100000, true);
    EXPECT_THAT(VolumeTimes(), ElementsAre(0, 0));
    channel->ClearEvents(true);
    EXPECT_THAT(VolumeTimes(), ElementsAre(0));

    // 600000 ms is 26400000 frames, 598639 ms at the true rate; frames * 1000 needs 64 bits.
    channel->Fade(600000, 600100, EventTypes::VolumeFade, 0.0f);
    channel->ClearEvents(0, 598000, true);
    EXPECT_EQ(VolumeTimes().size(), 3u);
    channel->ClearEvents(598000, 599000, true);
    EXPECT_EQ(VolumeTimes().size(), 1u);
}

TEST_F(ChannelAutomation, ARealtimePassReplacesTheProgramOverItsSpan) {
    channel->Fade(4000, 9000, EventTypes::VolumeFade, 0.0f);  // steps every 50 ms
    PlayPos = 5000 * 44;
    channel->RealTimeFade(true, true);
    float atStart = 0, pan = 0;
    channel->GetRealtimeVolPan(atStart, pan);
    channel->Volume(0.3f);
    PlayPos = 6000 * 44;
    channel->Volume(0.4f);
    channel->Volume(0.45f);  // same position: replaces the previous move
    PlayPos = 7000 * 44;
    channel->Pan(-0.5f);  // a pan move during a volume pass stays in the pan list
    PlayPos = 8000 * 44;
    channel->RealTimeFade(false, true);

    std::vector<std::pair<int32_t, float>> inSpan;
    for (const ChannelEvent& e : channel->GetVolumeEvents())
        if (e.Time >= 5000 * 44 && e.Time <= 8100 * 44)
            inSpan.emplace_back(e.Time, e.Value);
    EXPECT_THAT(inSpan,
                ElementsAre(std::make_pair(5000 * 44, atStart),  // kept: at the start
                            std::make_pair(5000 * 44, 0.3f), std::make_pair(6000 * 44, 0.45f),
                            ::testing::Pair(8050 * 44, ::testing::_),  // untouched after
                            ::testing::Pair(8100 * 44, ::testing::_)));
    EXPECT_EQ(channel->GetPanEvents().size(), 1u);
}
