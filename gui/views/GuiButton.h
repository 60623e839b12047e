#pragma once

#include <QAbstractButton>

// A button that shows one of the program's bitmaps as its face. A push button shows its off
// face; a toggle shows its on face while it is down. A toggle flips at the press, so the
// parent sees the new state when the click arrives at the release; a press that is released
// outside the button (no click) flips it back, so the button never shows a state its parent
// was not told of. Disabled, it shows its off face greyed, whatever its state.
class GuiButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(int controlId READ ControlId CONSTANT)

  public:
    GuiButton(const QRect& rect, QWidget* parent, int id, bool isToggle);

    // The faces, by bitmap number; onId 0 for none.
    void SetBitmaps(int offId, int onId);

    int ControlId() const { return id_; }
    bool IsToggle() const { return isToggle_; }
    // A toggle's own state (a push button is never down). Not QAbstractButton::isDown, which
    // tells whether the button is being pressed.
    bool IsDown() const { return isChecked(); }
    void SetDown(bool down);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void nextCheckState() override;

  private:
    void FlipAtPress();
    void FlipBackWithoutClick();

    const int id_;
    const bool isToggle_;
    int offId_ = 0;
    int onId_ = 0;
    bool flippedByPress_ = false;
};
