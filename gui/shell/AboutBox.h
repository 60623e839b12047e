#pragma once

#include <QDialog>
#include <QTimer>

// The about box: the program's picture and, along its bottom, a line that scrolls to the left
// every 100 ms. A click anywhere closes it. Where the line stands carries over to the next
// time the box opens.
class AboutBox : public QDialog {
    Q_OBJECT

  public:
    static constexpr const char* Line =
        "Torvane proudly presesents Zembla. Feel the wibes, do the choka-choka";

    explicit AboutBox(QWidget* parent = nullptr);

    // Where the line was drawn last (the line's x for the whole program).
    static int LineX();
    // Forgets where the line stands, as before the first paint.
    static void ResetLine();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void Tick();

    QTimer timer_;
};
