#include "CAnalyzerDoc.h"

#include "FileNameBytes.h"
#include "CRecoveryFile.h"
#include "DebugLog.h"

#include "DeviceNoticeHub.h"
#include "MessageService.h"
#include "CommandIds.h"
#include "LocalStrings.h"
#include "WindowMessages.h"

#include "CCommDlg.h"
#include "CDisplayDlg.h"
#include "CCaptureLoad.h"
#include "CCaptureReader.h"
#include "CLoadProgressDlg.h"
#include "CPendingFile.h"
#include "StoreCost.h"

#include "AvailableMemory.h"
#include "DebugLog.h"
#include "CSeriesControl.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>

#include <chrono>
#include <ctime>
#include <thread>

namespace {

// The wait cursor for the length of a scope (only where a GUI exists).
class WaitCursor {
public:
    WaitCursor()
    {
        active = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
        if (active) QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor()
    {
        if (active) QApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool active = false;
};

uint32_t NowSeconds() { return static_cast<uint32_t>(std::time(nullptr)); }

QString WriteFailedText() { return LoadLocalString(325); }

// The document type's filter, "Kestrane files (*.ksf)", from its type string.
QString DocumentFilter()
{
    const QStringList parts = OwnString(100).split(u'\n');
    return QStringLiteral("%1 (*%2)").arg(parts.value(3).section(u' ', 0, -2), parts.value(4));
}

QString DefaultExtension()
{
    const QString ext = OwnString(100).split(u'\n').value(4);
    return ext.isEmpty() ? QStringLiteral(".ksf") : ext;
}

} // namespace

CAnalyzerDoc::CAnalyzerDoc(std::string path)
    : settingsPath(std::move(path)), commSetting(settingsPath)
{
    for (auto& colour : indicatorColour) colour.store(kIndicatorGrey);
    if (!settingsPath.empty()) displayMode.LoadSettings(settingsPath);
    // A width from the file that no line could be laid out in, or that the
    // view could not hold, counts as "not set yet".
    if (displayMode.cxLine < 1 || displayMode.cxLine > kMaxLineWidth) displayMode.cxLine = -1;
    SetTitleFromPath({});

    OnCommand(ID_ANALYZER_START, [this] { OnAnalyzerStart(); }, [this](CCmdUI& ui) {
        ui.Enable(connected);
        ui.SetCheck(connected && running);
    });
    OnCommand(ID_ANALYZER_STOP, [this] { OnAnalyzerStop(); }, [this](CCmdUI& ui) {
        ui.Enable(connected);
        ui.SetCheck(connected && !running);
    });
    for (int mode = 0; mode < 3; ++mode) {
        OnCommand(ID_MODE_ASCII + mode, [this, mode] {
            SetDisplayOption(&CDisplayMode::DataMode, mode, true, false);
        }, [this, mode](CCmdUI& ui) {
            ui.Enable(!running);
            ui.SetCheck(displayMode.DataMode == mode);
        });
    }
    OnCommand(ID_SHOW_STATUS, [this] {
        SetDisplayOption(&CDisplayMode::Status, displayMode.Status ? 0 : 1, true, true);
    }, [this](CCmdUI& ui) { ui.Enable(!running); ui.SetCheck(displayMode.Status != 0); });
    OnCommand(ID_SHOW_STAMP, [this] {
        SetDisplayOption(&CDisplayMode::Stamp, displayMode.Stamp ? 0 : 1, false, true);
    }, [this](CCmdUI& ui) { ui.Enable(!running); ui.SetCheck(displayMode.Stamp != 0); });
    OnCommand(ID_SHOW_DATETIME, [this] {
        SetDisplayOption(&CDisplayMode::DateTime, displayMode.DateTime ? 0 : 1, false, false);
    }, [this](CCmdUI& ui) { ui.Enable(!running); ui.SetCheck(displayMode.DateTime != 0); });
    // The indicator area repaints whenever the toolbar is refreshed.
    OnUpdate(ID_INDICATORS, [this](CCmdUI&) { PaintLineIndicators(); });
    OnCommand(ID_COM_SETTINGS, [this] { OnCommSettings(); }, [this](CCmdUI& ui) { ui.Enable(!running); });
    OnCommand(ID_DISPLAY_SETTINGS, [this] { OnDisplaySettings(); });
    OnCommand(ID_APPLY_DISPLAY, [this] { AfterDisplaySettings(false); });
    OnCommand(ID_FILE_SAVE, [this] { OnFileSave(); }, [this](CCmdUI& ui) { ui.Enable(!running); });
    OnCommand(ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); }, [this](CCmdUI& ui) { ui.Enable(!running); });
    series = std::make_unique<CSeriesControl>(*this, settingsPath);
    OnCommand(ID_BUFFER_SETUP, [this] { series->OnBufferSetup(); });
    OnCommand(ID_LONGSAVE_START, [this] { series->OnLongSaveStart(); });
    OnCommand(ID_LONGSAVE_STOP, [this] { series->OnLongSaveStop(); });
    recovery = std::make_unique<CRecoveryFile>();
    recoveryTimer = new QTimer(this);
    connect(recoveryTimer, &QTimer::timeout, this, [this] { UpdateRecovery(); });
}

CAnalyzerDoc::~CAnalyzerDoc()
{
    running = false;
    if (link) {
        if (connected) link->RequestStop();
        link.reset();
    }
    connected = false;
    // A normal end: whatever was not saved, the user decided so.
    recovery->Remove();
    if (!settingsPath.empty()) displayMode.SaveSettings(settingsPath);
    // commSetting writes itself back when destroyed.
}

CStoreLock& CAnalyzerDoc::StoreLock() { return view ? view->StoreLock() : ownLock; }

void CAnalyzerDoc::PostPane(int id, intptr_t lParam) { PostMessage(frame, WM_SET_PANE_TEXT, static_cast<uintptr_t>(id), lParam); }

// --- Start and stop ---------------------------------------------------------

void CAnalyzerDoc::OnAnalyzerStart()
{
    if (running) return;
    {
        CStoreGuard guard(StoreLock());
        // A capture stopped mid-burst left no burst behind it: the idle
        // stamp of this one must run from the start, and its first draw
        // does not wait on the pace of the last one.
        burstActive = false;
        busyLine = false;
        if (displayMode.DateTime) lineStore->AddStartStopTime(static_cast<int64_t>(std::time(nullptr)), displayMode);
    }
    running = true;
    if (connected && link) link->RequestStart();
    longSaveActive = false;
    linesDroppedTold = false;
    PostMessage(ViewWindow(), WM_VIEW_STATE, VIEW_CAPTURE_STARTED);
    PostPane(298);
    if (view) {
        SendMessage(ViewWindow(), WM_SET_MARKS, 0, 0);
        view->Invalidate();
    }
    PostMessage(ViewWindow(), WM_HIDE_TOOL_WINDOWS, 3);
    recoveryTimer->start(CRecoveryFile::kUpdateIntervalMs);
    if (view) {
        if (displayMode.NoDisplay) view->SetTimer(IAnalyzerDisplay::TIMER_BLINK, 800);
        else view->SetTimer(IAnalyzerDisplay::TIMER_IDLE, 1024);
    }
}

void CAnalyzerDoc::OnAnalyzerStop()
{
    if (!running) return;
    if (connected && link) link->RequestStop();
    // Gives the probe time to send what it still holds.
    if (!openingFile) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    running = false;
    {
        // Under the lock: the dispatch thread checks `running` under it
        // before it begins a burst, so none begins after this.
        CStoreGuard guard(StoreLock());
        burstActive = false;
        if (displayMode.DateTime) lineStore->AddStartStopTime(static_cast<int64_t>(std::time(nullptr)), displayMode);
    }
    frameLog.Finish();
    recoveryTimer->stop();
    UpdateRecovery();
    PostMessage(ViewWindow(), WM_VIEW_STATE, VIEW_CAPTURE_STOPPED);
    PostMessage(ViewWindow(), WM_VSCROLL_BOTTOM);
    SendCounters();
    if (view) {
        view->Invalidate();
        view->KillTimer(IAnalyzerDisplay::TIMER_BLINK);
        view->KillTimer(IAnalyzerDisplay::TIMER_IDLE);
    }
}

bool CAnalyzerDoc::CanCloseFrame()
{
    OnAnalyzerStop();
    return true;
}

// --- The monitor data path (dispatch thread) --------------------------------

void CAnalyzerDoc::MonitorDataCallback(const uint8_t* data, uint32_t count, void* doc)
{
    auto* self = static_cast<CAnalyzerDoc*>(doc);
    if (!self) return;
    if (self->running) self->OnMonitorData(data, count);
    else if (count >= 2) self->droppedWhileStopped += count;
}

void CAnalyzerDoc::BeginBurstLocked()
{
    burstStartLine = lineStore->GetLastLineIndex();
    burstStartItem = lineStore->GetLastItemIndex();
    const int line = lineStore->GetLastLineIndex();
    const int before = lineStore->GetLastItemIndex();
    lineStore->RemoveProvisionalStamp(displayMode);
    if (lineStore->GetLastItemIndex() != before && view) view->NoteItemRemovedLocked(line);
}

void CAnalyzerDoc::OnMonitorData(const uint8_t* data, uint32_t count)
{
    if (count >= 2 && data) {
        int lastStatus = -1;
        {
            CStoreGuard guard(StoreLock());
            // Checked again under the lock: once Stop has cleared the flag,
            // no block changes the store behind the UI thread's back.
            if (!running) {
                droppedWhileStopped += count;
                return;
            }
            if (!burstActive) {
                burstActive = true;
                BeginBurstLocked();
            }
            frameLog.AddLiveBlock(data, count);
            const uint32_t now = NowSeconds();
            for (uint32_t i = 0; i + 1 < count; i += 2) {
                const uint8_t b0 = data[i];
                const uint8_t b1 = data[i + 1];
                switch (b0 >> 5) {
                case 1:
                    lineStore->AddDataChar(b1, b0, displayMode);
                    break;
                case 2:
                    lastStatus = b0;
                    if (displayMode.Status) lineStore->AddStatus(b0, displayMode);
                    break;
                case 4: {
                    uint32_t ticks = (static_cast<uint32_t>(b0 & 0x1F) << 8) | b1;
                    if (ticks == 0) ticks = 8192;
                    lineStore->AddTick(ticks, now, displayMode);
                    break;
                }
                default:
                    break;
                }
            }
        }
        // Only the last status of a block decides the colours.
        if (lastStatus >= 0) UpdateLineIndicators(static_cast<uint8_t>(lastStatus));
        return;
    }
    if (count == 1) {
        {
            CStoreGuard guard(StoreLock());
            BeginBurstLocked();
        }
        if (!burstEndPending.exchange(true)) PostMessage(this, WM_BURST_END, 0);
        return;
    }
    // The link ran dry: the burst is over. Drawing, trimming and the timers
    // belong to the UI thread; one request in flight is enough, as it draws
    // everything up to the end of the store.
    if (!burstActive.exchange(false)) return;
    if (!burstEndPending.exchange(true)) PostMessage(this, WM_BURST_END, 1);
}

void CAnalyzerDoc::OnBurstEndPosted()
{
    // A draw already waiting takes this burst too. The request stays marked
    // pending until that draw, so that the link does not wake this thread
    // for every block in between just to be told so.
    if (burstDrawDeferred) return;
    const auto since = std::chrono::steady_clock::now() - lastBurstDraw;
    const auto interval = std::chrono::milliseconds(busyLine ? kBusyDrawIntervalMs : kMinDrawIntervalMs);
    if (since < interval) {
        burstDrawDeferred = true;
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(interval - since);
        QTimer::singleShot(static_cast<int>(wait.count()) + 1, this, [this] {
            burstDrawDeferred = false;
            // Cleared before the drawing reads the store: a burst that ends
            // during it asks again.
            burstEndPending = false;
            DrawBurst();
        });
        return;
    }
    burstEndPending = false;
    DrawBurst();
}

void CAnalyzerDoc::DrawBurst()
{
    if (!view) return;
    lastBurstDraw = std::chrono::steady_clock::now();
    const bool draw = !displayMode.NoDisplay;
    {
        // How fast the line runs decides how soon the next draw comes.
        CStoreGuard guard(StoreLock());
        busyLine = lineStore->GetLastLineIndex() - lastDrawnLine >= kBusyLines;
    }
    const int dropped = view->FinishBurst(draw);
    {
        CStoreGuard guard(StoreLock());
        lastDrawnLine = lineStore->GetLastLineIndex();
    }
    // The live window keeps the newest lines only; say once per capture
    // that older ones are gone, and where everything can be kept.
    if (dropped > 0 && running && !linesDroppedTold) {
        linesDroppedTold = true;
        PostPane(kLinesDroppedNotice);
    }
    if (onBurstDrawn) onBurstDrawn();
    if (draw && running) {
        view->SetTimer(IAnalyzerDisplay::TIMER_SHOW_TAIL, 300);
        view->SetTimer(IAnalyzerDisplay::TIMER_IDLE, 1024);
    }
}

bool CAnalyzerDoc::event(QEvent* e)
{
    ReceivePostedMessages();
    if (static_cast<int>(e->type()) == WM_BURST_END) {
        OnBurstEndPosted();
        return true;
    }
    return QObject::event(e);
}

void CAnalyzerDoc::OnIdleTick()
{
    // A burst in progress owns the tail of the store.
    if (!running || longSaveActive || burstActive) return;
    CStoreGuard guard(StoreLock());
    lineStore->AddIdleTime(1024, NowSeconds(), displayMode);
    if (!displayMode.NoDisplay && view) view->DrawNewDataLocked();
}

// --- The link ----------------------------------------------------------------

namespace {

// Marks an open or close of the link as in progress for the length of a scope.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : flag(flag) { flag = true; }
    ~BusyScope() { flag = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& flag;
};

} // namespace

bool CAnalyzerDoc::OpenLink(LinkCallback dataCallback)
{
    // A message box of the open in progress runs an event loop; a notice or
    // a lost link handled inside it must not replace the link under it.
    if (linkBusy) return connected;
    // A recording series owns its link. Anything else that opens one (a
    // probe plugged in again before its loss was handled) ends the series
    // first, through the dialog's Stop, which flushes it and opens the
    // monitor link itself.
    if (dataCallback != &CSeriesControl::LongSaveDataCallback && series && series->Writer().IsActive()) {
        series->StopForCloseLink();
        if (!series->Writer().IsActive()) return connected;
    }
    BusyScope busy(linkBusy);
    WaitCursor wait;
    OnAnalyzerStop();
    if (link) {
        link.reset();
        connected = false;
    }
    link = makeLink ? makeLink() : std::make_unique<CUSBCom>();
    if (!linkLibraryPath.empty()) link->SetLibraryPath(linkLibraryPath);
    link->SetCallbacks(dataCallback, &CAnalyzerDoc::LinkLostCallback, this);
    {
        // The old link's threads have ended: a loss from now on is this one's.
        std::lock_guard<std::mutex> guard(connectionLock);
        lossReported = false;
    }
    const bool opened = !linkRefused && link->Open();
    {
        std::lock_guard<std::mutex> guard(connectionLock);
        connected = opened && !lossReported;
    }
    // A transport made of other devices (the serial tap's two ports) has
    // them watched, so that plugging an adapter back in reopens the link.
    if (!link->DeviceNodes().empty()) ks::DeviceNoticeHub::Instance().SetWatchedSerialPorts(link->DeviceNodes());
    ApplyCommSettings();
    return connected;
}

void CAnalyzerDoc::CloseLink()
{
    // Never under an open in progress: its link is still in use further up.
    if (!link || linkBusy) return;
    // A series ends through the dialog's Stop, which flushes it and opens a
    // fresh link in monitor mode; that link goes below.
    if (longSaveActive) series->StopForCloseLink();
    else OnAnalyzerStop();
    longSaveActive = false;
    link.reset();
    connected = false;
    // Without a link nothing reports the lines any more: the last colours
    // would pass for live levels of a probe that is gone.
    ResetLineIndicators();
}

void CAnalyzerDoc::LinkLostCallback(const uint8_t*, uint32_t, void* doc)
{
    auto* self = static_cast<CAnalyzerDoc*>(doc);
    if (!self) return;
    {
        std::lock_guard<std::mutex> guard(self->connectionLock);
        self->lossReported = true;
        self->connected = false;
    }
    self->ShowLinkLost();
    // Only a live link calls this, so there is a link to close.
    PostMessage(self->frame, WM_LINK_LOST);
}

void CAnalyzerDoc::ShowLinkLost()
{
    connected = false;
    PostPane(299);
    PostPane(296);
    PostPane(295);
    PostPane(297, 0);
}

void CAnalyzerDoc::ApplyCommSettings()
{
    if (connected && link) {
        if (!running) {
            uint8_t block[8] = {};
            commSetting.FillParameterBlock(block);
            // The probe must always report control-line changes: the
            // indicators need them even when Status rows are not shown.
            CDisplayMode forced = displayMode;
            forced.Status = 1;
            block[4] = forced.GetOptionBits();
            link->SetParameters(block, 8);
        }
        PostPane(293, static_cast<intptr_t>(commSetting.PackLineParameters()));
        PostPane(294);
        PostPane(297, reinterpret_cast<intptr_t>(link.get()));
        PostPane(300);
    } else {
        PostPane(296);
        PostPane(295);
        PostPane(297, 0);
        PostPane(299);
    }
}

// --- Indicators and counters --------------------------------------------------

void CAnalyzerDoc::UpdateLineIndicators(uint8_t b0)
{
    static constexpr uint8_t kBits[5] = {0x08, 0x10, 0x02, 0x04, 0x01}; // RTS CTS DTR DSR CD
    bool changed = false;
    for (std::size_t i = 0; i < 5; ++i) {
        const uint32_t colour = (b0 & kBits[i]) ? kIndicatorBlack : kIndicatorGreen;
        changed = indicatorColour[i].exchange(colour) != colour || changed;
    }
    // Unchanged lines need no repaint; at full rate most blocks change none.
    if (changed) PaintLineIndicators();
}

void CAnalyzerDoc::ResetLineIndicators()
{
    for (auto& colour : indicatorColour) colour.store(kIndicatorGrey);
    PaintLineIndicators();
}

void CAnalyzerDoc::PaintLineIndicators()
{
    // Any thread: the frame repaints the boxes on its own thread; one request
    // in flight covers every colour change before it is handled.
    if (!indicatorPaintPending.exchange(true)) PostMessage(frame, WM_PAINT_INDICATORS);
}

void CAnalyzerDoc::SendCounters()
{
    Counters counters;
    {
        CStoreGuard guard(StoreLock());
        counters = lineStore->GetCounters();
    }
    SendMessage(frame, WM_SET_PANE_TEXT, 264, reinterpret_cast<intptr_t>(&counters));
}

// --- Display commands ---------------------------------------------------------

void CAnalyzerDoc::SetDisplayOption(int32_t CDisplayMode::*field, int32_t value, bool postState, bool clearMarks)
{
    {
        CStoreGuard guard(StoreLock());
        displayMode.*field = value;
    }
    ApplyCommSettings();
    if (postState) PostMessage(ViewWindow(), WM_VIEW_STATE, VIEW_SETTINGS_CHANGED);
    if (clearMarks) SendMessage(ViewWindow(), WM_SET_MARKS, 0, 0);
    if (view) view->Invalidate();
}

// --- New and open ---------------------------------------------------------------

void CAnalyzerDoc::OnNewDocument()
{
    OnAnalyzerStop();
    {
        CStoreGuard guard(StoreLock());
        lineStore->Clear();
        lineStore->SetModified(false);
    }
    frameLog.Reset();
    modified = false;
    recovery->Remove();
    WaitCursor wait;
    longSaveActive = false;
    stampAccumulator = 0;
    SetTitleFromPath({});
    PostMessage(ViewWindow(), WM_VIEW_RESET);
    PostMessage(ViewWindow(), WM_HIDE_TOOL_WINDOWS, 3);
    PostMessage(ViewWindow(), WM_VIEW_STATE, VIEW_LOG_REPLACED);
    if (view) view->Invalidate();
    SendCounters();
}

bool CAnalyzerDoc::OnOpenDocument(const std::string& path)
{
    if (CaptureFileTypeOf(path) == CaptureFileType::None) {
        PostPane(292);
        ks::Messages().Show(LoadLocalString(292), ks::MessageButtons::Ok);
        return false;
    }
    std::unique_ptr<CLines> loaded;
    CDisplayMode fromFile = displayMode;
    {
        WaitCursor wait;
        openingFile = true;
        OnAnalyzerStop();
        openingFile = false;
        // Header and records come from one regular file through one
        // descriptor. The header replaces the display settings but never the
        // line width.
        auto reader = std::make_unique<CCaptureReader>();
        if (reader->Open(path) != CCaptureReader::Result::Ok || !reader->ParseHeader(fromFile)) {
            ShowOpenFailed(path);
            return false;
        }
        fromFile.cxLine = displayMode.cxLine;
        fromFile.cxChar = displayMode.cxChar;
        fromFile.cyChar = displayMode.cyChar;
        fromFile.crHighlight = displayMode.crHighlight;
        // A file the memory cannot hold is refused before anything is
        // loaded; the capture that is open stays.
        const std::uint64_t needed = StoreBytesForBody(reader->BodySize(), reader->IsOldType());
        const ks::MemoryRoom room = ks::AvailableMemory();
        if (needed > room.bytes) {
            QString text = LoadLocalString(345);
            text.replace(QStringLiteral("%1"), QFile::decodeName(path.c_str()))
                .replace(QStringLiteral("%2"), QString::fromStdString(ks::SizeText(reader->BodySize())))
                .replace(QStringLiteral("%3"), QString::fromStdString(ks::SizeText(needed)))
                .replace(QStringLiteral("%4"), QString::fromStdString(room.boundBy))
                .replace(QStringLiteral("%5"), QString::fromStdString(ks::SizeText(room.bytes)));
            PostPane(304);
            ks::OutputDebugString(text);
            ks::Messages().Show(text, ks::MessageButtons::Ok);
            return false;
        }
        loaded = LoadCapture(std::move(reader), fromFile, path);
        if (!loaded) return false;
        loaded->SetModified(false);
        // The old store goes after the lock is released: freeing a long
        // capture takes a while, and nobody needs to wait for it.
        CStoreGuard guard(StoreLock());
        lineStore.swap(loaded);
        displayMode = fromFile;
        modified = false;
        frameLog.DecodeStore(*lineStore);
    }
    loaded.reset();
    // The capture that was here is replaced (after the save prompt).
    recovery->Remove();
    SetTitleFromPath(path);
    PostMessage(ViewWindow(), WM_VIEW_STATE, VIEW_LOG_REPLACED);
    PostMessage(ViewWindow(), WM_HIDE_TOOL_WINDOWS, 3);
    if (view) view->Invalidate();
    SendCounters();
    return true;
}

std::unique_ptr<CLines> CAnalyzerDoc::LoadCapture(std::unique_ptr<CCaptureReader> reader, const CDisplayMode& mode,
                                                  const std::string& path)
{
    CCaptureLoad load(std::move(reader), mode);
    load.Start();
    bool cancelled = false;
    if (!load.WaitFor(std::chrono::milliseconds(loadProgressDelayMs))) {
        // A long load: its progress in a window of its own, whose Cancel
        // abandons it. The window's loop keeps the program drawn meanwhile.
        QString text = LoadLocalString(346);
        text.replace(QStringLiteral("%1"), QFileInfo(QFile::decodeName(path.c_str())).fileName());
        CLoadProgressDlg dialog(text, ViewWindow());
        QTimer poll(&dialog);
        QObject::connect(&poll, &QTimer::timeout, &dialog, [&dialog, &load] {
            dialog.SetPermille(load.Permille());
            if (load.Ended()) dialog.accept();
        });
        poll.start(50);
        dialog.SetPermille(load.Permille());
        // The wait cursor of the open would sit on the Cancel button.
        const bool gui = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
        if (gui) QApplication::setOverrideCursor(Qt::ArrowCursor);
        cancelled = RunDialog(dialog) != QDialog::Accepted;
        if (gui) QApplication::restoreOverrideCursor();
        if (cancelled) load.Cancel();
    }
    const CCaptureLoad::Outcome outcome = load.Finish();
    if (cancelled) return nullptr;
    switch (outcome) {
    case CCaptureLoad::Outcome::Done: return load.TakeLines();
    case CCaptureLoad::Outcome::Cancelled: return nullptr;
    case CCaptureLoad::Outcome::ReadFailed: ShowOpenFailed(path); return nullptr;
    case CCaptureLoad::Outcome::OutOfMemory: ShowOpenFailed(path, 347); return nullptr;
    }
    return nullptr;
}

void CAnalyzerDoc::ShowOpenFailed(const std::string& path, int textId)
{
    PostPane(304);
    QString text = LoadLocalString(textId);
    // Which file it was matters when it came from a list or a drop.
    if (!text.contains(QStringLiteral("%1"))) text += QStringLiteral("\n%1");
    text.replace(QStringLiteral("%1"), QFile::decodeName(path.c_str()));
    if (textId != 304) ks::OutputDebugString(text);
    ks::Messages().Show(text, ks::MessageButtons::Ok);
}

void CAnalyzerDoc::SetTitleFromPath(const std::string& path)
{
    pathName = path;
    if (onTitleChanged) onTitleChanged();
}

QString CAnalyzerDoc::Title() const
{
    if (pathName.empty()) return LoadLocalString(61443);
    return QFileInfo(QString::fromStdString(pathName)).fileName();
}

// --- Settings dialogs -------------------------------------------------------------

int CAnalyzerDoc::RunDialog(QDialog& dialog) { return runDialog ? runDialog(dialog) : dialog.exec(); }

void CAnalyzerDoc::OnCommSettings()
{
    // The probe takes new parameters only while it is not capturing.
    if (running) return;
    CCommDlg dialog(commSetting, ViewWindow());
    if (RunDialog(dialog) != QDialog::Accepted) return;
    dialog.CopyTo(commSetting);
    ApplyCommSettings();
}

void CAnalyzerDoc::OnDisplaySettings()
{
    PostMessage(ViewWindow(), WM_HIDE_TOOL_WINDOWS, 3);
    // During a capture the dialog offers only what may change while data
    // arrives (colours and drawing); it stays that way while it is open.
    CDisplayDlg dialog(!running, nullptr, ViewWindow());
    dialog.CopyFromMode(displayMode);
    // Apply stores the settings at once and is the command 158; the dispatch
    // thread reads them, hence the lock.
    QObject::connect(&dialog, &CDisplayDlg::applyRequested, this, [this, &dialog](const CDisplayMode&) {
        {
            CStoreGuard guard(StoreLock());
            dialog.CopyToMode(displayMode);
        }
        ExecuteCommand(ID_APPLY_DISPLAY);
    });
    if (RunDialog(dialog) != QDialog::Accepted) return;
    {
        CStoreGuard guard(StoreLock());
        dialog.CopyToMode(displayMode);
    }
    AfterDisplaySettings(true);
}

void CAnalyzerDoc::AfterDisplaySettings(bool recreatePens)
{
    if (recreatePens && view) view->RecreatePens(1);
    ApplyCommSettings();
    if (view) {
        // The blink says "capturing without drawing"; a stopped capture has
        // nothing to blink about (Stop ends it too).
        if (displayMode.NoDisplay && running) view->SetTimer(IAnalyzerDisplay::TIMER_BLINK, 800);
        else view->KillTimer(IAnalyzerDisplay::TIMER_BLINK);
    }
    PostMessage(ViewWindow(), WM_VIEW_STATE, VIEW_SETTINGS_CHANGED);
    SendMessage(ViewWindow(), WM_SET_MARKS, 0, 0);
    if (view) view->Invalidate();
}

// --- Save ----------------------------------------------------------------------------

bool CAnalyzerDoc::OnSaveDocument(const std::string& path)
{
    // Old files are read, never written.
    if (!QString::fromLocal8Bit(path.c_str()).endsWith(QStringLiteral("ksf"), Qt::CaseInsensitive)) {
        PostPane(292);
        ks::Messages().Show(LoadLocalString(292), ks::MessageButtons::Ok);
        return false;
    }
    WaitCursor wait;
    OnAnalyzerStop();
    if (!WriteCaptureFile(path)) {
        ks::Messages().Show(WriteFailedText(), ks::MessageButtons::Ok);
        return false;
    }
    DiscardChanges();
    return true;
}

bool CAnalyzerDoc::WriteCaptureFile(const std::string& path)
{
    std::string header;
    displayMode.BuildHeader(header);
    // Written beside the target and moved over it only when complete: a full
    // disk or a lost medium half-way leaves the earlier file as it was.
    CPendingFile file(path);
    bool ok = file.Create(header);
    if (ok) {
        CStoreGuard guard(StoreLock());
        ok = lineStore->SaveCaptureBody(file.TempPath());
    }
    return ok && file.Commit();
}

bool CAnalyzerDoc::WriteCaptureQuietly(const std::string& path)
{
    OnAnalyzerStop();
    return WriteCaptureFile(path);
}

void CAnalyzerDoc::DiscardChanges()
{
    {
        CStoreGuard guard(StoreLock());
        lineStore->SetModified(false);
    }
    modified = false;
    recovery->Remove();
}

void CAnalyzerDoc::UpdateRecovery()
{
    std::string header;
    ByteBuffer body;
    {
        // A copy under the lock; the file is written after it is released.
        CStoreGuard guard(StoreLock());
        if (!lineStore->IsModified()) return;
        displayMode.BuildHeader(header);
        lineStore->EncodeStoredStream(body);
    }
    if (!recovery->Write(header, body))
        ks::OutputDebugString(QStringLiteral("The recovery file of the capture could not be written"));
}

bool CAnalyzerDoc::OpenAsUntitled(const std::string& path)
{
    if (!OnOpenDocument(path)) return false;
    {
        CStoreGuard guard(StoreLock());
        lineStore->SetModified(true);
    }
    modified = true;
    SetTitleFromPath({});
    return true;
}

QString CAnalyzerDoc::ProposedSaveName(const std::string& path, const QString& title)
{
    QString name = QString::fromLocal8Bit(path.c_str());
    if (name.endsWith(QStringLiteral(".df"), Qt::CaseInsensitive)) name.chop(3);
    if (!name.isEmpty()) return name;
    name = title;
    for (int i = 0; i < name.size(); ++i) {
        if (QStringLiteral(" #%;/\\").contains(name[i])) {
            name.truncate(i);
            break;
        }
    }
    return name + DefaultExtension();
}

bool CAnalyzerDoc::SaveAs(const QString& proposed)
{
    QString chosen;
    if (chooseSaveFile) {
        chosen = chooseSaveFile(proposed);
    } else if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QFileDialog dialog(ViewWindow(), LoadLocalString(61441), proposed, DocumentFilter());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(DefaultExtension().mid(1));
        dialog.selectFile(proposed);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) chosen = dialog.selectedFiles().first();
    }
    if (chosen.isEmpty()) return false;
    // A failed save leaves the chosen file as it was, so there is nothing to
    // delete (an existing file of that name is not ours to remove).
    // The dialog gives text: a folder or file on disk whose name is not
    // valid UTF-8 is found again by its bytes.
    const std::string bytes = ks::FileNameBytes(chosen);
    if (!OnSaveDocument(bytes)) return false;
    SetTitleFromPath(bytes);
    if (onSavedAs) onSavedAs(chosen);
    return true;
}

bool CAnalyzerDoc::OnFileSaveAs() { return SaveAs(ProposedSaveName(pathName, Title())); }

bool CAnalyzerDoc::OnFileSave()
{
    if (!pathName.empty()) {
        const QFileInfo info(QString::fromLocal8Bit(pathName.c_str()));
        // A read-only file is saved under another name.
        if (!info.exists() || info.isWritable()) return OnSaveDocument(pathName);
        return SaveAs(ProposedSaveName(pathName, Title()));
    }
    return SaveAs(ProposedSaveName({}, Title()));
}

bool CAnalyzerDoc::SaveModified()
{
    {
        CStoreGuard guard(StoreLock());
        modified = lineStore->IsModified();
    }
    if (!modified) return true;
    QString name = pathName.empty() ? QString() : QFileInfo(QString::fromLocal8Bit(pathName.c_str())).fileName();
    if (name.isEmpty()) name = Title();
    if (name.isEmpty()) name = LoadLocalString(61443);
    QString text = LoadLocalString(321);
    text.replace(QStringLiteral("%s"), name);
    switch (ks::Messages().Show(text, ks::MessageButtons::YesNoCancel)) {
    case ks::MessageResult::Cancel:
        return false;
    case ks::MessageResult::Yes:
        OnAnalyzerStop();
        if (view) view->Invalidate();
        return OnFileSave();
    default:
        return true;
    }
}
