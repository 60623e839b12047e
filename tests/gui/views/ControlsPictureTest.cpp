// One picture of a strip's controls in their states, for a person to look at: the knob turned
// through its range, the fader, the level panel with its peak line, and every button face.
#include <gtest/gtest.h>

#include "resources/Bitmaps.h"
#include "support/Screenshots.h"
#include "support/WidgetPictures.h"
#include "views/GuiButton.h"
#include "views/LedDisplay.h"
#include "views/PanControl.h"
#include "views/VolumeControl.h"

TEST(Controls, APictureOfTheKnobTheFaderTheLevelPanelAndTheButtonsInTheirStates) {
    TestWindow window(QSize(300, 300));
    QList<QImage> pictures;
    QStringList labels;
    auto take = [&](QWidget& control, const QString& label) {
        control.show();
        pictures << Grabbed(control);
        labels << label;
    };
    PanControl knob(&window, QRect(0, 0, 30, 28));
    knob.SetRange(-100, 100);
    for (int value : {-100, -50, 0, 50, 100}) {
        knob.SetValue(value);
        take(knob, QString::number(value));
    }
    VolumeControl fader(&window, QRect(0, 0, 23, 134));
    for (int value : {100, 50, 0}) {
        fader.SetValue(value);
        take(fader, QString::number(value));
    }
    VolumeControl withValue(&window, QRect(0, 0, 75, 190));  // as in the plug-in knobs dialog
    withValue.SetRange(-20, 20);
    withValue.SetValue(-7);
    withValue.showValue = true;
    take(withValue, "-7 shown");
    LedDisplay meter(QRect(0, 0, 23, 134), &window);
    int64_t now = 10000;
    meter.SetClock([&] { return now; });
    for (float level : {0.25f, 0.8f, 1.0f}) {
        meter.SetValue(level);
        take(meter, QString::number(level));
    }
    now += 300;
    meter.SetValue(0.4f);
    take(meter, "0.4 (peak 1)");
    const std::pair<const char*, std::pair<int, int>> faces[] = {
        {"m", {Bitmaps::MuteOff, Bitmaps::MuteLit}},
        {"s", {Bitmaps::SoloOff, Bitmaps::SoloLit}},
        {"R", {Bitmaps::RecordOff, Bitmaps::RecordLit}},
        {"fx", {Bitmaps::Effects, 0}}};
    for (const auto& [name, ids] : faces) {
        GuiButton button(QRect(0, 0, 15, 15), &window, 1, ids.second != 0);
        button.SetBitmaps(ids.first, ids.second);
        for (bool enabled : {true, false}) {
            for (bool down : {false, true}) {
                if (down && ids.second == 0)
                    continue;
                button.setEnabled(enabled);
                button.SetDown(down);
                take(button,
                     QString("%1%2%3").arg(name, down ? " on" : "", enabled ? "" : " (dis)"));
            }
        }
    }
    const QImage sheet = Sheet(pictures, labels, window.palette().button().color());
    EXPECT_TRUE(SaveScreenshot(sheet, "controls"));
    EXPECT_TRUE(SaveScreenshot(Magnified(sheet, 3), "controls-x3"));
}
