#include "CButtonColor.h"

#include "ColorRef.h"

#include <QMouseEvent>
#include <QPainter>

CButtonColor::CButtonColor(QWidget* parent) : QPushButton(parent)
{
    // Moves without a pressed button are needed to follow the mouse.
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CButtonColor::SetColour(int32_t value)
{
    colour = value;
    hot = false;
    update();
}

QSize CButtonColor::sizeHint() const
{
    // A swatch as wide as about four average characters and one text line
    // high, so that it grows with the dialog's font.
    const QFontMetrics fm = fontMetrics();
    return QSize(qMax(16, fm.averageCharWidth() * 15 / 4), qMax(10, fm.height()));
}

QSize CButtonColor::minimumSizeHint() const { return sizeHint(); }

void CButtonColor::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));

    QRect r = rect();
    if (hot) r.adjust(1, 1, -1, -1);
    if (r.width() < 2 || r.height() < 2) return;

    QColor fill = ColorFromRef(colour);
    QColor outline = Qt::black;
    if (!isEnabled()) {
        // A disabled swatch must not look like one that can be clicked: its
        // colour is washed out towards the face and its outline greyed.
        const QColor face = palette().color(QPalette::Button);
        fill = QColor((fill.red() + face.red()) / 2, (fill.green() + face.green()) / 2,
                      (fill.blue() + face.blue()) / 2);
        outline = palette().color(QPalette::Disabled, QPalette::WindowText);
    }

    // A filled rectangle with a one-pixel outline; the outline covers the
    // rectangle's own edge pixels (hence the -1 on the far sides).
    painter.setPen(QPen(outline, 1));
    painter.setBrush(fill);
    painter.drawRect(r.adjusted(0, 0, -1, -1));

    if (hasFocus() && r.width() > 4 && r.height() > 4) {
        // The keyboard focus shows as a second outline just inside the first.
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(1, 1, -2, -2));
    }
}

void CButtonColor::SetHot(bool on)
{
    if (hot == on) return;
    hot = on;
    update();
}

void CButtonColor::mouseMoveEvent(QMouseEvent* event)
{
    // While a button is held the move events keep coming after the mouse has
    // left the swatch (the widget holds the mouse): follow where it really is.
    SetHot(rect().contains(event->position().toPoint()));
    QPushButton::mouseMoveEvent(event);
}

void CButtonColor::enterEvent(QEnterEvent* event)
{
    SetHot(true);
    QPushButton::enterEvent(event);
}

void CButtonColor::leaveEvent(QEvent* event)
{
    SetHot(false);
    QPushButton::leaveEvent(event);
}
