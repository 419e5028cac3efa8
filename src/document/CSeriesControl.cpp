#include "CSeriesControl.h"

#include "CAnalyzerDoc.h"
#include "CBufferDlg.h"
#include "CommandIds.h"
#include "LocalStrings.h"
#include "MessageService.h"
#include "WindowMessages.h"

#include <QDir>

#include <cerrno>

#include <chrono>
#include <ctime>
#include <thread>

namespace {

uint32_t NowSeconds() { return static_cast<uint32_t>(static_cast<uint64_t>(std::time(nullptr)) & 0xFFFFFFFFu); }

void Show(const QString& text) { ks::Messages().Show(text, ks::MessageButtons::Ok); }

QString WithoutSeparator(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    return path;
}

} // namespace

CSeriesControl::CSeriesControl(CAnalyzerDoc& d, std::string path)
    : doc(d), settingsPath(std::move(path)), defaultDirectory(CBufferSetup::DefaultDirectory())
{
    setup.LoadBufferSettings(settingsPath, defaultDirectory);
}

CSeriesControl::~CSeriesControl() = default;

// --- command 226 --------------------------------------------------------------------

void CSeriesControl::OnBufferSetup()
{
    if (ks::Messages().Show(LoadLocalString(303), ks::MessageButtons::YesNo) != ks::MessageResult::Yes) return;
    doc.OnNewDocument();
    doc.PostPane(298);
    // The default folder is made when it is about to be offered, not at
    // every start of the program.
    if (WithoutSeparator(setup.directory) == WithoutSeparator(defaultDirectory))
        CBufferSetup::CreateDirectoryLevels(defaultDirectory);

    QWidget* owner = doc.ViewWindow() ? doc.ViewWindow()->window() : nullptr;
    CBufferDlg dlg(setup, owner);
    dlg.isConnected = [this] { return doc.IsConnected(); };
    dlg.startSeries = [this] {
        doc.ExecuteCommand(ID_LONGSAVE_START);
        return writer.IsActive();
    };
    dlg.stopSeries = [this] { doc.ExecuteCommand(ID_LONGSAVE_STOP); };
    dlg.seriesRecording = [this] { return writer.IsRecording(); };
    dialog = &dlg;
    doc.RunDialog(dlg);
    // A series runs only while the dialog is open.
    dlg.OnStop();
    dialog = nullptr;

    setup.SaveBufferSettings(settingsPath);
    PostMessage(doc.ViewWindow(), WM_VIEW_STATE, VIEW_LOG_REPLACED);
}

// --- commands 1234 and 1235 ----------------------------------------------------------

bool CSeriesControl::OnLongSaveStart()
{
    SeriesConfig config;
    config.baseName = setup.BaseName();
    config.buffersPerFile = setup.BuffersPerFile();
    config.maxFileNumber = static_cast<uint32_t>(std::max(1, setup.MaxFileNumber()));
    config.overwrite = setup.overwrite != 0;
    const CDisplayMode& mode = doc.displayMode;
    config.data = mode.Data != 0;
    config.status = mode.Status != 0;
    config.stamp = mode.Stamp != 0;
    config.dateTime = mode.DateTime != 0;
    mode.BuildHeader(config.header);

    const unsigned number = ++seriesNumber;
    writer.onFirstData = [this, number] { PostMessage(this, WM_SERIES_FIRST_DATA, number); };
    writer.onOverrun = [this, number] { PostMessage(this, WM_SERIES_OVERRUN, number); };
    writer.onEnd = [this, number](SeriesEnd why, int error) {
        PostMessage(this, WM_SERIES_END, number, static_cast<intptr_t>(why) | (static_cast<intptr_t>(error) << 8));
    };
    // The first file is made before the probe starts: a name that cannot be
    // written costs nothing, and the dialog stays ready for another.
    int error = 0;
    if (!writer.Start(config, limits, error)) {
        // A series that could not start ends no dialog run: only the box.
        Show(LoadLocalString(325));
        return false;
    }
    doc.OpenLink(&CSeriesControl::LongSaveDataCallback);
    doc.running = true;
    if (doc.connected && doc.link) doc.link->RequestStart();
    doc.longSaveActive = true;
    if (doc.view) doc.view->Invalidate();
    return true;
}

void CSeriesControl::OnLongSaveStop()
{
    if (doc.connected && doc.link) doc.link->RequestStop();
    // Gives the probe time to send what it still holds.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    doc.running = false;
    // The stop mark, a hand-over write still running, the filling buffer,
    // the file closed: in this order. A failure among them is reported as
    // the end of the series (OnSeriesEnd), like any other. A writer still
    // busy after the wait goes on by itself: the series counts as stopped
    // and the link returns to monitoring, and its end is reported when it
    // comes.
    int error = 0;
    if (!writer.Stop(error) && error == ETIMEDOUT) {
        doc.PostPane(332);
        Show(LoadLocalString(332));
    }
    doc.OpenLink(&CAnalyzerDoc::MonitorDataCallback);
    if (doc.view) doc.view->Invalidate();
}

void CSeriesControl::StopForCloseLink()
{
    if (dialog) dialog->OnStop();
    else if (writer.IsActive()) OnLongSaveStop();
}

// --- the dispatch thread --------------------------------------------------------------

void CSeriesControl::LongSaveDataCallback(const uint8_t* data, uint32_t count, void* user)
{
    auto* d = static_cast<CAnalyzerDoc*>(user);
    if (d && d->running && d->series) d->series->OnData(data, count);
}

void CSeriesControl::OnData(const uint8_t* data, uint32_t count)
{
    if (!data || count < 2) return;
    const int status = writer.AddBlock(data, count, NowSeconds());
    if (status >= 0) doc.UpdateLineIndicators(static_cast<uint8_t>(status));
}

// --- what the writer tells (UI thread) ----------------------------------------------

bool CSeriesControl::event(QEvent* e)
{
    ReceivePostedMessages();
    const int type = static_cast<int>(e->type());
    if (type != WM_SERIES_FIRST_DATA && type != WM_SERIES_END && type != WM_SERIES_OVERRUN) return QObject::event(e);
    auto* msg = static_cast<CWindowMessage*>(e);
    if (msg->wParam != seriesNumber) return true; // an earlier series
    if (type == WM_SERIES_FIRST_DATA) {
        if (dialog) dialog->ShowReadingIndicator();
    } else if (type == WM_SERIES_OVERRUN) {
        // Nothing more is taken: the dialog must not look as if it records,
        // and a Stop now could only hide the overrun behind a normal stop.
        if (dialog) dialog->OnSeriesStopping();
    } else {
        OnSeriesEnd(static_cast<SeriesEnd>(msg->lParam & 0xFF), static_cast<int>(msg->lParam >> 8));
    }
    return true;
}

void CSeriesControl::StopSeries()
{
    if (dialog) dialog->OnStop();
    else if (writer.IsActive()) OnLongSaveStop();
}

void CSeriesControl::CloseDialog()
{
    if (dialog) dialog->OnClose();
}

void CSeriesControl::OnSeriesEnd(SeriesEnd why, int error)
{
    // Every end is reported, also one that reaches us after the series was
    // stopped (an error of the last writes behind a Stop): the stop is then
    // not asked for again, but the user still learns what went wrong.
    switch (why) {
    case SeriesEnd::Full:
        StopSeries();
        break;
    case SeriesEnd::DiskFull:
        // The stop writes what is buffered before the box appears.
        StopSeries();
        Show(LoadLocalString(305));
        doc.PostPane(305);
        break;
    case SeriesEnd::WriteFailed:
        StopSeries();
        Show(LoadLocalString(325));
        Show(QStringLiteral("error:%1").arg(error));
        CloseDialog();
        break;
    case SeriesEnd::OpenFailed:
        StopSeries();
        Show(LoadLocalString(325));
        CloseDialog();
        break;
    case SeriesEnd::Overrun:
        StopSeries();
        doc.PostPane(331);
        Show(LoadLocalString(325));
        CloseDialog();
        break;
    case SeriesEnd::None:
        break;
    }
}
