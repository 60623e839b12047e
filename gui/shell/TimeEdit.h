#pragma once

#include <QLineEdit>
#include <cstdint>
#include <stdexcept>

// What TimeEdit::ParseTime throws for a text that is not a time, after showing why.
class TimeTextError : public std::runtime_error {
  public:
    explicit TimeTextError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const { return message_; }

  private:
    QString message_;
};

// The time field of the transport panel: shows the play position as minutes, seconds and
// milliseconds, and on Enter asks to go to the time typed into it.
class TimeEdit : public QLineEdit {
    Q_OBJECT

  public:
    static constexpr int MaxChars = 10;

    explicit TimeEdit(QWidget* parent = nullptr);

    // Shows ms as "mm:ss:mmm" (more minute digits when needed, shown whole).
    void FormatTime(uint32_t ms);
    // The time the text holds, in ms. A text that is not a time is told to the user in a box
    // (OK only) and then thrown as TimeTextError; the text stays as it is.
    uint32_t ParseTime();

  signals:
    // Enter was pressed on a text that holds a time.
    void GotoTime(unsigned ms);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};
