// The Tremolo's own setup window, in a process with a QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <functional>
#include <memory>

#include "PluginLibrary.h"
#include "TremoloReference.h"

namespace {

class TremoloSetup : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // No window on the developer's screen, unless a platform is asked for by name (e.g.
        // "xcb" under xvfb-run, which can wrap a native parent window).
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "tremolo_dialog_tests";
        static char* argv[] = {name, nullptr};
        application_ = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete application_;
        application_ = nullptr;
    }

    // QUIBFX_SETUP for channel; while its dialog is open, work looks at it and changes it,
    // then the dialog's Close button ends it. A dialog that never closes fails the test.
    unsigned long SetupWhile(int channel, unsigned long parent,
                             const std::function<void(QDialog&)>& work) {
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (seen || !dialog || !dialog->isVisible())
                return;
            seen = true;
            work(*dialog);
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            if (buttons && buttons->button(QDialogButtonBox::Close))
                QTest::mouseClick(buttons->button(QDialogButtonBox::Close), Qt::LeftButton);
        });
        poll.start(10);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            ADD_FAILURE() << "the dialog did not close with its Close button";
            if (QWidget* open = QApplication::activeModalWidget())
                open->close();
        });
        watchdog.start(20000);
        const unsigned long shown = tremolo_.Call(QUIBFX_SETUP, parent, channel);
        EXPECT_TRUE(seen) << "no dialog was shown";
        return shown;
    }

    static QString LabelTexts(const QDialog& dialog) {
        QStringList texts;
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            texts << label->text();
        return texts.join('|');
    }

    static QApplication* application_;
    PluginLibrary tremolo_{TREMOLO_PLUGIN};
};

QApplication* TremoloSetup::application_ = nullptr;

}  // namespace

TEST_F(TremoloSetup, TheDialogShowsTheTracksValuesAndItsDepthSliderChangesWhatIsPlayed) {
    ASSERT_TRUE(tremolo_.Add(3));
    tremolo_.Set(3, TremoloRate, 40);
    tremolo_.Set(3, TremoloDepth, 50);
    const std::vector<int16_t> input = Noise(4000, 9);
    const unsigned long shown = SetupWhile(3, 0, [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Tremolo \u2014 track 3"));
        auto* rate = dialog.findChild<QSlider*>("rate");
        auto* depth = dialog.findChild<QSlider*>("depth");
        ASSERT_TRUE(rate && depth);
        EXPECT_EQ(rate->minimum(), 5);
        EXPECT_EQ(rate->maximum(), 200);
        EXPECT_EQ(rate->value(), 40);
        EXPECT_EQ(depth->minimum(), 0);
        EXPECT_EQ(depth->maximum(), 100);
        EXPECT_EQ(LabelTexts(dialog), "Rate (Hz)|4.0|Depth (%)|50");

        // End, then a page down: 100, then 90; then a step to the left: 89.
        depth->setFocus();
        QTest::keyClick(depth, Qt::Key_End);
        QTest::keyClick(depth, Qt::Key_PageDown);
        QTest::keyClick(depth, Qt::Key_Left);
        EXPECT_EQ(LabelTexts(dialog), "Rate (Hz)|4.0|Depth (%)|89");
        // A song playing meanwhile hears the new depth at once.
        std::vector<int16_t> samples = input;
        tremolo_.Process(3, samples, 5000);
        EXPECT_EQ(samples, TremoloExpected(input, 5000, 44100, 40, 89));
        dialog.grab().save("tremolo-dialog.png");
    });
    EXPECT_EQ(shown, 1u);
    EXPECT_EQ(tremolo_.Get(3, TremoloDepth), 89);
    EXPECT_EQ(tremolo_.Get(3, TremoloRate), 40);
}

TEST_F(TremoloSetup, ADialogForANativeParentWindowStaysAboveItWhereThePlatformCanWrapIt) {
    ASSERT_TRUE(tremolo_.Add(0));
    QWidget host;
    host.show();
    const WId id = host.winId();
    // The offscreen platform wraps no native window: there the dialog shows without a parent.
    const bool wraps = std::unique_ptr<QWindow>(QWindow::fromWinId(id)) != nullptr;
    const unsigned long shown = SetupWhile(0, static_cast<unsigned long>(id), [&](QDialog& dialog) {
        QWindow* parent =
            dialog.windowHandle() ? dialog.windowHandle()->transientParent() : nullptr;
        ASSERT_EQ(parent != nullptr, wraps);
        if (parent) {
            EXPECT_EQ(parent->winId(), id);
        }
    });
    EXPECT_EQ(shown, 1u);
}
