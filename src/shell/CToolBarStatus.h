#pragma once
// The status bar: a stretching message pane and four fixed panes (position,
// USB state, line parameters, firmware). A double click on the line-parameter
// pane asks for the communication settings, as the menu entry does.
#include <QStatusBar>

#include <array>
#include <functional>

class QLabel;

class CToolBarStatus : public QStatusBar {
public:
    explicit CToolBarStatus(QWidget* parent);

    void SetPaneText(int pane, const QString& text);
    QString PaneText(int pane) const;
    QLabel* Pane(int pane) const { return panes[static_cast<std::size_t>(pane)]; }
    // Runs a command (223 for a double click on pane 3).
    std::function<void(int)> postCommand;

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    std::array<QLabel*, 5> panes{};
};
