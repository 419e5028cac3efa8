#include "CMainFrame.h"

#include "CDecodingDlg.h"
#include "CFramesPane.h"

#include "CAnalyzerDoc.h"
#include "CDeviceChangeEvent.h"
#include "CSplashWnd.h"
#include "DeviceNotice.h"
#include "DoDevwatch.h"
#include "ProgramPaths.h"
#include "CCommSetting.h"
#include "CCoolBar.h"
#include "CLineIndicator.h"
#include "CToolBarStatus.h"
#include "CommandIds.h"
#include "FirmwareText.h"
#include "LocalStrings.h"
#include "MessageService.h"
#include "ToolbarImages.h"
#include "WindowMessages.h"
#include "CAnalyzerView.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QDockWidget>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <chrono>
#include <optional>
#include <thread>

Q_DECLARE_LOGGING_CATEGORY(lcStatusBar)

CMainFrame::CMainFrame(CAnalyzerDoc* doc, CAnalyzerView* view, bool fileOnCommandLine) : doc(doc), view(view)
{
    setObjectName(QStringLiteral("MainFrame"));
    setAcceptDrops(true);
    setCentralWidget(view);
    view->SetFrame(this);
    doc->SetFrame(this);
    doc->onTitleChanged = [this] { UpdateTitle(); };

    BuildActions();
    BuildMenu();
    BuildToolBar();

    statusBarWidget = new CToolBarStatus(this);
    statusBarWidget->postCommand = [this](int id) { PostMessage(this, WM_COMMAND_POST, static_cast<uintptr_t>(id)); };
    setStatusBar(statusBarWidget);

    countBar = new CCoolBar(this);
    countBar->onClose = [this] { ToggleCountBar(); };
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks);
    addDockWidget(Qt::RightDockWidgetArea, countBar);
    resizeDocks({countBar}, {CCoolBar::kDefaultWidth}, Qt::Horizontal);

    // The frames of the decoded conversation, below the capture.
    framesPane = new CFramesPane(*view, this);
    framesDock = new QDockWidget(QStringLiteral("Frames"), this);
    framesDock->setObjectName(QStringLiteral("FramesDock"));
    framesDock->setWidget(framesPane);
    addDockWidget(Qt::BottomDockWidgetArea, framesDock);
    framesDock->hide();
    doc->Frames().Configure(ReadDecodeSettings(doc->SettingsPath()));
    OnCommand(ID_VIEW_FRAMES, [this] { framesDock->setVisible(framesDock->isHidden()); },
              [this](CCmdUI& ui) { ui.SetCheck(!framesDock->isHidden()); });
    OnCommand(ID_DECODING_SETTINGS, [this] { DecodingSettings(); });

    OnCommand(ID_VIEW_COUNTBAR, [this] { ToggleCountBar(); }, [this](CCmdUI& ui) { ui.SetCheck(!countBar->isHidden()); });
    OnCommand(ID_VIEW_TOOLBAR, [this] { toolBar->setVisible(toolBar->isHidden()); },
              [this](CCmdUI& ui) { ui.SetCheck(!toolBar->isHidden()); });
    OnCommand(ID_VIEW_STATUS_BAR, [this] { statusBarWidget->setVisible(statusBarWidget->isHidden()); },
              [this](CCmdUI& ui) { ui.SetCheck(!statusBarWidget->isHidden()); });
    OnCommand(ID_HELP_FINDER, [this] { HelpTopics(); });
    OnCommand(ID_APP_EXIT, [this] { close(); });
    OnCommand(ID_TEXT_CONVERT, [this] { StartTextConverter(); }, [this](CCmdUI& ui) { ui.Enable(!this->doc->IsRunning()); });

    // Arrival and removal notices of the probe reach this window from now on.
    devwatchResult = DoDevwatch(this);
    if (!fileOnCommandLine) CSplashWnd::OpenSplash(this);

    RelabelMenu();
    UpdateTitle();
    router.SetChain({view, doc, this});

    // The toolbar's and the menu's states follow the program at idle time.
    idleUpdate = new QTimer(this);
    connect(idleUpdate, &QTimer::timeout, this, [this] { UpdateCommandUI(); });
    idleUpdate->start(200);
    UpdateCommandUI();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::DecodingSettings()
{
    CDecodingDlg dialog(doc->Frames().Settings(), this);
    if ((doc->runDialog ? doc->runDialog(dialog) : dialog.exec()) != QDialog::Accepted) return;
    doc->Frames().Configure(dialog.Settings());
    WriteDecodeSettings(doc->SettingsPath(), dialog.Settings());
    {
        // The store as it stands is decoded afresh; a running capture's
        // blocks wait for the lock and follow.
        CStoreGuard guard(view->StoreLock());
        doc->Frames().DecodeStore(doc->Lines());
    }
    framesPane->Refresh();
    if (dialog.Settings().protocol != DecodeProtocol::None) framesDock->show();
}

void CMainFrame::SetApplicationTarget(CCmdTarget* app) { router.SetChain({view, doc, this, app}); }

QAction* CMainFrame::Action(int id) const
{
    auto it = actions.find(id);
    return it == actions.end() ? nullptr : it->second;
}

bool CMainFrame::RunCommand(int id)
{
    const bool ran = router.Execute(id);
    UpdateCommandUI();
    return ran;
}

void CMainFrame::UpdateCommandUI()
{
    for (auto& [id, action] : actions) {
        const CCmdUI ui = router.Query(id);
        action->setEnabled(ui.enabled);
        if (ui.checkSet) {
            action->setCheckable(true);
            action->setChecked(ui.checked);
        }
    }
    // The indicator area's update handler repaints the indicators.
    CCmdUI indicatorUi(ID_INDICATORS);
    doc->UpdateCommand(indicatorUi);
}

QAction* CMainFrame::MakeAction(int id, const QString& text, int image)
{
    auto* action = new QAction(text, this);
    action->setData(id);
    const QStringList prompt = OwnString(id).split(u'\n');
    if (!prompt.value(0).isEmpty()) action->setStatusTip(prompt.value(0));
    if (!prompt.value(1).isEmpty()) action->setToolTip(prompt.value(1));
    if (image >= 0) action->setIcon(ToolbarIcon(image));
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    actions[id] = action;
    addAction(action); // shortcuts work while the window is active
    return action;
}

void CMainFrame::BuildActions()
{
    MakeAction(ID_FILE_NEW, QStringLiteral("&New\tCtrl+N"), IMG_NEW)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    MakeAction(ID_FILE_OPEN, QStringLiteral("&Open...\tCtrl+O"), IMG_OPEN)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    MakeAction(ID_FILE_SAVE, QStringLiteral("&Save\tCtrl+S"), IMG_SAVE)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    MakeAction(ID_FILE_SAVE_AS, QStringLiteral("Save &As..."));
    MakeAction(ID_FILE_PRINT, QStringLiteral("&Print...\tCtrl+P"), IMG_PRINT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    MakeAction(ID_FILE_PRINT_PREVIEW, QStringLiteral("Print Pre&view"));
    MakeAction(ID_FILE_PRINT_SETUP, QStringLiteral("Print Set&up..."));
    MakeAction(ID_TEXT_CONVERT, QStringLiteral("&Text File Convert"));
    MakeAction(ID_APP_EXIT, QStringLiteral("E&xit\tAlt+F4"));
    MakeAction(ID_VIEW_TOOLBAR, QStringLiteral("&Toolbar"));
    MakeAction(ID_VIEW_STATUS_BAR, QStringLiteral("&Status Bar"));
    MakeAction(ID_VIEW_COUNTBAR, QStringLiteral("&Count Bar"));
    MakeAction(ID_GOTO_LINE, QStringLiteral("&Go To Line...\tCtrl+G"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    MakeAction(ID_COM_SETTINGS, QStringLiteral("&COM settings..."));
    MakeAction(ID_DISPLAY_SETTINGS, QStringLiteral("&Display mode..."));
    MakeAction(ID_FIND, QStringLiteral("&Find...\tCtrl+F"), IMG_FIND)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    MakeAction(ID_BUFFER_SETUP, QStringLiteral("&Buffer..."));
    MakeAction(ID_DECODING_SETTINGS, QStringLiteral("D&ecoding..."));
    MakeAction(ID_VIEW_FRAMES, QStringLiteral("&Frames"));
    MakeAction(ID_HELP_FINDER, QStringLiteral("&Help Topics"))->setShortcut(QKeySequence(Qt::Key_F1));
    MakeAction(ID_APP_ABOUT, QStringLiteral("&About Kestrane..."));
    MakeAction(ID_ANALYZER_START, QStringLiteral("Start"), IMG_START)
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_B), QKeySequence(Qt::Key_F5)});
    MakeAction(ID_ANALYZER_STOP, QStringLiteral("Stop"), IMG_STOP)
        ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_T), QKeySequence(Qt::Key_F6)});
    MakeAction(ID_BLANK_1, QString(), IMG_BLANK);
    MakeAction(ID_MODE_ASCII, QStringLiteral("ASCii Mode"), IMG_ASCII);
    MakeAction(ID_MODE_HEX_H, QStringLiteral("HEX Horizontal"), IMG_HEX_H);
    MakeAction(ID_MODE_HEX_V, QStringLiteral("HEX Vertical"), IMG_HEX_V);
    MakeAction(ID_SHOW_STATUS, QStringLiteral("Line Status"), IMG_STATUS);
    MakeAction(ID_SHOW_STAMP, QStringLiteral("Time Stamp"), IMG_STAMP);
    MakeAction(ID_SHOW_DATETIME, QStringLiteral("Start or stop time"), IMG_DATETIME);
    MakeAction(ID_BLANK_2, QString(), IMG_BLANK2);
    for (int id = ID_FILE_MRU_FIRST; id <= ID_FILE_MRU_LAST; ++id) {
        QAction* recent = MakeAction(id, QString());
        recent->setVisible(false);
        OnCommand(id, [this, id] {
            QAction* a = Action(id);
            if (a && openFile) openFile(a->data().toList().value(1).toString());
        });
    }
}

void CMainFrame::BuildMenu()
{
    QMenuBar* bar = menuBar();
    menus[0] = bar->addMenu(QStringLiteral("&File"));
    for (int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS}) menus[0]->addAction(Action(id));
    menus[0]->addSeparator();
    for (int id : {ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_FILE_PRINT_SETUP}) menus[0]->addAction(Action(id));
    menus[0]->addSeparator();
    menus[0]->addAction(Action(ID_TEXT_CONVERT));
    menus[0]->addSeparator();
    recentPlaceholder = menus[0]->addAction(QStringLiteral("Recent File"));
    recentPlaceholder->setEnabled(false);
    for (int id = ID_FILE_MRU_FIRST; id <= ID_FILE_MRU_LAST; ++id) menus[0]->addAction(Action(id));
    menus[0]->addSeparator();
    menus[0]->addAction(Action(ID_APP_EXIT));

    menus[1] = bar->addMenu(QStringLiteral("&View"));
    for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_COUNTBAR, ID_VIEW_FRAMES}) menus[1]->addAction(Action(id));
    menus[1]->addSeparator();
    menus[1]->addAction(Action(ID_GOTO_LINE));

    menus[2] = bar->addMenu(QStringLiteral("&Settings"));
    for (int id : {ID_COM_SETTINGS, ID_DISPLAY_SETTINGS, ID_FIND, ID_BUFFER_SETUP, ID_DECODING_SETTINGS})
        menus[2]->addAction(Action(id));

    menus[3] = bar->addMenu(QStringLiteral("&Help"));
    menus[3]->addAction(Action(ID_HELP_FINDER));
    menus[3]->addSeparator();
    menus[3]->addAction(Action(ID_APP_ABOUT));

    for (QMenu* menu : menus) connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandUI(); });
}

void CMainFrame::BuildToolBar()
{
    toolBar = addToolBar(QStringLiteral("Toolbar"));
    toolBar->setObjectName(QStringLiteral("ToolBar"));
    toolBar->setIconSize(QSize(16, 16));
    toolBar->setMovable(true);
    toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    auto add = [this](std::initializer_list<int> ids) {
        for (int id : ids) toolBar->addAction(Action(id));
        toolBar->addSeparator();
    };
    add({ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE});
    add({ID_FILE_PRINT, ID_FIND});
    add({ID_ANALYZER_START, ID_ANALYZER_STOP});
    add({ID_BLANK_1});
    add({ID_MODE_ASCII, ID_MODE_HEX_H, ID_MODE_HEX_V});
    add({ID_SHOW_STATUS, ID_SHOW_STAMP, ID_SHOW_DATETIME});
    add({ID_BLANK_2});
    // RTS, CTS, DTR, DSR, CD: the order of the document's colours.
    const char* captions[5] = {"RTS", "CTS", "DTR", "DSR", "CD"};
    for (int i = 0; i < 5; ++i) {
        auto* indicator = new CLineIndicator(QString::fromLatin1(captions[i]), i == 4 ? 4 : 2,
                                             [this, i] { return doc->IndicatorColour(i); }, toolBar);
        indicators[static_cast<std::size_t>(i)] = indicator;
        toolBar->addWidget(indicator);
    }
}

void CMainFrame::RelabelMenu()
{
    // Titles by position, items by command.
    const std::pair<int, int> titles[] = {{240, 0}, {251, 1}, {256, 2}, {261, 3}};
    for (auto [stringId, position] : titles) LocaliseWindowText(menus[static_cast<std::size_t>(position)], stringId);
    const std::pair<int, int> items[] = {
        {241, ID_FILE_NEW}, {242, ID_FILE_OPEN}, {243, ID_FILE_SAVE}, {244, ID_FILE_SAVE_AS},
        {245, ID_FILE_PRINT}, {246, ID_FILE_PRINT_PREVIEW}, {247, ID_FILE_PRINT_SETUP},
        {248, ID_TEXT_CONVERT}, {250, ID_APP_EXIT}, {252, ID_VIEW_TOOLBAR},
        {253, ID_VIEW_STATUS_BAR}, {254, ID_VIEW_COUNTBAR}, {255, ID_GOTO_LINE}, {257, ID_COM_SETTINGS},
        {258, ID_DISPLAY_SETTINGS}, {259, ID_FIND}, {260, ID_BUFFER_SETUP}, {262, ID_HELP_FINDER},
        {263, ID_APP_ABOUT}};
    for (auto [stringId, command] : items) LocaliseWindowText(Action(command), stringId);
    LocaliseWindowText(recentPlaceholder, 249);
}

void CMainFrame::UpdateRecentFiles(const QStringList& files)
{
    int index = 0;
    for (int id = ID_FILE_MRU_FIRST; id <= ID_FILE_MRU_LAST; ++id, ++index) {
        QAction* action = Action(id);
        if (index < files.size()) {
            action->setText(QStringLiteral("&%1 %2").arg(index + 1).arg(QFileInfo(files[index]).fileName()));
            action->setData(QVariantList{id, files[index]});
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
    recentPlaceholder->setVisible(files.isEmpty());
}

void CMainFrame::UpdateTitle()
{
    // The application's title first, then the document's.
    setWindowTitle(QStringLiteral("Kestrane - %1").arg(doc->Title()));
    qCDebug(lcStatusBar).noquote() << "title" << windowTitle();
}

// --- Messages -------------------------------------------------------------------------

bool CMainFrame::event(QEvent* e)
{
    ReceivePostedMessages();
    const int type = static_cast<int>(e->type());
    switch (type) {
    case WM_SET_PANE_TEXT: {
        auto* msg = static_cast<CWindowMessage*>(e);
        OnSetPaneText(msg->wParam, msg->lParam, msg->text);
        msg->result = 1;
        return true;
    }
    case WM_LINK_LOST:
        OnLinkLost();
        static_cast<CWindowMessage*>(e)->result = 1;
        return true;
    case WM_DEVICECHANGE: {
        auto* notice = static_cast<CDeviceChangeEvent*>(e);
        if (MustHoldBack()) {
            const uint32_t code = notice->EventCode();
            const auto header = notice->Notice() ? std::optional(ks::DeviceNotice::FromBytes(notice->Notice(), ks::DeviceNotice::kSize))
                                                 : std::nullopt;
            HoldBack([this, code, header] { OnDeviceChange(code, header ? header->Bytes() : nullptr); });
            notice->result = 1;
            return true;
        }
        notice->result = OnDeviceChange(notice->EventCode(), notice->Notice());
        return true;
    }
    case WM_PAINT_INDICATORS:
        // Cleared before painting, so a change during the paint asks again.
        doc->IndicatorsPainted();
        for (CLineIndicator* indicator : indicators) indicator->update();
        return true;
    case WM_COMMAND_POST:
        RunCommand(static_cast<int>(static_cast<CWindowMessage*>(e)->wParam));
        return true;
    default:
        return QMainWindow::event(e);
    }
}

void CMainFrame::OnSetPaneText(uintptr_t wParam, intptr_t lParam, const QString& text)
{
    switch (wParam) {
    case 264:
        countBar->SetCounters(reinterpret_cast<const uint32_t*>(lParam));
        break;
    case 291:
        statusBarWidget->SetPaneText(0, FormatString(291, lParam));
        break;
    case 293:
        statusBarWidget->SetPaneText(3, QString::fromStdString(FormatLineParameters(static_cast<uint32_t>(lParam))));
        break;
    case 294:
    case 295:
        statusBarWidget->SetPaneText(2, OwnString(static_cast<int>(wParam)));
        break;
    case 296:
        statusBarWidget->SetPaneText(3, OwnString(296));
        break;
    case 297: {
        // A link named here may have been replaced or lost since the message
        // was posted: only the document's live link is asked.
        QString firmware = OwnString(297);
        CUSBCom* link = doc->Link();
        if (lParam != 0 && link && reinterpret_cast<CUSBCom*>(lParam) == link && doc->IsConnected()) {
            char buffer[kFirmwareBufferSize] = {};
            link->ReadFirmwareVersion(3, buffer, kFirmwareBufferSize);
            firmware = FirmwareText(buffer, sizeof buffer);
        }
        statusBarWidget->SetPaneText(4, firmware);
        break;
    }
    case 298:
        statusBarWidget->SetPaneText(1, lParam != 0 ? text : OwnString(298));
        break;
    default:
        statusBarWidget->SetPaneText(0, LoadLocalString(static_cast<int>(wParam)));
        break;
    }
}

void CMainFrame::ToggleCountBar()
{
    countBar->setVisible(countBar->isHidden());
    UpdateCommandUI();
}

void CMainFrame::StartTextConverter()
{
    // The converter runs beside the program on its own; nothing waits for it.
    const QString program = QString::fromStdString(ks::ProgramDirectory()) + QStringLiteral("ks-convert");
    const bool started = startProcess ? startProcess(program) : QProcess::startDetached(program, {});
    if (!started) ks::Messages().Show(LoadLocalString(312), ks::MessageButtons::Ok);
}

void CMainFrame::HelpTopics()
{
    const QString manual = QString::fromStdString(ks::ProgramDirectory()) + QStringLiteral("help/top.htm");
    const auto cannotShow = [manual] {
        ks::Messages().Show(LoadLocalString(344).replace(QStringLiteral("%s"), manual), ks::MessageButtons::Ok);
    };
    if (!QFileInfo::exists(manual)) {
        cannotShow();
        return;
    }
    // The opener is watched rather than started detached: on a machine
    // without a browser it fails after a moment, and F1 would otherwise do
    // nothing at all. Its output goes nowhere, so a browser it leaves running
    // never writes into a closed pipe of ours.
    auto* opener = new QProcess(this);
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    connect(opener, &QProcess::errorOccurred, this, [opener, cannotShow](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        cannotShow();
        opener->deleteLater();
    });
    connect(opener, &QProcess::finished, this, [opener, cannotShow](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0) cannotShow();
        opener->deleteLater();
    });
    opener->start(pageOpener, {QUrl::fromLocalFile(manual).toString()});
}

void CMainFrame::OnDocumentActivated()
{
    // Before the frame is first shown there is nothing to activate; showing
    // it does this.
    if (!activatedOnce) return;
    if (!doc->IsConnected()) {
        doc->OpenLink();
        UpdateCommandUI();
    }
}

void CMainFrame::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    // The first activation opens the link; later ones (a dismissed message
    // box, a return from another program) leave it alone.
    if (!activatedOnce) {
        activatedOnce = true;
        view->setFocus();
        // Once the window is on the screen (Qt maps it after this event): a
        // message box of the open then stands in front of it.
        QTimer::singleShot(0, this, [this] { OnDocumentActivated(); });
    }
}

bool CMainFrame::MustHoldBack() const { return doc->IsLinkBusy() || !heldBack.empty(); }

void CMainFrame::HoldBack(std::function<void()> handling)
{
    heldBack.push_back(std::move(handling));
    // Bounded by the open's message box, which the user answers.
    if (heldBack.size() == 1) QTimer::singleShot(50, this, [this] { ReplayHeldBack(); });
}

void CMainFrame::ReplayHeldBack()
{
    // One at a time from the front: a handling that opens the link again
    // may hold back newer ones behind the rest.
    while (!heldBack.empty() && !doc->IsLinkBusy()) {
        std::function<void()> next = std::move(heldBack.front());
        heldBack.pop_front();
        next();
    }
    if (!heldBack.empty()) QTimer::singleShot(50, this, [this] { ReplayHeldBack(); });
}

void CMainFrame::OnLinkLost()
{
    if (MustHoldBack()) HoldBack([this] { CloseLostLink(); });
    else CloseLostLink();
}

void CMainFrame::CloseLostLink()
{
    // A loss clears `connected`, and only a new open sets it again: a link
    // that is connected now was opened after this loss was reported (the
    // probe pulled and plugged in again) and is not the one that was lost.
    if (doc->IsConnected()) return;
    // Already closed (the probe's removal notice came first): nothing to wait for.
    if (!doc->Link()) return;
    // Lets the link's threads finish what they were doing before it goes.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    doc->CloseLink();
    UpdateCommandUI();
}

int CMainFrame::OnDeviceChange(uint32_t eventCode, const uint8_t* notice)
{
    if (!notice) return 0;
    const ks::DeviceNotice header = ks::DeviceNotice::FromBytes(notice, ks::DeviceNotice::kSize);
    if (header.DeviceType() != ks::kDeviceTypeInterface) return 0;
    if (header.InterfaceClass() != ks::kProbeInterfaceClass) return 0;
    if (!doc) return 0;
    switch (eventCode) {
    case ks::kDeviceArrival:
        // The link opens; a capture is never started by a plug.
        if (!doc->IsConnected()) doc->OpenLink(&CAnalyzerDoc::MonitorDataCallback);
        break;
    case ks::kDeviceRemoveComplete:
        doc->CloseLink();
        doc->ShowLinkLost();
        break;
    default:
        break;
    }
    UpdateCommandUI();
    return 1;
}

void CMainFrame::closeEvent(QCloseEvent* e)
{
    if (!doc->SaveModified()) {
        e->ignore();
        return;
    }
    doc->CanCloseFrame();
    e->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* e)
{
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    e->acceptProposedAction();
    if (openFile) openFile(urls.first().toLocalFile());
}
