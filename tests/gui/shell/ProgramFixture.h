#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/PalkMixer.h"
#include "resources/CommandIds.h"
#include "shell/CMainFrame.h"
#include "shell/CTollanView.h"
#include "shell/EngineMessages.h"
#include "shell/NewSongDialog.h"
#include "shell/RecentSongs.h"
#include "support/EngineFixture.h"
#include "support/RecordingFileDialogs.h"
#include "support/TempDir.h"
#include "tracks/Channel.h"
#include "views/ChannelWnd.h"
#include "views/TimeView.h"
#include "views/TransportPanel.h"
#include "views/ViewOptions.h"

// Runs act on the next modal dialog once it is open (or fails when none opens).
inline void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) {
            ADD_FAILURE() << "no modal dialog opened";
            return;
        }
        act(dialog);
        if (dialog->isVisible() && QApplication::activeModalWidget() == dialog) {
            ADD_FAILURE() << "the dialog stayed open";
            if (auto* d = qobject_cast<QDialog*>(dialog))
                d->reject();
        }
    });
}

// The whole program in the test's process: its main window on the offscreen platform, the
// engine on virtual card 0 (listed in the test's settings), the engine's boxes in the test's.
class ProgramTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        std::filesystem::create_directories(PathIn(".config/Torvane"));
        WriteWholeFile(SettingsPath(), SettingsText());
        SetShowWaveform(false);
        SetProgramMode(false);
        // The profile is the process's: no recent song of an earlier test.
        for (const QString& song : RecentSongs::List())
            RecentSongs::Remove(song);
        Start();
    }
    void TearDown() override {
        Quit();
        SetShowWaveform(false);
        SetProgramMode(false);
        EngineTest::TearDown();
    }

    // The engine's settings file at start: virtual card 0 open.
    virtual std::string SettingsText() const { return "Soundcards=string:\"0\"\n"; }

    void Start() {
        messages_ = std::make_unique<EngineMessages>();
        frame_ = std::make_unique<CMainFrame>();
        frame_->show();
        QApplication::setActiveWindow(frame_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
    }
    // Closes the main window (which saves), as Exit does.
    void Quit() {
        if (frame_) {
            frame_->close();
            frame_.reset();
        }
        if (messages_)
            messages_->BeginQuitting();
    }
    // Quits, and runs the program again on a fresh engine.
    void Restart() {
        Quit();
        Mixer->Terminate();
        messages_.reset();
        ReplaceEngine();
        Start();
    }

    CMainFrame& Frame() { return *frame_; }
    CTollanView& View() { return *frame_->View(); }
    ChannelWnd& Row() { return *View().Row(); }
    TransportPanel& Transport() { return *View().Transport(); }
    QAbstractButton* TransportButton(int id) {
        for (auto* button : Transport().findChildren<QAbstractButton*>())
            if (button->property("controlId").toInt() == id)
                return button;
        return nullptr;
    }
    // A key pressed where the keyboard focus is, as a user would.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : frame_.get(), key, modifiers);
    }
    int Position() { return static_cast<int>(Mixer->GetPos_ms()); }
    // Makes a new song through the "New Song" dialog, as a user would: Browse to the test's
    // folder, type the name, OK. Returns the song's folder.
    QString NewSong(const QString& name) {
        RecordingFileDialogs::ForThisTest().QueueAnswer(RecordingFileDialogs::Kind::Folder,
                                                        QString::fromStdString(Dir()));
        WhenModal([name](QWidget* dialog) {
            auto* songDialog = qobject_cast<NewSongDialog*>(dialog);
            ASSERT_NE(songDialog, nullptr);
            QTest::mouseClick(songDialog->BrowseButton(), Qt::LeftButton);
            QTest::keyClicks(songDialog->SongNameEdit(), name);
            ASSERT_TRUE(songDialog->OkButton()->isEnabled());
            QTest::mouseClick(songDialog->OkButton(), Qt::LeftButton);
        });
        View().RouteCommand(CommandIds::New);
        // The main window is the active one again once the dialog closed.
        QApplication::setActiveWindow(frame_.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
        return QString::fromStdString(Dir()) + "/" + name;
    }

  private:
    std::unique_ptr<EngineMessages> messages_;
    std::unique_ptr<CMainFrame> frame_;
};
