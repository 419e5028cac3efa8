#include "CLineIndicator.h"

#include "CDisplayFonts.h"

#include <QPainter>

namespace {
// Two 20-pixel toolbar items: the caption over both, the box under the first.
constexpr int kItemWidth = 20;
} // namespace

CLineIndicator::CLineIndicator(const QString& caption, int captionLeft, std::function<uint32_t()> colour, QWidget* parent)
    : QWidget(parent), caption(caption), captionLeft(captionLeft), colour(std::move(colour))
{
    setObjectName(caption);
    setToolTip(caption);
}

QSize CLineIndicator::sizeHint() const { return QSize(2 * kItemWidth, 24); }

void CLineIndicator::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    static const QFont captionFont = [] {
        QFont f(QString::fromLatin1(CDisplayFonts::kCourierFamily));
        f.setPixelSize(11);
        return f;
    }();
    p.setFont(captionFont);
    p.setPen(palette().color(QPalette::WindowText));
    const int h = height();
    p.drawText(QRect(captionLeft, 0, 2 * kItemWidth - captionLeft, 12), Qt::AlignLeft | Qt::AlignTop, caption);
    // The box: the first item's width, from 12 below the top to 2 above the bottom.
    painted = colour ? colour() : 0x808080;
    const QRect box(0, 12, kItemWidth, std::max(h - 14, 4));
    p.setPen(palette().color(QPalette::Dark));
    p.setBrush(QColor(static_cast<int>(painted & 0xFF), static_cast<int>((painted >> 8) & 0xFF),
                      static_cast<int>((painted >> 16) & 0xFF)));
    p.drawRect(box.adjusted(0, 0, -1, -1));
}
