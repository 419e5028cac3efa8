#pragma once
// A push button that shows a colour swatch (the colour buttons of the display
// settings and find dialogs). It draws itself one pixel smaller on each side
// while the mouse is over it, so the user sees which swatch a click picks.
#include <QPushButton>

#include <cstdint>

class CButtonColor : public QPushButton {
public:
    explicit CButtonColor(QWidget* parent = nullptr);

    // 0x00BBGGRR. Stores the colour, clears the hot state and repaints.
    void SetColour(int32_t colour);
    int32_t Colour() const { return colour; }
    // The mouse is over the button.
    bool Hot() const { return hot; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetHot(bool on);

    int32_t colour = 0;
    bool hot = false;
};
