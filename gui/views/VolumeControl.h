#pragma once

#include "views/DragControl.h"

#include "QuibFX.h"

// The fader: the thumb runs along the track bitmap, max at the top, min 30 pixels above the
// bottom. It tells its parent of a drag with verticalScroll: ScrollTop at the press,
// ScrollThumbPosition with each new value, and ScrollEnd when the drag ends (the button goes
// up, or the fader loses the focus, is hidden or disabled in the middle of it).
class VolumeControl : public DragControl {
    Q_OBJECT
    Q_PROPERTY(int controlId READ ControlId CONSTANT)

  public:
    static constexpr int Id = 106;
    // The value of a fader that was never set.
    static constexpr int NotSet = -112;

    VolumeControl(QWidget* parent, const QRect& rect);

    void SetRange(int min, int max);
    // Limits value to the range; returns whether the value changed.
    bool SetValue(int value);
    int GetValue() const { return value_; }
    int Min() const { return min_; }
    int Max() const { return max_; }
    // The thumb's top, in pixels from the top.
    int ThumbY() const { return thumbY_; }

    // Draw the value as text at the bottom left.
    bool showValue = false;
    // Free for the parent: the plug-in knob this fader stands for, if any.
    const FX::Knob* knob = nullptr;

    int ControlId() const { return Id; }
    QSize sizeHint() const override;

  signals:
    // code is a ScrollCode; value the new value (ScrollThumbPosition) or the fader's value.
    void verticalScroll(int code, int value);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    int CurrentValue() const override { return value_; }
    void Dragged(int pressValue, int pressY, int y) override;
    void Notify(int code, int value) override { emit verticalScroll(code, value); }

  private:
    int max_ = 100;
    int min_ = 0;
    int value_ = NotSet;
    int thumbY_ = 0;
};
