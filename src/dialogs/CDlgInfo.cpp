#include "CDlgInfo.h"

#include <QCursor>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

CDlgInfo::CDlgInfo(QWidget* parent) : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::ToolTipBase));
    p.setColor(QPalette::WindowText, p.color(QPalette::ToolTipText));
    setPalette(p);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    auto makeEdit = [this] {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(true);
        edit->setFrame(false);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setAlignment(Qt::AlignRight);
        QPalette ep = edit->palette();
        ep.setColor(QPalette::Base, palette().color(QPalette::Window));
        edit->setPalette(ep);
        return edit;
    };
    lineEdit = makeEdit();
    indexEdit = makeEdit();
    grid->addWidget(new QLabel(QStringLiteral("LIN:"), this), 0, 0);
    grid->addWidget(lineEdit, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("IDX:"), this), 1, 0);
    grid->addWidget(indexEdit, 1, 1);

    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { OnTimer(); });
    cursorPosition = [](QPoint& at) {
        at = QCursor::pos();
        return true;
    };
}

QString CDlgInfo::LineText() const { return lineEdit->text(); }
QString CDlgInfo::IndexText() const { return indexEdit->text(); }
bool CDlgInfo::TimerActive() const { return timer->isActive(); }

void CDlgInfo::ShowPositionWindow(int left, int top, int right, int bottom, int line, int index)
{
    lineEdit->setText(line ? QString::number(line) : QString());
    indexEdit->setText(index ? QString::number(index) : QString());
    setGeometry(left, top, right - left, bottom - top);
    update();
    timer->start(kPeriodMs);
    show();
}

void CDlgInfo::OnTimer()
{
    QPoint at;
    if (!cursorPosition || !cursorPosition(at)) return;
    const QRect around = geometry().adjusted(-3, -1, 3, 1);
    if (around.contains(at)) return;
    hide();
    timer->stop();
}
