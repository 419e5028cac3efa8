#pragma once
// The position popup: a small window without caption or frame that the view
// shows at a click into the log, with the display line ("LIN:") and the
// index of the clicked character over the whole log ("IDX:"), both from 1.
// It hides itself as soon as the mouse has left it: every 50 ms it looks
// where the pointer is.
#include <QWidget>

#include <functional>

class QLineEdit;
class QTimer;

class CDlgInfo : public QWidget {
public:
    explicit CDlgInfo(QWidget* parent = nullptr);

    // Shows the popup over the screen rectangle (left, top)-(right, bottom)
    // with `line` and `index`; a 0 leaves its field empty.
    void ShowPositionWindow(int left, int top, int right, int bottom, int line, int index);

    QString LineText() const;
    QString IndexText() const;
    bool TimerActive() const;

    // Where the pointer is, in screen coordinates; false when it cannot be
    // read. The pointer by default.
    std::function<bool(QPoint&)> cursorPosition;

    // The timer's check: hides the popup once the pointer is more than 3
    // pixels beside it or 1 pixel above or below it.
    void OnTimer();

    static constexpr int kTimerId = 106;
    static constexpr int kPeriodMs = 50;

private:
    QLineEdit* lineEdit = nullptr;
    QLineEdit* indexEdit = nullptr;
    QTimer* timer = nullptr;
};
