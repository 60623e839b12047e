#pragma once

#include <QPushButton>

// One of the transport panel's two marker buttons: a time to jump to, and whether the button
// may be pressed once the panel is not assigning markers. A marker holding no time is unset
// (-1) and its button stays disabled.
class MarkerButton : public QPushButton {
    Q_OBJECT

  public:
    static constexpr int Unset = -1;

    explicit MarkerButton(const QString& caption, QWidget* parent = nullptr);

    int Time() const { return time_; }
    void SetTime(int ms) { time_ = ms; }
    // Whether the button is enabled while the panel is not assigning markers (the button's
    // enabled state itself is the panel's to apply).
    bool MarkerEnabled() const { return enabled_; }
    void SetMarkerEnabled(bool enabled) { enabled_ = enabled; }

  private:
    int time_ = Unset;
    bool enabled_ = false;
};
