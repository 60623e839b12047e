#pragma once

#include <QWidget>

// The time ruler beside the strips: labels the window the file views show, a label at every
// fifth of it. The application view sets the window on every refresh.
class TimeView : public QWidget {
    Q_OBJECT

  public:
    explicit TimeView(QWidget* parent = nullptr);

    // Shows [start, end) from the top to the bottom edge; the labels step by a fifth of it.
    void SetTimeRange(int start, int end);

    int Start() const { return start_; }
    int End() const { return end_; }
    int Step() const { return step_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int step_ = 30;
    int start_ = -100;
    int end_ = 100;
};
