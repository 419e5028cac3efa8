#pragma once
// The main window: menu, toolbar with the five line indicators, status bar,
// count bar, and the view in the middle. It is also the status display of the
// whole program: everybody else sends it WM_SET_PANE_TEXT with a string id and
// it decides which pane or counter that concerns.
#include "CCmdTarget.h"

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>

class CAnalyzerDoc;
class CAnalyzerView;
class CCoolBar;
class CFramesPane;
class QDockWidget;
class CLineIndicator;
class CToolBarStatus;
class QAction;
class QMenu;
class QToolBar;

class CMainFrame : public QMainWindow, public CCmdTarget {
public:
    // `fileOnCommandLine`: start-up opens a file, so no splash is shown.
    CMainFrame(CAnalyzerDoc* doc, CAnalyzerView* view, bool fileOnCommandLine = false);
    ~CMainFrame() override;

    // The command chain: view, document, this frame, then `app`.
    void SetApplicationTarget(CCmdTarget* app);
    CCommandRouter& Router() { return router; }
    // Runs a command as the menu would (only when enabled).
    bool RunCommand(int id);
    // Refreshes enabled and checked states of every action.
    void UpdateCommandUI();
    QAction* Action(int id) const;

    CToolBarStatus* StatusBar() const { return statusBarWidget; }
    CCoolBar* CountBar() const { return countBar; }
    // The Frames pane (View, Frames) and its dock.
    CFramesPane* FramesPane() const { return framesPane; }
    QDockWidget* FramesDock() const { return framesDock; }
    QToolBar* ToolBar() const { return toolBar; }
    CLineIndicator* Indicator(int index) const { return indicators[static_cast<std::size_t>(index)]; }
    // Re-labels the menu from the language catalogue (at creation).
    void RelabelMenu();
    // Re-reads the recent-file list into the File menu.
    void UpdateRecentFiles(const QStringList& files);
    // Opens a dropped or recent file (set by the application).
    std::function<void(const QString&)> openFile;
    void UpdateTitle();
    // Starts a program without waiting for it; false when it could not be
    // started. Replaced in tests.
    std::function<bool(const QString& program)> startProcess;
    // The desktop's opener of web pages, given the manual's address; its
    // exit status says whether a browser took it. Replaced in tests.
    QString pageOpener = QStringLiteral("xdg-open");

    // A document was made or opened into the frame (and at start-up): the
    // link is opened unless it is connected. A focus change never opens it,
    // so a failing open is reported once per attempt, not on every return to
    // the window.
    void OnDocumentActivated();
    // The probe arrived or was removed. Returns 1 when the notice was about
    // the probe's interface and was acted on, 0 when it was not ours.
    int OnDeviceChange(uint32_t eventCode, const uint8_t* notice);
    // The result of registering for device notices at creation (1 or 0).
    int DeviceNotificationsRegistered() const { return devwatchResult; }

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    // Settings, Decoding...: the protocol, then the capture decoded afresh.
    void DecodingSettings();
    QAction* MakeAction(int id, const QString& text, int image = -1);
    void BuildActions();
    void BuildMenu();
    void BuildToolBar();
    void OnSetPaneText(uintptr_t wParam, intptr_t lParam, const QString& text);
    void OnLinkLost();
    void CloseLostLink();
    // Device notices and link losses that come while an open of the link
    // (and the message box it may show) is in progress wait in one queue,
    // and so does anything that comes while the queue holds something: they
    // are handled in the order they came, once the link is idle.
    void HoldBack(std::function<void()> handling);
    void ReplayHeldBack();
    bool MustHoldBack() const;
    void ToggleCountBar();
    void HelpTopics();
    void StartTextConverter();

    CAnalyzerDoc* doc;
    CAnalyzerView* view;
    CCommandRouter router;
    std::map<int, QAction*> actions;
    std::array<QMenu*, 4> menus{};
    QMenu* recentMenu = nullptr;
    QAction* recentPlaceholder = nullptr;
    QToolBar* toolBar = nullptr;
    CToolBarStatus* statusBarWidget = nullptr;
    CCoolBar* countBar = nullptr;
    CFramesPane* framesPane = nullptr;
    QDockWidget* framesDock = nullptr;
    std::array<CLineIndicator*, 5> indicators{};
    QTimer* idleUpdate = nullptr;
    std::deque<std::function<void()>> heldBack;
    bool activatedOnce = false;
    int devwatchResult = 0;
};
