#include "ManualShots.h"

#include "CAnalyzerApp.h"
#include "CAnalyzerDoc.h"
#include "CAnalyzerView.h"
#include "CLines.h"
#include "CMainFrame.h"
#include "CPrintJob.h"
#include "CSplashWnd.h"
#include "CViewPrinting.h"
#include "CommandIds.h"
#include "ProgramPaths.h"
#include "WindowMessages.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPrinter>
#include <QThread>
#include <QTimer>

namespace {

// Lets queued work (paints, posted messages, the link's first answers) run.
void Settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    } while (timer.elapsed() < ms);
}

// Visible dialogs, newest last.
QList<QDialog*> VisibleDialogs()
{
    QList<QDialog*> dialogs;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) dialogs.append(d);
    return dialogs;
}

} // namespace

ManualShots::ManualShots(QString outputDir, QString sampleFile)
    : outputDir(std::move(outputDir)), sampleFile(std::move(sampleFile))
{
}

ManualShots::~ManualShots() = default;

void ManualShots::Command(int id)
{
    app->Frame()->RunCommand(id);
    Settle(30);
}

// Replaces the capture by what `append` puts into the store.
void ManualShots::Fill(const std::function<void()>& append)
{
    CAnalyzerDoc* doc = app->Doc();
    {
        CStoreGuard guard(app->View()->StoreLock());
        doc->Lines().Clear();
        append();
        // A picture, not the user's work: nothing to offer for saving.
        doc->Lines().SetModified(false);
    }
    SendMessage(app->View(), WM_VIEW_STATE, VIEW_LOG_REPLACED);
    SendMessage(app->View(), WM_VIEW_STATE, VIEW_CAPTURE_STOPPED);
    Settle(30);
}

QImage ManualShots::ViewBands(int bands)
{
    CAnalyzerView* view = app->View();
    view->RenderNow();
    const int pitch = view->GetLineHeight() + 7;
    QImage all = view->grab().toImage();
    const int width = std::min(all.width(), 30 + app->Doc()->DisplayMode().cxLine);
    return all.copy(0, 0, width, std::min(all.height(), bands * pitch - 7));
}

QImage ManualShots::Splash()
{
    // As a start without a file shows it, once it has faded in; then it is
    // left to close by itself before the next picture.
    CSplashWnd::OpenSplash(app->Frame());
    Settle(CSplashWnd::kFadeStepMs * static_cast<int>(CSplashWnd::kFadeAlphas.size()) + 100);
    QImage picture;
    if (CSplashWnd* splash = CSplashWnd::Current()) picture = splash->grab().toImage();
    QElapsedTimer gone;
    gone.start();
    while (CSplashWnd::Current() && gone.elapsed() < 3000) Settle(50);
    return picture;
}

QImage ManualShots::PrintedPage()
{
    // The first page of the sample on A4, drawn by the print job exactly as
    // it goes to paper, at about the size of a page on a screen.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    CPrintJob job(*app->View());
    if (job.Begin(printer) != CPrintJob::State::Ready) return {};
    const int dpi = printer.resolution();
    const QRect paper = printer.pageLayout().fullRectPixels(dpi);
    const QRect paint = printer.pageLayout().paintRectPixels(dpi);
    const double zoom = 640.0 / paper.width();
    QImage image(QSize(640, static_cast<int>(paper.height() * zoom)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter dc(&image);
    dc.setRenderHint(QPainter::Antialiasing);
    dc.scale(zoom, zoom);
    dc.translate(paint.topLeft() - paper.topLeft());
    job.PrintPage(dc, 1, QRect(0, 0, paint.width(), paint.height()));
    dc.resetTransform();
    dc.setPen(QColor(0x80, 0x80, 0x80));
    dc.drawRect(image.rect().adjusted(0, 0, -1, -1));
    return image;
}

QImage ManualShots::WindowOf(int command, QSize size)
{
    // A modal window runs its own loop inside the command: photograph it
    // from there and close it. A modeless one is still open afterwards.
    QImage picture;
    const QList<QDialog*> before = VisibleDialogs();
    auto photograph = [&picture, size](QWidget* window) {
        if (!size.isEmpty()) window->resize(size);
        Settle(60);
        picture = window->grab().toImage();
    };
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !picture.isNull()) return;
        poll.stop();
        photograph(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        else modal->close();
    });
    poll.start();
    app->Frame()->RunCommand(command);
    poll.stop();
    if (picture.isNull()) {
        const QList<QDialog*> after = VisibleDialogs();
        for (QDialog* dialog : after) {
            if (before.contains(dialog)) continue;
            photograph(dialog);
            dialog->hide();
            break;
        }
    }
    Settle(30);
    return picture;
}

std::vector<ManualShots::Shot> ManualShots::Shots()
{
    CAnalyzerDoc* doc = app->Doc();
    auto mode = [doc](const std::function<void(CDisplayMode&)>& change) {
        return [doc, change] {
            change(doc->DisplayMode());
        };
    };
    // Every byte value once in TXD, and a framing and a parity error.
    auto allBytes = [this, doc] {
        Fill([doc] {
            for (int c = 0; c < 256; ++c) doc->Lines().AddDataChar(static_cast<uint8_t>(c), 0x20, doc->DisplayMode());
            doc->Lines().AddDataChar('F', 0x20 | 0x10 | 0x02, doc->DisplayMode());
            doc->Lines().AddDataChar('P', 0x28 | 0x10, doc->DisplayMode());
        });
    };
    return {
        {QStringLiteral("main-window"), 0, nullptr, [this] { return app->Frame()->grab().toImage(); }, {}},
        {QStringLiteral("splash"), 0, nullptr, [this] { return Splash(); }, {}},
        {QStringLiteral("view-ascii"), 0, nullptr, [this] { return ViewBands(3); }, {}},
        {QStringLiteral("view-hex"), 0, [this] { Command(ID_MODE_HEX_H); }, [this] { return ViewBands(3); }, {}},
        {QStringLiteral("view-hex-vertical"), 0, [this] { Command(ID_MODE_HEX_V); }, [this] { return ViewBands(2); }, {}},
        {QStringLiteral("glyphs-ascii"), 0,
         [this, allBytes, mode] {
             Command(ID_MODE_ASCII);
             mode([](CDisplayMode& m) { m.Status = 0; m.Stamp = 0; m.DateTime = 0; })();
             allBytes();
         },
         [this] { return ViewBands(8); }, {}},
        {QStringLiteral("glyphs-hex"), 0, [this] { Command(ID_MODE_HEX_H); }, [this] { return ViewBands(8); }, {}},
        // The dialogs, as their commands open them, on the sample.
        {QStringLiteral("com-settings"), ID_COM_SETTINGS,
         [this] {
             Command(ID_MODE_ASCII);
             app->OpenDocumentFile(sampleFile);
             Settle(50);
         },
         nullptr, {}},
        {QStringLiteral("display-settings"), ID_DISPLAY_SETTINGS, nullptr, nullptr, {}},
        {QStringLiteral("about"), ID_APP_ABOUT, nullptr, nullptr, {}},
        {QStringLiteral("find"), ID_FIND, nullptr, nullptr, {}},
        {QStringLiteral("goto"), ID_GOTO_LINE, nullptr, nullptr, {}},
        {QStringLiteral("print-dialog"), ID_FILE_PRINT,
         [this] {
             // The PDF printer, whatever printers the building machine has.
             QPrinter& printer = app->View()->Printing().Printer();
             printer.setOutputFormat(QPrinter::PdfFormat);
             printer.setOutputFileName(QStringLiteral("/home/you/capture.pdf"));
         },
         nullptr, {}},
        {QStringLiteral("print-preview"), ID_FILE_PRINT_PREVIEW, nullptr, nullptr, QSize(900, 760)},
        {QStringLiteral("printed-page"), 0, nullptr, [this] { return PrintedPage(); }, {}},
        // Last: it asks to clear the log first.
        {QStringLiteral("buffer"), ID_BUFFER_SETUP, nullptr, nullptr, {}},
        // Add the windows of new features here: a name and the command id.
    };
}

bool ManualShots::Save(const QString& name, const QImage& image)
{
    if (image.isNull()) {
        error = QStringLiteral("no picture for %1").arg(name);
        return false;
    }
    const QString path = outputDir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!image.save(path)) {
        error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    written.append(path);
    return true;
}

bool ManualShots::Take(const Shot& shot)
{
    if (shot.before) shot.before();
    Settle(30);
    const QImage image = shot.command != 0 ? WindowOf(shot.command, shot.windowSize) : shot.picture();
    return Save(shot.name, image);
}

bool ManualShots::Run()
{
    QDir().mkpath(outputDir);
    CAnalyzerApp::Options options;
    options.messageBoxes = false;
    options.showWindow = false;
    options.initProgramPaths = false;
    app = std::make_unique<CAnalyzerApp>(options);
    if (!app->InitInstance({sampleFile})) {
        error = QStringLiteral("the program did not start with %1").arg(sampleFile);
        return false;
    }
    app->Frame()->resize(1000, 640);
    app->Frame()->show();
    Settle(300); // the link opens and its panes fill
    for (const Shot& shot : Shots())
        if (!Take(shot)) return false;
    app.reset();
    return true;
}
