#include "CToolBarStatus.h"

#include "CommandIds.h"
#include "LocalStrings.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QMouseEvent>

// Every pane text, for whoever watches a running program from outside (an
// installed program under test, a user reporting a fault): silent unless
// QT_LOGGING_RULES="kestrane.status.debug=true".
Q_LOGGING_CATEGORY(lcStatusBar, "kestrane.status", QtWarningMsg)

CToolBarStatus::CToolBarStatus(QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar"));
    setSizeGripEnabled(true);
    // Pane 0 stretches; the others are as wide as their sizing texts.
    panes[0] = new QLabel(OwnString(61446), this);
    addWidget(panes[0], 1);
    const int sizingIds[4] = {236, 238, 237, 239};
    const int initialIds[4] = {298, 238, 296, 297};
    for (int i = 1; i < 5; ++i) {
        auto* pane = new QLabel(this);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        const int width = pane->fontMetrics().horizontalAdvance(OwnString(sizingIds[i - 1])) + 12;
        pane->setMinimumWidth(width);
        pane->setText(OwnString(initialIds[i - 1]));
        addPermanentWidget(pane);
        panes[static_cast<std::size_t>(i)] = pane;
    }
}

void CToolBarStatus::SetPaneText(int pane, const QString& text)
{
    if (pane < 0 || pane >= 5) return;
    if (pane == 0) clearMessage();
    panes[static_cast<std::size_t>(pane)]->setText(text);
    qCDebug(lcStatusBar).noquote() << "pane" << pane << text;
}

QString CToolBarStatus::PaneText(int pane) const
{
    if (pane < 0 || pane >= 5) return {};
    return panes[static_cast<std::size_t>(pane)]->text();
}

void CToolBarStatus::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && panes[3]->geometry().contains(e->position().toPoint())) {
        if (postCommand) postCommand(ID_COM_SETTINGS);
        e->accept();
        return;
    }
    QStatusBar::mouseDoubleClickEvent(e);
}
