// A strip's "Info..." and fx button open its track's dialogs, modal over the main window, and
// the knobs opened from FX Setup stay with the main window until another song comes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPointer>
#include <QRadioButton>

#include "resources/CommandIds.h"
#include "shell/ProgramFixture.h"
#include "views/ChannelInfoDialog.h"
#include "views/ChannelStrip.h"
#include "views/ExportedKnobsDialog.h"
#include "views/FxSetupDialog.h"
#include "views/GuiButton.h"

TEST_F(ProgramTest, InfoOpensTheTracksChannelInfoOverTheMainWindow) {
    NewSong("info");
    ChannelStrip* strip = Row().Strip(2);
    WhenModal([&](QWidget* widget) {
        auto* dialog = qobject_cast<ChannelInfoDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->parentWidget(), &Frame());
        // It shows the strip's own track: a new song's tracks are mono.
        EXPECT_TRUE(dialog->Radio(ChannelInfoDialog::MonoId)->isChecked());
        dialog->reject();
    });
    EXPECT_TRUE(strip->RunCommand(CommandIds::ChannelInfo));
}

TEST_F(ProgramTest,
       TheFxButtonOpensFxSetupAndTheKnobsItOpensStayWithTheMainWindowUntilTheNextSong) {
    NewSong("fx");
    ChannelStrip* strip = Row().Strip(1);
    WhenModal([&](QWidget* widget) {
        auto* dialog = qobject_cast<FxSetupDialog*>(widget);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->parentWidget(), &Frame());
        QListWidget* available = dialog->Available();
        const QList<QListWidgetItem*> gain = available->findItems("Gain", Qt::MatchExactly);
        ASSERT_EQ(gain.size(), 1);
        available->setCurrentItem(gain.front());
        QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
        QListWidget* active = dialog->Active();
        ASSERT_EQ(active->count(), 1);
        const QPoint at = active->visualItemRect(active->item(0)).center();
        QTest::mouseClick(active->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(active->viewport(), Qt::LeftButton, {}, at);
        dialog->accept();
    });
    QTest::mouseClick(strip->FxButton(), Qt::LeftButton);
    std::list<std::string> chain;
    strip->GetChannel()->GetPlugins(chain);
    EXPECT_EQ(chain, std::list<std::string>{"Gain"});
    const auto knobs = Frame().findChildren<ExportedKnobsDialog*>();
    ASSERT_EQ(knobs.size(), 1);
    EXPECT_TRUE(knobs.front()->isVisible());
    EXPECT_EQ(knobs.front()->windowTitle(), "Gain on channel 1");

    // The next song's tracks hold none of the effects it showed: it closes.
    QPointer<ExportedKnobsDialog> left = knobs.front();
    NewSong("next");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(left.isNull());
}
