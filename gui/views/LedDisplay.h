#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

#include "views/PeakHold.h"

// The level panel beside a fader. With a level above 0 it is a meter: a bar from the bottom
// (0 empty, 1 full; green, then yellow, then red towards the top) and a line at the highest
// level of the last second. At 0 it is a plain panel in the button-face colour.
class LedDisplay : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int controlId READ ControlId CONSTANT)

  public:
    static constexpr int Id = 1504;

    LedDisplay(const QRect& rect, QWidget* parent);

    // Stores level and repaints at once.
    void SetValue(float level);
    float GetValue() const { return level_; }
    // The peak line's level now.
    float HeldPeak() const;

    int ControlId() const { return Id; }

    // Where the meter draws: the well, and the bar's height for a level.
    QRect Well() const;
    int BarHeight(float level) const;

    // The clock the peak is held by (milliseconds, never going back); a steady clock unless a
    // test gives its own.
    void SetClock(std::function<int64_t()> clock);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    float level_ = 0;
    PeakHold peak_;
    std::function<int64_t()> clock_;
    // Repaints when the held peak runs out, should no new level come before.
    QTimer peakExpiry_;
};
