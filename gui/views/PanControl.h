#pragma once

#include "views/DragControl.h"

// The pan knob: one frame of the knob strip, turned by dragging up and down (two units per
// pixel, down turns right). It tells its parent of a drag with horizontalScroll: ScrollTop at
// the press, ScrollThumbPosition with the new value whenever the drag shows another frame, and
// ScrollEnd when the drag ends (the button goes up, or the knob loses the focus, is hidden or
// disabled in the middle of it). A drag stops short of both ends of the range.
class PanControl : public DragControl {
    Q_OBJECT
    Q_PROPERTY(int controlId READ ControlId CONSTANT)

  public:
    static constexpr int Id = 105;

    PanControl(QWidget* parent, const QRect& rect);

    void SetRange(int min, int max);
    // Returns whether the frame shown changed.
    bool SetValue(int value);
    int GetValue() const { return value_; }
    int Frame() const { return frame_; }

    int ControlId() const { return Id; }
    QSize sizeHint() const override;

  signals:
    // code is a ScrollCode; value the value sent (ScrollThumbPosition) or the knob's value.
    void horizontalScroll(int code, int value);

  protected:
    void paintEvent(QPaintEvent* event) override;

    int CurrentValue() const override { return value_; }
    void Dragged(int pressValue, int pressY, int y) override;
    void Notify(int code, int value) override { emit horizontalScroll(code, value); }

  private:
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    int frame_ = 0;
    int lastSent_ = 0;
};
