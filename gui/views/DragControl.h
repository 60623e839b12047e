#pragma once

#include <QWidget>

// The drag both the pan knob and the fader share: a left-button press starts it (ScrollTop),
// every move while it lasts goes to Dragged, and it ends with ScrollEnd when the button goes up
// or the control loses the focus, is hidden or disabled in the middle of it, so that a drag
// can never stay stuck. While the button is held, Qt sends every move to the pressed widget,
// also outside it.
class DragControl : public QWidget {
  public:
    bool IsDragging() const { return dragging_; }

  protected:
    explicit DragControl(QWidget* parent);

    // The control's value now: what the press and the end of a drag report.
    virtual int CurrentValue() const = 0;
    // The pointer moved to y during a drag started at pressY with the value pressValue.
    virtual void Dragged(int pressValue, int pressY, int y) = 0;
    // Tells the parent: code is a ScrollCode.
    virtual void Notify(int code, int value) = 0;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void EndDrag();

    int pressValue_ = 0;
    int pressY_ = 0;
    bool dragging_ = false;
};
