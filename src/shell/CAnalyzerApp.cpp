#include "CAnalyzerApp.h"

#include "CAnalyzerDoc.h"
#include "ProgramPaths.h"
#include "Profile.h"
#include "TransportChoice.h"
#include "CAboutDlg.h"
#include "CMainFrame.h"
#include "CMessageBoxService.h"
#include "CSplashWnd.h"
#include "CommandIds.h"
#include "FirmwareText.h"
#include "LocalStrings.h"
#include "CAnalyzerView.h"
#include "CViewPrinting.h"
#include "DebugLog.h"
#include "FileNameBytes.h"
#include "MessageService.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QSettings>

namespace {
constexpr int kRecentFileCount = 4;
} // namespace

CAnalyzerApp::CAnalyzerApp() : CAnalyzerApp(Options{}) {}

CAnalyzerApp::CAnalyzerApp(Options options) : options(options)
{
    OnCommand(ID_APP_ABOUT, [this] { ShowAboutBox(); });
    OnCommand(ID_FILE_NEW, [this] {
        if (!doc->SaveModified()) return;
        doc->OnNewDocument();
        // A new document activates the frame, which opens a link not yet open.
        if (frame) frame->OnDocumentActivated();
    });
    OnCommand(ID_FILE_OPEN, [this] { PromptOpenFile(); });
    OnCommand(ID_FILE_PRINT_SETUP, [this] { view->Printing().OnFilePrintSetup(); },
              [this](CCmdUI& ui) { ui.Enable(view && !doc->IsRunning()); });
}

CAnalyzerApp::~CAnalyzerApp()
{
    terminationSignals.reset();
    // The link's threads reach the view and the frame, so they end first;
    // then the windows go, then the document writes its settings back.
    if (doc) doc->CloseLink();
    delete frame;
    frame = nullptr;
    view = nullptr;
    if (doc) doc->SetView(nullptr);
    doc.reset();
    LanguageCatalogue().Clear();
    if (messageBoxes) ks::SetMessageService(nullptr);
}

QStringList CAnalyzerApp::OpenFileFilters()
{
    const QStringList docString = OwnString(100).split(u'\n');
    return {QStringLiteral("%1 (*%2)").arg(docString.value(3).section(u' ', 0, -2), docString.value(4)),
            QStringLiteral("Old files (*.df)"),
            QStringLiteral("All Files (*)")};
}

bool CAnalyzerApp::InitInstance(const QStringList& arguments)
{
    // The component layer and hosted controls of other platforms have no
    // counterpart here. The recent-file list lives under "Velmora".
    if (options.initProgramPaths) ks::InitProgramPaths();
    if (options.messageBoxes) {
        messageBoxes = std::make_unique<CMessageBoxService>();
        ks::SetMessageService(messageBoxes.get());
    }
    // The language catalogue; a missing one is not reported.
    LanguageCatalogue().Load(ks::ProgramDirectory() + kLanguageFileName);

    // At most one capture file to open; other options are not ours to read,
    // except the transport's name, which is not a file either.
    QString file;
    std::string fileBytes;
    bool transportGiven = false;
    std::string transportName;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--transport")) {
            transportGiven = true;
            transportName = i + 1 < arguments.size() ? arguments[++i].toStdString() : std::string();
            continue;
        }
        if (argument.startsWith(QLatin1String("--transport="))) {
            transportGiven = true;
            transportName = argument.mid(12).toStdString();
            continue;
        }
        if (argument.startsWith(u'-') || !file.isEmpty()) continue;
        file = argument;
        // The name's own bytes where main gave them: a name that is not
        // valid UTF-8 has no faithful QString.
        if (argumentBytes.size() == static_cast<std::size_t>(arguments.size()))
            fileBytes = argumentBytes[static_cast<std::size_t>(i)];
        else
            fileBytes = QFile::encodeName(argument).toStdString();
    }
    noFileGiven = file.isEmpty();
    CSplashWnd::EnableSplashScreen(options.splash);

    doc = std::make_unique<CAnalyzerDoc>(ks::SettingsFilePath());
    ChooseLinkTransport(transportGiven ? &transportName : nullptr);
    view = new CAnalyzerView(doc.get());
    doc->SetView(view);
    frame = new CMainFrame(doc.get(), view, !noFileGiven);
    frame->SetApplicationTarget(this);
    frame->openFile = [this](const QString& path) { OpenDocumentFile(path); };
    doc->onSavedAs = [this](const QString& path) { AddRecentFile(path); };
    frame->UpdateRecentFiles(RecentFiles());

    // The frame takes its maximised size before the document is made, so
    // that the line width taken from the view is the width it will show.
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    if (options.showWindow) {
        frame->resize(area.size());
        if (frame->layout()) frame->layout()->activate();
    }
    // From here on a termination signal closes the program the normal way.
    if (options.handleSignals)
        terminationSignals = std::make_unique<ks::TerminationSignals>([this](int signal) { EndSession(signal); });
    if (noFileGiven) {
        doc->OnNewDocument();
    } else {
        // The line width is normally taken from the window at the first new
        // document. Opening a file first would lay it out with no width at
        // all (one item per line), so the view gets the width it has once
        // shown: before that its inner layouts have not run, and the view is
        // a fraction of its width (a width that would then be saved).
        if (options.showWindow) frame->showMaximized();
        if (doc->DisplayMode().cxLine < 1) {
            if (frame->layout()) frame->layout()->activate();
            int width = view->viewport()->width();
            if (width < 200) width = area.width() - 160; // count bar, scroll bar, borders
            view->EnsureLineWidth(width);
        }
        if (!OpenDocumentBytes(fileBytes, file)) return false;
    }
    if (options.showWindow && noFileGiven) frame->showMaximized();
    if (noFileGiven) OfferRecoveredCaptures();
    return true;
}

QStringList CAnalyzerApp::RecoveredCaptures()
{
    const QDir dir(QFile::decodeName(ks::PerUserDataDirectory(false).c_str()));
    QStringList paths;
    for (const QString& name : dir.entryList({QStringLiteral("recovered-*.ksf")}, QDir::Files, QDir::Time | QDir::Reversed))
        paths << dir.filePath(name);
    return paths;
}

void CAnalyzerApp::EndSession(int signal)
{
    ks::OutputDebugString(QStringLiteral("Closing on signal %1").arg(signal));
    if (doc) {
        // The capture stops and the link's threads end before anything is written.
        doc->CloseLink();
        bool unsaved = false;
        {
            CStoreGuard guard(doc->StoreLock());
            unsaved = doc->Lines().IsModified();
        }
        if (unsaved) {
            // Nobody can be asked now: the capture is kept for the next start.
            const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
            std::string path = ks::PerUserDataDirectory() + "recovered-" + stamp.toStdString();
            for (int n = 2; QFileInfo::exists(QFile::decodeName((path + ".ksf").c_str())); ++n)
                path = ks::PerUserDataDirectory() + "recovered-" + stamp.toStdString() + "-" + std::to_string(n);
            path += ".ksf";
            if (!doc->WriteCaptureQuietly(path))
                ks::OutputDebugString(QStringLiteral("The unsaved capture could not be kept in %1").arg(QFile::decodeName(path.c_str())));
            doc->DiscardChanges();
        }
    }
    sessionEnded = true;
    // A question still open (the recovery offer at start-up) is answered
    // Cancel: nothing it would do may happen after this.
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    if (frame) frame->close();
    if (quitApplication) quitApplication();
    // Queued, so that a signal that comes before the event loop runs (during
    // a start-up question) still ends the program once the loop starts.
    else QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void CAnalyzerApp::OfferRecoveredCaptures()
{
    for (const QString& path : RecoveredCaptures()) {
        const ks::MessageResult answer = ks::Messages().Show(LoadLocalString(400), ks::MessageButtons::YesNoCancel);
        // Ended by a signal while it asked: the file stays for the next start.
        if (sessionEnded) return;
        switch (answer) {
        case ks::MessageResult::Yes:
            // Opened untitled and unsaved: it is now the document's to keep,
            // and the file has done its work.
            if (doc->OpenAsUntitled(QFile::encodeName(path).toStdString())) QFile::remove(path);
            return;
        case ks::MessageResult::No:
            QFile::remove(path);
            break;
        default:
            return; // kept for the next start
        }
    }
}

void CAnalyzerApp::ChooseLinkTransport(const std::string* commandLineName)
{
    const QByteArray environment = qgetenv(kTransportEnvironment);
    const std::string setting =
        ks::GetPrivateProfileString(kTransportSection, kTransportKey, std::string(), 64, ks::SettingsFilePath());
    const TransportChoice choice =
        ChooseTransport(ks::ProgramDirectory(), commandLineName, environment.constData(), setting);
    if (choice.Refused()) {
        doc->RefuseLink();
        ks::ReportMessage(QString::fromStdString(choice.error));
    } else if (!choice.name.empty()) {
        doc->SetLinkLibraryPath(choice.libraryPath);
    }
}

bool CAnalyzerApp::OpenDocumentFile(const QString& path)
{
    // A dialog, a drop and the recent-file list give text; the name on disk
    // may not be valid UTF-8.
    return OpenDocumentBytes(ks::FileNameBytes(path), path);
}

bool CAnalyzerApp::OpenDocumentBytes(const std::string& path, const QString& shown)
{
    // Unsaved changes are offered for saving before they are replaced.
    if (!doc->SaveModified()) return false;
    if (!doc->OnOpenDocument(path)) return false;
    AddRecentFile(shown);
    // An opened document activates the frame, which opens a link not yet open.
    if (frame) frame->OnDocumentActivated();
    return true;
}

void CAnalyzerApp::PromptOpenFile()
{
    QString path;
    if (chooseOpenFile) {
        path = chooseOpenFile();
    } else {
        const QStringList filters = OpenFileFilters();
        QString selected = filters.first();
        path = QFileDialog::getOpenFileName(frame, OwnString(61440), QString(), filters.join(QStringLiteral(";;")), &selected);
    }
    if (!path.isEmpty()) OpenDocumentFile(path);
}

QStringList CAnalyzerApp::RecentFiles() const
{
    QSettings settings(QStringLiteral("Velmora"), QStringLiteral("Kestrane"));
    return settings.value(QStringLiteral("Recent File List")).toStringList().mid(0, kRecentFileCount);
}

void CAnalyzerApp::AddRecentFile(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList files = RecentFiles();
    files.removeAll(absolute);
    files.prepend(absolute);
    files = files.mid(0, kRecentFileCount);
    QSettings settings(QStringLiteral("Velmora"), QStringLiteral("Kestrane"));
    settings.setValue(QStringLiteral("Recent File List"), files);
    if (frame) frame->UpdateRecentFiles(files);
}

QString CAnalyzerApp::AboutFirmwareText() const
{
    CUSBCom* link = doc ? doc->Link() : nullptr;
    if (link && doc->IsConnected()) {
        // Cleared first: a failed request must not show stale bytes.
        char buffer[kFirmwareBufferSize] = {};
        link->ReadFirmwareVersion(3, buffer, kFirmwareBufferSize);
        const QString text = FirmwareText(buffer, sizeof buffer);
        if (!text.isEmpty()) return text;
    }
    return OwnString(297);
}

void CAnalyzerApp::ShowAboutBox()
{
    CAboutDlg dialog(AboutFirmwareText(), frame);
    dialog.exec();
}
