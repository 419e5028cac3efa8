#include "AppFixture.h"

#include "CCoolBar.h"
#include "CToolBarStatus.h"
#include "DeviceNoticeHub.h"
#include "ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QThread>

bool WaitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void Pump(int ms)
{
    WaitUntil([] { return false; }, ms);
}

bool AppFixture::StartApp(const Setup& setup)
{
    // A copy of the simulated probe in a folder of our own, so that pulling
    // it out (a marker file beside it) concerns this test alone. A copy, not
    // a link: the loader would take a link for the library loaded before.
    libraryFolder = dir.Path("probe");
    QDir().mkpath(QString::fromStdString(libraryFolder));
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/libCorvane.so");
    QFile::copy(built, QString::fromStdString(libraryFolder + "/libCorvane.so"));
    SetUnplugged(setup.unplugged);
    qputenv("KS_SIM_SCENARIO", setup.scenario);
    // Pulling and plugging this copy is what the frame hears about.
    ks::DeviceNoticeHub::Instance().SetSimulatedProbeDirectory(libraryFolder);

    ks::SetProgramPathsForTesting(QCoreApplication::applicationDirPath().toStdString() + "/", dir.Path("ks-settings.ini"));
    ks::SetMessageService(&messages);
    CAnalyzerApp::Options options;
    options.messageBoxes = false;
    options.showWindow = false;
    options.initProgramPaths = false;
    options.splash = setup.splash;
    app = std::make_unique<CAnalyzerApp>(options);
    app->chooseOpenFile = [] { return QString(); };
    // The link library must be known before the first activation opens it.
    const bool started = app->InitInstance(setup.arguments);
    if (!started) return false;
    Doc()->SetLinkLibraryPath(setup.linkLibrary.empty() ? libraryFolder + "/libCorvane.so" : setup.linkLibrary);
    if (setup.show) {
        Frame()->resize(1000, 700);
        Frame()->show();
        WaitUntil([this] { return Pane(2) != QStringLiteral("USB: Disconnect") || Pane(0).contains(QStringLiteral("Failed")); }, 3000);
        Pump(50);
    }
    return true;
}

void AppFixture::TearDown()
{
    app.reset();
    ks::SetMessageService(nullptr);
    qunsetenv("KS_SIM_SCENARIO");
}

void AppFixture::SetUnplugged(bool unplugged)
{
    const QString marker = QString::fromStdString(libraryFolder + "/ks-sim-probe.unplugged");
    if (unplugged) {
        QFile file(marker);
        file.open(QIODevice::WriteOnly);
    } else {
        QFile::remove(marker);
    }
}

QString AppFixture::Pane(int pane) const { return Frame()->StatusBar()->PaneText(pane); }

QString AppFixture::CounterLabel(int index) const { return Frame()->CountBar()->Label(index)->text(); }
