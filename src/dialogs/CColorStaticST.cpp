#include "CColorStaticST.h"

#include <QApplication>
#include <QPalette>

CColorStaticST::CColorStaticST(QWidget* parent) : QLabel(parent)
{
    // The background is the button face, as for every control of a bar.
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(p);
    SetTextColour(-1);
}

QColor CColorStaticST::EffectiveTextColour() const
{
    if (textColour == -1) return QApplication::palette().color(QPalette::ButtonText);
    const auto v = static_cast<uint32_t>(textColour);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

void CColorStaticST::SetTextColour(int32_t colour)
{
    textColour = colour;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, EffectiveTextColour());
    setPalette(p);
    update();
}
