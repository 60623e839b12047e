// Songs in the running program: "guisettings.struct", the "New Song" dialog, Open and the
// recent songs, and what a failed open or new leaves.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "resources/CommandIds.h"
#include "shell/GuiSettingsFile.h"
#include "shell/ProgramFixture.h"
#include "shell/RecentSongs.h"
#include "shell/TimeEdit.h"
#include "shell/TimeText.h"
#include "support/RecordingMessageBoxes.h"
#include "tracks/Channel.h"
#include "views/ChannelStrip.h"
#include "views/GuiButton.h"

using Answer = MessageBoxes::Answer;
using Kind = RecordingFileDialogs::Kind;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values)
        bytes += static_cast<char>(v);
    return bytes;
}

}  // namespace

TEST(GuiSettingsFile, HoldsBothMarkersInEightLittleEndianBytesAndReadsWhatAShortFileHas) {
    TempDir dir("gui-settings");
    const QString path = QString::fromStdString(dir.Path() + "/guisettings.struct");
    QString error;
    // Written twice: the second write replaces the file rather than appending to it.
    ASSERT_TRUE(GuiSettingsFile::Write(path, {-1, 0x01020304}, error));
    ASSERT_TRUE(GuiSettingsFile::Write(path, {-1, 0x01020304}, error));
    EXPECT_EQ(ReadWholeFile(path.toStdString()), Bytes({0xff, 0xff, 0xff, 0xff, 4, 3, 2, 1}));

    int32_t markers[2] = {7, 7};
    ASSERT_TRUE(GuiSettingsFile::Read(path, markers));
    EXPECT_EQ(markers[0], -1);
    EXPECT_EQ(markers[1], 0x01020304);

    WriteWholeFile(path.toStdString(), Bytes({0xd0, 0x07, 0, 0}));
    int32_t shortMarkers[2] = {0, 0};
    ASSERT_TRUE(GuiSettingsFile::Read(path, shortMarkers));
    EXPECT_EQ(shortMarkers[0], 2000);
    EXPECT_EQ(shortMarkers[1], 0);

    EXPECT_FALSE(GuiSettingsFile::Read(path + ".missing", markers));
    EXPECT_FALSE(GuiSettingsFile::Write(QString::fromStdString(dir.Path() + "/no/such/file"),
                                        markers, error));
    EXPECT_TRUE(error.contains("guisettings.struct"));
}

TEST(NewSongDialog, OffersOkOnlyForANameTypedAfterAFolderWasChosen) {
    NewSongDialog dialog;
    QTest::keyClicks(dialog.SongNameEdit(), "Demo");
    EXPECT_FALSE(dialog.OkButton()->isEnabled()) << "a name without a folder";
    EXPECT_EQ(dialog.Location(), "Demo");

    RecordingFileDialogs::ForThisTest().QueueAnswer(Kind::Folder, "/home/me/songs");
    QTest::mouseClick(dialog.BrowseButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.Location(), "/home/me/songs/Demo");
    EXPECT_FALSE(dialog.OkButton()->isEnabled()) << "Browse does not recompute OK";
    QTest::keyClicks(dialog.SongNameEdit(), "2");
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    EXPECT_EQ(dialog.Location(), "/home/me/songs/Demo2");
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(dialog.SongNameEdit(), Qt::Key_Backspace);
    EXPECT_FALSE(dialog.OkButton()->isEnabled()) << "no name";

    // The root gets no second slash; the browser starts at the folder chosen last.
    RecordingFileDialogs::ForThisTest().QueueAnswer(Kind::Folder, "/");
    QTest::mouseClick(dialog.BrowseButton(), Qt::LeftButton);
    QTest::keyClicks(dialog.SongNameEdit(), "x");
    EXPECT_EQ(dialog.Location(), "/x");
    EXPECT_EQ(RecordingFileDialogs::ForThisTest().Shown().back().start, "/home/me/songs/");
    EXPECT_EQ(RecordingFileDialogs::ForThisTest().Shown().back().title, "choose dir");

    // Shown again: the location starts at the folder, with no name; Cancel gives nothing.
    WhenModal([](QWidget* shown) {
        auto* again = static_cast<NewSongDialog*>(shown);
        EXPECT_EQ(again->Location(), "/");
        EXPECT_EQ(again->SongNameEdit()->text(), "");
        again->reject();
    });
    EXPECT_EQ(dialog.AskLocation(), "");
}

TEST_F(ProgramTest, NewSongMakesTheFolderAndOpensTheTransportButNewOnAnExistingOneSaysSo) {
    const QString song = NewSong("First");
    EXPECT_TRUE(std::filesystem::is_directory(song.toStdString()));
    EXPECT_TRUE(TransportButton(1021)->isEnabled());
    EXPECT_TRUE(TransportButton(1030)->isEnabled());
    EXPECT_TRUE(RecentSongs::List().isEmpty()) << "New does not feed the recent songs";
    for (int i = 0; i < 16; ++i) {
        bool stereo = true, sixteenBit = false;
        Row().Strip(i)->GetChannel()->GetFormat(stereo, sixteenBit);
        EXPECT_TRUE(!stereo && sixteenBit) << "track " << i << " is mono 16-bit";
    }
    QTest::mouseClick(Row().Strip(0)->RecButton(), Qt::LeftButton);
    EXPECT_TRUE(Row().Strip(0)->IsArmed()) << "a new song's track can be armed at once";
    QTest::mouseClick(Row().Strip(0)->RecButton(), Qt::LeftButton);

    RecordingMessageBoxes::ForThisTest().QueueAnswer(Answer::Ok);
    NewSong("First");
    ASSERT_EQ(RecordingMessageBoxes::ForThisTest().Texts().size(), 1);
    EXPECT_TRUE(
        RecordingMessageBoxes::ForThisTest().Texts()[0].startsWith("Can't create directory:"));
    EXPECT_TRUE(RecordingMessageBoxes::ForThisTest().Texts()[0].contains("First"));
}

TEST_F(ProgramTest, AFolderNeverSavedOpensWithAMessageKeepsTheMarkersAndShowsTheQueuedErrors) {
    // A song whose events table is damaged, never saved by the program.
    const std::string song = PathIn("Unsaved");
    Mixer->NewProject(song.c_str());
    Mixer->SaveProject();
    WriteWholeFile(song + "/chan_events.dbf", "not a table");
    Transport().SetMarker(0, 1234);
    Mixer->SetPos_ms(3000);

    auto& boxes = RecordingMessageBoxes::ForThisTest();
    boxes.QueueAnswer(Answer::Ok);
    boxes.QueueAnswer(Answer::Ok);
    RecordingFileDialogs::ForThisTest().QueueAnswer(Kind::Folder, QString::fromStdString(song));
    Frame().MenuAction(CommandIds::Open)->trigger();

    ASSERT_EQ(boxes.Texts().size(), 2);
    EXPECT_EQ(boxes.Texts()[0], "Couldn't load gui settings.");
    EXPECT_TRUE(boxes.Texts()[1].contains("chan_events.dbf")) << boxes.Texts()[1].toStdString();
    EXPECT_EQ(Transport().GetMarker(0), 1234);
    EXPECT_EQ(Transport().TimeField()->text(), FormatTimeText(Mixer->GetPos_ms()));
    EXPECT_EQ(RecentSongs::List(), QStringList{QString::fromStdString(song)});
    EXPECT_EQ(CTollanView::LastSongFolder(), QString::fromStdString(song));
    EXPECT_TRUE(TransportButton(1021)->isEnabled());
}

TEST_F(ProgramTest, ARecentSongThatNoLongerOpensLeavesTheList) {
    const QString song = NewSong("Gone");
    Frame().KeyAction(CommandIds::Save)->trigger();
    ASSERT_TRUE(View().OpenSong(song));
    Restart();
    ASSERT_EQ(Frame().RecentActions().size(), 1u);
    EXPECT_TRUE(Frame().RecentActions()[0]->text().endsWith(song));
    std::filesystem::remove_all(song.toStdString());

    RecordingMessageBoxes::ForThisTest().QueueAnswer(Answer::Ok);
    Frame().RecentActions()[0]->trigger();
    EXPECT_TRUE(
        RecordingMessageBoxes::ForThisTest().Texts()[0].startsWith("Can't open directory:"));
    EXPECT_TRUE(RecentSongs::List().isEmpty());
    ASSERT_EQ(Frame().RecentActions().size(), 1u);
    EXPECT_FALSE(Frame().RecentActions()[0]->isEnabled());  // "Recent File", greyed
}
