// "Exported knobs": a fader per knob of a plug-in, showing what the plug-in says and telling it
// every new value; opened from FX Setup, it outlives it.
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include "QuibFX.h"
#include "support/Screenshots.h"
#include "views/ExportedKnobsDialog.h"
#include "views/TrackDialogTestSupport.h"
#include "views/VolumeControl.h"

namespace {

class ExportedKnobsTest : public TrackDialogTest {
  protected:
    // The knobs dialogs the stand-in main window holds.
    QList<ExportedKnobsDialog*> KnobsDialogs() const {
        return owner->findChildren<ExportedKnobsDialog*>(Qt::FindDirectChildrenOnly);
    }
    // Opens the knobs of KnobProbe on track i from an FX Setup dialog; null when none opened.
    ExportedKnobsDialog* OpenKnobs(FxSetupDialog& dialog) {
        const int before = static_cast<int>(KnobsDialogs().size());
        DoubleClick(dialog.Active(), "KnobProbe");
        const QList<ExportedKnobsDialog*> open = KnobsDialogs();
        return open.size() == before + 1 ? open.back() : nullptr;
    }
};

}  // namespace

TEST_F(ExportedKnobsTest, ATwoKnobPlugInOpensA220PixelDialogWhoseFadersShowItsValues) {
    MakeRow(1);
    Track(0)->AddPlugin("KnobProbe");
    auto fx = ShowFxSetup(0);
    ExportedKnobsDialog* knobs = OpenKnobs(*fx);
    ASSERT_NE(knobs, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(knobs));
    EXPECT_TRUE(knobs->isVisible());
    EXPECT_FALSE(knobs->isModal());
    EXPECT_EQ(knobs->windowTitle(), "KnobProbe on channel 0");
    EXPECT_EQ(knobs->width(), 220);
    // Beside FX Setup, leaving its lists and arrows free.
    EXPECT_FALSE(knobs->frameGeometry().intersects(fx->frameGeometry()));
    ASSERT_EQ(knobs->FaderCount(), 2);
    const int bottom = knobs->height();
    struct Expected {
        const char* label;
        int value, min, max;
    };
    const Expected expected[] = {{"Depth", 30, 0, 100}, {"Offset", -20, -50, 50}};
    for (int i = 0; i < 2; ++i) {
        VolumeControl* fader = knobs->Fader(i);
        EXPECT_EQ(fader->geometry(), QRect(20 + 75 * i, 25, 75, bottom - 50)) << i;
        EXPECT_EQ(knobs->Label(i)->geometry(), QRect(20 + 75 * i, 0, 75, 25)) << i;
        EXPECT_EQ(knobs->Label(i)->text(), expected[i].label);
        EXPECT_EQ(fader->GetValue(), expected[i].value) << i;
        EXPECT_EQ(fader->Min(), expected[i].min);
        EXPECT_EQ(fader->Max(), expected[i].max);
        EXPECT_TRUE(fader->showValue);
    }
    EXPECT_TRUE(Calls("KnobProbe", QUIBFX_SET_KNOB).empty()) << "opening sets nothing";
    EXPECT_TRUE(SaveScreenshot(*knobs, "exported-knobs-dialog"));
}

TEST_F(ExportedKnobsTest, AKnobNameTooWideForItsColumnIsMadeToFitAndShownWholeAsItsToolTip) {
    const QString names[] = {"Feedback (%)", "Feedback of the second delay line (%)"};
    const QByteArray bytes[] = {names[0].toUtf8(), names[1].toUtf8()};
    const QuibFXKnob table[] = {{1, nullptr, bytes[0].constData(), 90, 0},
                                {2, nullptr, bytes[1].constData(), 90, 0},
                                {0, nullptr, nullptr, 0, 0}};
    ExportedKnobsDialog knobs(table, "Echo", 0);
    for (int i = 0; i < 2; ++i) {
        QLabel* label = knobs.Label(i);
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()),
                  ExportedKnobsDialog::ColumnWidth)
            << i;
        EXPECT_EQ(label->toolTip(), names[i]);
        // A knob without a function to call cannot be moved.
        EXPECT_FALSE(knobs.Fader(i)->isEnabled());
    }
    EXPECT_TRUE(knobs.Label(1)->text().endsWith(QChar(0x2026)));
}

TEST_F(ExportedKnobsTest, DraggingAFaderSendsEveryNewValueAndNeitherThePressNorTheRelease) {
    MakeRow(2);
    Track(1)->AddPlugin("KnobProbe");
    Track(0)->AddPlugin("KnobProbe");
    auto fx = ShowFxSetup(0);
    ExportedKnobsDialog* knobs = OpenKnobs(*fx);
    ASSERT_NE(knobs, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(knobs));
    VolumeControl* offset = knobs->Fader(1);

    // A press and a release without a move.
    Drag(offset, 60, 60);
    EXPECT_TRUE(Calls("KnobProbe", QUIBFX_SET_KNOB).empty());

    // Up by 20 pixels: the range of 100 spans 134 - 30 pixels.
    Drag(offset, 60, 40);
    const std::vector<ProbeCall> sets = Calls("KnobProbe", QUIBFX_SET_KNOB);
    ASSERT_FALSE(sets.empty());
    EXPECT_GT(offset->GetValue(), -20);
    EXPECT_EQ(sets.back().value, offset->GetValue());
    int last = -20;
    for (const ProbeCall& call : sets) {
        EXPECT_EQ(call.id, 2);
        EXPECT_EQ(call.channel, 0u);
        EXPECT_GT(call.value, last) << "each value is new";
        last = call.value;
    }
    // The plug-in now has it, on that track alone.
    auto* entry = Mixer->GetPlugin("KnobProbe");
    QuibFXKnobValue value{0, 2};
    entry(QUIBFX_GET_KNOB, reinterpret_cast<unsigned long>(&value), 0);
    EXPECT_EQ(value.value, offset->GetValue());
    entry(QUIBFX_GET_KNOB, reinterpret_cast<unsigned long>(&value), 1);
    EXPECT_EQ(value.value, -20);
}

TEST_F(ExportedKnobsTest, KnobsDialogsOutliveFxSetupSeveralAtOnceAndGoWhenClosed) {
    MakeRow(2);
    Track(0)->AddPlugin("KnobProbe");
    Track(1)->AddPlugin("KnobProbe");
    QPointer<ExportedKnobsDialog> first, second;
    {
        auto fx = ShowFxSetup(0);
        first = OpenKnobs(*fx);
    }
    {
        auto fx = ShowFxSetup(1);
        second = OpenKnobs(*fx);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(fx->OpenedKnobs(), QList<ExportedKnobsDialog*>{second.data()});
    }
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->isVisible() && second->isVisible());
    // Once FX Setup has gone, its knobs stay above the main window.
    ASSERT_NE(second->windowHandle(), nullptr);
    EXPECT_EQ(second->windowHandle()->transientParent(), owner->windowHandle());

    // Track 1 has twelve knobs: ten faders, and the two beyond them are not read.
    EXPECT_EQ(second->windowTitle(), "KnobProbe on channel 1");
    ASSERT_EQ(second->FaderCount(), ExportedKnobsDialog::MaxKnobs);
    EXPECT_EQ(second->width(), 20 + 75 * 10 + 50);
    EXPECT_EQ(second->Label(9)->text(), "K10");
    for (const ProbeCall& read : Calls("KnobProbe", QUIBFX_GET_KNOB))
        EXPECT_LE(read.id, 10) << "on track " << read.channel;
    EXPECT_EQ(Calls("KnobProbe", QUIBFX_GET_KNOB).size(), 12u);

    first->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()) << "deleted when closed";
    EXPECT_FALSE(second.isNull());

    // Taking the plug-in off its track closes that track's knobs.
    auto fx = ShowFxSetup(1);
    Click(fx->Active(), "KnobProbe");
    QTest::mouseClick(fx->RemoveButton(), Qt::LeftButton);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(second.isNull());
}

TEST_F(ExportedKnobsTest, KnobsOpenedWhileFxSetupIsModalTakeTheMouseAtOnce) {
    MakeRow(1);
    Track(0)->AddPlugin("KnobProbe");
    FxSetupDialog fx(Track(0), owner.get());
    QPointer<ExportedKnobsDialog> knobs;
    QTimer::singleShot(0, [&] {
        knobs = OpenKnobs(fx);
        if (!knobs || !QTest::qWaitForWindowExposed(knobs)) {
            ADD_FAILURE() << "no knobs dialog";
        } else {
            // Through the window, as the window system hands it on (a blocked window drops
            // it).
            QWindow* window = knobs->windowHandle();
            const QPoint fader = knobs->Fader(0)->geometry().topLeft() + QPoint(10, 0);
            QTest::mousePress(window, Qt::LeftButton, {}, fader + QPoint(0, 60));
            for (int y = 59; y >= 50; --y)
                QTest::mouseMove(window, fader + QPoint(0, y));
            QTest::mouseRelease(window, Qt::LeftButton, {}, fader + QPoint(0, 50));
            EXPECT_FALSE(Calls("KnobProbe", QUIBFX_SET_KNOB).empty());
        }
        fx.reject();
    });
    fx.exec();
    ASSERT_TRUE(knobs);
    EXPECT_TRUE(knobs->isVisible());
    EXPECT_EQ(knobs->windowHandle()->transientParent(), owner->windowHandle());
}
