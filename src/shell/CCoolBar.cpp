#include "CCoolBar.h"

#include "LocalStrings.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

int CounterLabelTop(int index)
{
    int top = 0;
    for (int i = 0; i < index; ++i) top += (i % 2 == 0) ? 22 : 26;
    return top;
}

namespace {

// The counters' colours (0x00BBGGRR), -1 for the system's button text.
constexpr int32_t kLabelColours[13] = {
    0x0000FF, 0xFF0000, 0x0000FF, 0x000080, 0xFF0000, 0x800000,
    0x0000FF, 0x000080, 0xFF0000, 0x800000, 0x0000FF, 0x000080, -1};

// The gripper band: two raised grip lines and the close button while docked;
// the bar's title while it floats.
class CoolBarTitle : public QWidget {
public:
    explicit CoolBarTitle(CCoolBar* bar) : QWidget(bar), bar(bar) { setMouseTracking(true); }

    QSize sizeHint() const override
    {
        return QSize(CCoolBar::kCloseSize + 8, bar->HasGripper() ? CCoolBar::kGripperHeight + 2 : fontMetrics().height() + 4);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QPalette& pal = palette();
        p.fillRect(rect(), pal.color(QPalette::Button));
        const QRect close = bar->CloseButtonRect();
        if (bar->HasGripper()) {
            const QRect inner = rect().adjusted(1, 1, -1, -1);
            for (int line = 0; line < 2; ++line) {
                const int top = inner.top() + 2 + line * 3;
                const int right = close.left() - 3;
                p.setPen(pal.color(QPalette::Light));
                p.drawLine(inner.left() + 1, top, right, top);
                p.drawLine(inner.left() + 1, top, inner.left() + 1, top + 2);
                p.setPen(pal.color(QPalette::Dark));
                p.drawLine(inner.left() + 1, top + 2, right, top + 2);
                p.drawLine(right, top, right, top + 2);
            }
        } else {
            p.setPen(pal.color(QPalette::ButtonText));
            p.drawText(rect().adjusted(3, 0, -(CCoolBar::kCloseSize + 6), 0), Qt::AlignVCenter | Qt::AlignLeft, bar->windowTitle());
        }
        // The close button: sunken while pushed, raised while hot, else flat.
        if (pushed || hot) {
            p.setPen(pal.color(pushed ? QPalette::Dark : QPalette::Light));
            p.drawLine(close.topLeft(), close.topRight());
            p.drawLine(close.topLeft(), close.bottomLeft());
            p.setPen(pal.color(pushed ? QPalette::Light : QPalette::Dark));
            p.drawLine(close.bottomLeft(), close.bottomRight());
            p.drawLine(close.topRight(), close.bottomRight());
        }
        p.setPen(QPen(pal.color(QPalette::ButtonText), 1.5));
        const QRect glyph = close.adjusted(3, 3, -3, -3);
        p.drawLine(glyph.topLeft(), glyph.bottomRight());
        p.drawLine(glyph.topRight(), glyph.bottomLeft());
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && bar->CloseButtonRect().contains(e->position().toPoint())) {
            pushed = true;
            update();
            e->accept();
            return;
        }
        e->ignore(); // the dock widget drags the bar
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        const bool over = bar->CloseButtonRect().contains(e->position().toPoint());
        const bool newHot = over && !(e->buttons() & Qt::LeftButton);
        const bool newPushed = pushed && over;
        if (newHot != hot || (pushed && newPushed != shownPushed)) {
            hot = newHot;
            shownPushed = newPushed;
            update();
        }
        e->ignore();
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        const bool wasPushed = pushed;
        pushed = false;
        update();
        if (wasPushed && e->button() == Qt::LeftButton && bar->CloseButtonRect().contains(e->position().toPoint())) {
            e->accept();
            if (bar->onClose) bar->onClose();
            else bar->hide();
            return;
        }
        e->ignore();
    }
    void leaveEvent(QEvent*) override
    {
        if (hot) {
            hot = false;
            update();
        }
    }

private:
    CCoolBar* bar;
    bool pushed = false;
    bool shownPushed = false;
    bool hot = false;
};

// The client area: labels keep their tops and heights and take its width.
class CounterPanel : public QWidget {
public:
    explicit CounterPanel(CCoolBar* bar) : QWidget(bar), bar(bar) {}
    QSize sizeHint() const override { return QSize(CCoolBar::kDefaultWidth, CCoolBar::kDefaultHeight - CCoolBar::kGripperHeight); }
    QSize minimumSizeHint() const override { return QSize(33, 32); }

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QWidget::resizeEvent(e);
        bar->LayoutLabels();
    }

private:
    CCoolBar* bar;
};

} // namespace

CCoolBar::CCoolBar(QWidget* parent) : QDockWidget(QStringLiteral("The Bottom Control Bar"), parent)
{
    setObjectName(QStringLiteral("CountBar"));
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    auto* title = new CoolBarTitle(this);
    setTitleBarWidget(title);
    connect(this, &QDockWidget::topLevelChanged, title, [title] { title->updateGeometry(); title->update(); });
    connect(this, &QDockWidget::windowTitleChanged, title, [title] { title->update(); });
    panel = new CounterPanel(this);
    setWidget(panel);
    setMinimumWidth(33);
    for (int i = 0; i < 13; ++i) {
        auto* label = new CColorStaticST(panel);
        label->setObjectName(QStringLiteral("counter%1").arg(277 + i));
        label->setText(FormatString(264 + i, 0));
        label->SetTextColour(kLabelColours[i]);
        const QStringList tips = LoadLocalString(277 + i).split(u'\n');
        label->setStatusTip(tips.value(0));
        label->setToolTip(tips.value(1, tips.value(0)));
        labels[static_cast<std::size_t>(i)] = label;
    }
    LayoutLabels();
}

QRect CCoolBar::CloseButtonRect() const
{
    const QWidget* title = titleBarWidget();
    const int width = title ? title->width() : this->width();
    return QRect(width - kCloseSize - 3, 1, kCloseSize, kCloseSize);
}

void CCoolBar::LayoutLabels()
{
    if (!panel) return;
    const int width = panel->width();
    for (int i = 0; i < 13; ++i) labels[static_cast<std::size_t>(i)]->setGeometry(0, CounterLabelTop(i), width, kLabelHeight);
}

void CCoolBar::SetCounters(const uint32_t* counters)
{
    if (!counters) return;
    for (int i = 0; i < 13; ++i) labels[static_cast<std::size_t>(i)]->setText(FormatString(264 + i, counters[i]));
}
