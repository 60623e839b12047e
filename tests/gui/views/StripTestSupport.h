#pragma once

// A row of strips on a new song, for the tests of the strips and of the row.

#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <string>

#include "core/EngineStatics.h"
#include "platform/wave/virtual/VirtualCards.h"
#include "support/EngineFixture.h"
#include "tracks/TrackTestSupport.h"
#include "views/ChannelStrip.h"
#include "views/ChannelWnd.h"
#include "views/ViewOptions.h"

class StripRowTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        Mixer->ReadSettings();
        TakeQueuedErrors();  // no settings file yet
        row = std::make_unique<ChannelWnd>();
        row->resize(250, 480);
        row->show();
    }
    void TearDown() override {
        row.reset();  // before the engine and its tracks go
        SetProgramMode(false);
        SetShowWaveform(false);
        PlayPos = 0;
        EngineTest::TearDown();
    }

    // count strips on a new song (16-bit stereo tracks) with virtual cards 0 ... cards - 1,
    // paced in real time, in their card lists; 5000 ms from the top to the bottom.
    void MakeRow(int count, int cards = 1) {
        for (int i = 0; i < cards; ++i) {
            wave::SetVirtualPacing(static_cast<unsigned>(i), wave::Pacing::RealTime);
            ASSERT_EQ(Mixer->AddCard(static_cast<char>(i)), 1);
        }
        for (int i = 0; i < count; ++i)
            row->AddStrip();
        Mixer->NewProject("song");
        for (int i = 0; i < count; ++i)
            Track(i)->SetFormat(true, true);
        std::list<std::string> names;
        Mixer->GetActiveSoundcards(names);
        row->FillCardLists(names);
        row->SetSpan(5000);
        row->ReloadAll();
    }
    ChannelStrip* Strip(int i) const { return row->Strip(i); }
    Channel* Track(int i) const { return row->Strip(i)->GetChannel(); }

    // seconds of a constant level in track i from startMs on.
    void WriteAudio(int i, int startMs, double seconds, int16_t level) {
        const std::string bytes =
            ConstantStereo16(level, level, static_cast<size_t>(seconds * 44100));
        SuperWaveFile* file = Track(i)->GetChannelFile();
        file->WriteAt(int64_t{startMs} * 441 / 10 * 4,
                      reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        file->Save();
    }

    // Drags with the left button from y0 to y1, a pixel at a time, as a hand does.
    static void Drag(QWidget* widget, int y0, int y1, bool release = true) {
        QTest::mousePress(widget, Qt::LeftButton, {}, QPoint(10, y0));
        for (int y = y0; y != y1;)
            QTest::mouseMove(widget, QPoint(10, y += y1 > y0 ? 1 : -1));
        if (release)
            QTest::mouseRelease(widget, Qt::LeftButton, {}, QPoint(10, y1));
    }

    std::unique_ptr<ChannelWnd> row;
};
