// The "Global Settings" dialog on the running program, against the engine on virtual cards:
// what it shows when it opens, the OK sequence with its refusals, Browse and Cards info.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "platform/wave/DeviceCaps.h"
#include "resources/CommandIds.h"
#include "shell/CardsInfo.h"
#include "shell/FieldExchange.h"
#include "shell/GlobalSettingsDialog.h"
#include "shell/ProgramFixture.h"
#include "soundcard/SoundCard.h"
#include "support/RecordingMessageBoxes.h"
#include "support/Screenshots.h"
#include "views/ChannelStrip.h"
#include "views/GuiButton.h"

using Dialog = GlobalSettingsDialog;

class SettingsDialogTest : public ProgramTest {
  protected:
    void TearDown() override {
        SoundCard::SetLagTime(0);
        ProgramTest::TearDown();
    }

    // The Settings command, with act working on the open dialog (which it must close).
    void WithSettings(std::function<void(Dialog&)> act) {
        WhenModal([act](QWidget* widget) {
            auto* dialog = qobject_cast<Dialog*>(widget);
            ASSERT_NE(dialog, nullptr);
            act(*dialog);
        });
        View().RouteCommand(CommandIds::Settings);
    }
    static void Click(Dialog& dialog, int id) {
        QTest::mouseClick(dialog.Button(id), Qt::LeftButton);
    }
    // OK, expecting one box (answered OK) with text.
    static void OkRefusedWith(Dialog& dialog, const QString& text) {
        RecordingMessageBoxes& boxes = RecordingMessageBoxes::ForThisTest();
        const size_t before = boxes.Shown().size();
        boxes.QueueAnswer(MessageBoxes::Answer::Ok);
        Click(dialog, 1);
        ASSERT_EQ(boxes.Shown().size(), before + 1);
        EXPECT_EQ(boxes.Shown().back().text, text);
        EXPECT_TRUE(dialog.isVisible());
    }
    static void Choose(Dialog& dialog, int slot, int item) {
        dialog.CardList(slot)->setCurrentIndex(item);
    }
    static int OpenDevice(int index) {
        SoundCard* card = Mixer->GetSoundcard(index);
        return card ? card->DeviceId : -1;
    }
    int StripCardCount() { return Row().Strip(0)->findChild<QComboBox*>()->count(); }
};

TEST_F(SettingsDialogTest, OpensOnTheEnginesRateMidiFileLagBuffersAndOpenCards) {
    struct Case {
        unsigned rate;
        int radio;
    };
    // A rate that is not offered leaves the new dialog's choice, "32 kHz".
    for (const Case c : {Case{22050, 1}, Case{8000, 2}, Case{48000, 4}}) {
        SCOPED_TRACE(c.rate);
        Mixer->SetSampleRate(c.rate);
        Mixer->SetMidiFile("/music/song.mid");
        SoundCard::SetLagTime(-300);
        WithSettings([&](Dialog& dialog) {
            EXPECT_EQ(dialog.Rates()->checkedId(), c.radio);
            EXPECT_EQ(dialog.Edit(Dialog::MidiFileId)->text(), "/music/song.mid");
            EXPECT_EQ(dialog.Edit(Dialog::RecordingLagId)->text(), "-300");
            EXPECT_EQ(dialog.Edit(Dialog::BufferCountId)->text(), "4");
            EXPECT_EQ(dialog.Edit(Dialog::BufferSizeId)->text(), "2");
            QComboBox* top = dialog.CardList(0);
            ASSERT_EQ(top->count(), 1 + static_cast<int>(VirtualCardCount));
            EXPECT_EQ(top->itemText(0), "<none>");
            EXPECT_EQ(top->itemText(2), "1: Virtual card 1");
            EXPECT_EQ(top->currentIndex(), 1);  // device 0 is open in slot 0
            EXPECT_EQ(dialog.CardList(1)->currentIndex(), 0);
            EXPECT_FALSE(dialog.Button(Dialog::ReloadPluginsId)->isEnabled());
            if (c.rate == 22050) {
                EXPECT_TRUE(SaveScreenshot(dialog, "global-settings-dialog"));
            }
            Click(dialog, 2);
        });
        // Cancel calls nothing.
        EXPECT_EQ(Mixer->GetSampleRate(), static_cast<long>(c.rate));
        EXPECT_EQ(OpenDevice(0), 0);
    }
}

TEST_F(SettingsDialogTest, OkRefusesAGapAndADeviceTwiceWithTheEngineChangedSoFar) {
    WithSettings([&](Dialog& dialog) {
        Choose(dialog, 0, 0);
        Choose(dialog, 1, 2);
        OkRefusedWith(dialog, "You must select a card of a minor index first!");
        EXPECT_EQ(OpenDevice(0), -1);  // every card was removed first

        Choose(dialog, 0, 1);
        Choose(dialog, 1, 1);
        OkRefusedWith(dialog, "Soundcard allready in use!");
        EXPECT_EQ(OpenDevice(0), 0);  // opened once
        EXPECT_EQ(OpenDevice(1), -1);

        for (int slot = 0; slot < Dialog::CardSlots; ++slot)
            Choose(dialog, slot, 0);
        Click(dialog, 1);
    });
    EXPECT_EQ(OpenDevice(0), -1);
    EXPECT_EQ(StripCardCount(), 0) << "the strips offer the cards now open";

    WithSettings([&](Dialog& dialog) {
        Choose(dialog, 0, 3);
        Choose(dialog, 1, 1);
        Click(dialog, 1);
    });
    EXPECT_EQ(OpenDevice(0), 2);
    EXPECT_EQ(OpenDevice(1), 0);
    EXPECT_EQ(StripCardCount(), 2);
}

TEST_F(SettingsDialogTest, OutOfRangeGeekOptionsAreRefusedBeforeTheRateChangesAndGoodOnesApplied) {
    struct Case {
        int id;
        const char* text;
        QString message;
    };
    const auto range = FieldExchange::RangeMessage;
    WithSettings([&](Dialog& dialog) {
        dialog.Rates()->button(4)->click();
        for (const Case& c :
             {Case{Dialog::BufferCountId, "1", range(2, 20)},
              Case{Dialog::BufferCountId, "21", range(2, 20)},
              Case{Dialog::BufferSizeId, "1", range(2, 100)},
              Case{Dialog::BufferSizeId, "101", range(2, 100)},
              Case{Dialog::FileCacheId, "201", range(0, 200)},
              Case{Dialog::RecordingLagId, "-", FieldExchange::NotANumberMessage()}}) {
            SCOPED_TRACE(c.text);
            QLineEdit* edit = dialog.Edit(c.id);
            const QString good = edit->text();
            edit->setText(QString::fromLatin1(c.text));
            OkRefusedWith(dialog, c.message);
            EXPECT_EQ(Mixer->GetSampleRate(), 44100);
            edit->setText(good);
        }
        dialog.Edit(Dialog::BufferCountId)->setText("6");
        dialog.Edit(Dialog::BufferSizeId)->setText("4");
        dialog.Edit(Dialog::FileCacheId)->setText("100");
        dialog.Edit(Dialog::RecordingLagId)->setText("-250");
        Click(dialog, 1);
    });
    EXPECT_EQ(Mixer->GetSampleRate(), 48000);
    EXPECT_EQ(SoundCard::GetLagTime(), -250);
    int count = 0, size = 0, cache = 0;
    Mixer->GetBufferInfo(count, size, cache);
    EXPECT_EQ(count, 6);
    EXPECT_EQ(size, 4096);
    EXPECT_EQ(cache, 100 * 1024);
}

TEST_F(SettingsDialogTest, AnEngineRefusalClosesTheDialogAsCancelledAndLeavesTheBuffers) {
    NewSong("armed");
    QTest::mouseClick(Row().Strip(0)->RecButton(), Qt::LeftButton);
    ASSERT_TRUE(Row().Strip(0)->IsArmed());
    RecordingMessageBoxes::ForThisTest().QueueAnswer(MessageBoxes::Answer::Ok);
    WithSettings([&](Dialog& dialog) {
        dialog.Edit(Dialog::BufferCountId)->setText("8");
        Click(dialog, 1);
    });
    EXPECT_EQ(RecordingMessageBoxes::ForThisTest().Texts(),
              QStringList{"Disable recording on all tracks before changing settings"});
    int count = 0, size = 0, cache = 0;
    Mixer->GetBufferInfo(count, size, cache);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(OpenDevice(0), 0);
}

TEST_F(SettingsDialogTest,
       BrowseCancelledChangesNothingAndAChosenFileResetsTheControlsToTheFields) {
    RecordingFileDialogs& files = RecordingFileDialogs::ForThisTest();
    WithSettings([&](Dialog& dialog) {
        dialog.Edit(Dialog::BufferCountId)->setText("7");
        Choose(dialog, 1, 2);
        files.QueueAnswer(RecordingFileDialogs::Kind::Open, QString());
        Click(dialog, Dialog::BrowseId);
        EXPECT_EQ(dialog.Edit(Dialog::BufferCountId)->text(), "7");
        EXPECT_EQ(dialog.Edit(Dialog::MidiFileId)->text(), "");
        EXPECT_EQ(dialog.CardList(1)->currentIndex(), 2);

        files.QueueAnswer(RecordingFileDialogs::Kind::Open, "/music/along.mid");
        Click(dialog, Dialog::BrowseId);
        EXPECT_EQ(dialog.Edit(Dialog::MidiFileId)->text(), "/music/along.mid");
        EXPECT_EQ(dialog.Edit(Dialog::BufferCountId)->text(), "4");
        for (int slot = 0; slot < Dialog::CardSlots; ++slot)
            EXPECT_EQ(dialog.CardList(slot)->currentIndex(), -1);
        Click(dialog, 1);
    });
    EXPECT_TRUE(files.Shown().front().filter.contains("*.mid"));
    EXPECT_EQ(Mixer->MidiFile, "/music/along.mid");
    EXPECT_EQ(OpenDevice(0), -1) << "no list held a selection";
}

class OddBufferSizeTest : public SettingsDialogTest {
  protected:
    std::string SettingsText() const override {
        return "BuffSize=dword:3000\nSoundcards=string:\"0\"\n";
    }
};

TEST_F(OddBufferSizeTest, ABufferSizeShowsInWholeKilobytesAndIsWrittenBackSo) {
    WithSettings([&](Dialog& dialog) {
        EXPECT_EQ(dialog.Edit(Dialog::BufferSizeId)->text(), "2");
        Click(dialog, 1);
    });
    int count = 0, size = 0, cache = 0;
    Mixer->GetBufferInfo(count, size, cache);
    EXPECT_EQ(size, 2048);
}

TEST_F(SettingsDialogTest, CardsInfoListsEveryDeviceWithTheFormatLinesOfItsFlags) {
    QString formats;
    for (const char* rate : {"11.025", "22.05", "44.1"})
        for (const char* channels : {"mono", "stereo"})
            for (const char* bits : {"8", "16"})
                formats += QStringLiteral("\n%1 kHz, %2, %3-bit").arg(rate, channels, bits);
    QString expected;
    for (unsigned id = 0; id < VirtualCardCount; ++id)
        expected += QStringLiteral(
                        "Waveout device nr %1, Virtual card %1\nNr of channels:2"
                        "\nSupported formats:%2\n\n\n")
                        .arg(id)
                        .arg(formats);
    RecordingMessageBoxes::ForThisTest().QueueAnswer(MessageBoxes::Answer::Ok);
    WithSettings([&](Dialog& dialog) {
        Click(dialog, Dialog::CardsInfoId);
        Click(dialog, 2);
    });
    EXPECT_TRUE(RecordingMessageBoxes::ForThisTest().Texts() == QStringList{expected});

    // 48 kHz has no line.
    wave::DeviceCaps caps{"USB Audio", 2, wave::Format4S16 | wave::Format48S16};
    EXPECT_EQ(CardsInfo::Block(3, caps),
              "Waveout device nr 3, USB Audio\nNr of channels:2"
              "\nSupported formats:\n44.1 kHz, stereo, 16-bit\n\n\n");
}
