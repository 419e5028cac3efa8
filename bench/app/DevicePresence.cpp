// Plugging and pulling the simulated probe while the whole program runs
// (offscreen): the real frame, document, view and link, the probe copied to a
// folder of its own and driven by the real ks-probe command. Counters:
//   PlugToConnected    plug_ms_mean, plug_ms_worst: from starting `ks-probe
//                      plug` to the link open and the panes showing "USB:
//                      Connect" with Start enabled (target: under 500 ms)
//   PullDuringCapture  pull_ms: from starting `ks-probe pull` during a capture
//                      at 230400 baud both ways to the disconnected panes with
//                      Start and Stop disabled (target: under 500 ms);
//                      received_chars, stored_chars: characters the link handed
//                      to the data callback and characters in the store
//                      (target: equal); dropped_bytes: bytes the link delivered
//                      after the capture had stopped (target: 0)
//   PlugPullCycles     100 plugs and pulls, each with a short capture:
//                      failed_cycles (target 0), threads_before/after and
//                      fds_before/after (target: equal), dropped_bytes (0)
// Run: build/bin/ks-bench-DevicePresence
#include "CAnalyzerApp.h"
#include "CAnalyzerDoc.h"
#include "CAnalyzerView.h"
#include "CMainFrame.h"
#include "CToolBarStatus.h"
#include "CommandIds.h"
#include "DeviceNoticeHub.h"
#include "ProgramPaths.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>

namespace {

std::atomic<uint64_t> receivedChars{0};

// Counts the characters of every block the link delivers, then hands the
// block to the program's own monitor path.
void CountingCallback(const uint8_t* data, uint32_t count, void* doc)
{
    uint64_t chars = 0;
    for (uint32_t i = 0; data && i + 1 < count; i += 2)
        if ((data[i] >> 5) == 1) ++chars;
    receivedChars += chars;
    CAnalyzerDoc::MonitorDataCallback(data, count, doc);
}

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` or `ms`; the milliseconds it took, or -1.
template <typename Done> double Until(Done done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

int CountEntries(const char* folder)
{
    std::error_code ec;
    int n = 0;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator(); ++it) ++n;
    return n;
}

// The program with the simulated probe in a folder of its own, pulled out.
class Program {
public:
    explicit Program(const char* scenario)
    {
        folder = dir.filePath(QStringLiteral("probe"));
        QDir().mkpath(folder);
        QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/libCorvane.so"), folder + QStringLiteral("/libCorvane.so"));
        const std::string settings = dir.filePath(QStringLiteral("ks-settings.ini")).toStdString();
        QFile file(QString::fromStdString(settings));
        file.open(QIODevice::WriteOnly);
        file.write("[COM]\nBaudrate=18\nDatabit=0\nStopbit=0\nParity=0\n[DisplayMode]\nData=1\nStatus=1\nStamp=1\n");
        file.close();
        qputenv("KS_SIM_SCENARIO", scenario);
        ks::SetProgramPathsForTesting(QCoreApplication::applicationDirPath().toStdString() + "/", settings);
        ks::DeviceNoticeHub::Instance().SetSimulatedProbeDirectory(folder.toStdString());
        Probe("pull");

        CAnalyzerApp::Options options;
        options.messageBoxes = false;
        options.showWindow = false;
        options.initProgramPaths = false;
        options.splash = false;
        app = std::make_unique<CAnalyzerApp>(options);
        app->InitInstance({});
        Doc()->SetLinkLibraryPath(folder.toStdString() + "/libCorvane.so");
        Frame()->resize(1280, 800);
        Frame()->show();
        RunFor(300);
    }
    ~Program()
    {
        app.reset();
        qunsetenv("KS_SIM_SCENARIO");
    }

    CAnalyzerDoc* Doc() const { return app->Doc(); }
    CMainFrame* Frame() const { return app->Frame(); }
    QString Pane(int i) const { return Frame()->StatusBar()->PaneText(i); }
    bool Enabled(int id) const
    {
        Frame()->UpdateCommandUI();
        return Frame()->Action(id)->isEnabled();
    }
    bool ShowsConnected() const { return Doc()->IsConnected() && Pane(2) == QStringLiteral("USB: Connect") && Enabled(ID_ANALYZER_START); }
    bool ShowsDisconnected() const
    {
        return !Doc()->Link() && Pane(2) == QStringLiteral("USB: Disconnect") && Pane(3) == QStringLiteral("COM: Disconnect.") &&
               !Enabled(ID_ANALYZER_START) && !Enabled(ID_ANALYZER_STOP);
    }
    uint64_t StoredChars() const
    {
        CStoreGuard guard(app->View()->StoreLock());
        const Counters& c = Doc()->Lines().GetCounters();
        return static_cast<uint64_t>(c[CNT_TXD]) + c[CNT_RXD];
    }

    // Starts `ks-probe COMMAND` and returns at once; the notice is the program's.
    void Probe(const char* command)
    {
        process = std::make_unique<QProcess>();
        process->start(QCoreApplication::applicationDirPath() + QStringLiteral("/ks-probe"),
                       {QStringLiteral("--dir"), folder, QString::fromLatin1(command)});
        process->waitForStarted();
    }
    void ProbeDone()
    {
        if (process) process->waitForFinished();
        process.reset();
    }

private:
    QTemporaryDir dir;
    QString folder;
    std::unique_ptr<CAnalyzerApp> app;
    std::unique_ptr<QProcess> process;
};

void PlugToConnected(benchmark::State& state)
{
    Program program("modem");
    double total = 0, worst = 0;
    int plugs = 0, failures = 0;
    for (auto _ : state) {
        for (int i = 0; i < 20; ++i) {
            QElapsedTimer timer;
            timer.start();
            program.Probe("plug");
            const double ms = Until([&] { return program.ShowsConnected(); }, 3000);
            const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            program.ProbeDone();
            if (ms < 0) ++failures;
            else {
                total += elapsed;
                worst = std::max(worst, elapsed);
                ++plugs;
            }
            program.Probe("pull");
            if (Until([&] { return program.ShowsDisconnected(); }, 3000) < 0) ++failures;
            program.ProbeDone();
        }
    }
    state.counters["plug_ms_mean"] = plugs ? total / plugs : -1;
    state.counters["plug_ms_worst"] = worst;
    state.counters["failures"] = failures;
}
BENCHMARK(PlugToConnected)->Iterations(1)->Unit(benchmark::kMillisecond);

void PullDuringCapture(benchmark::State& state)
{
    Program program("full");
    for (auto _ : state) {
        program.Probe("plug");
        if (Until([&] { return program.ShowsConnected(); }, 3000) < 0) {
            state.SkipWithError("the simulated probe did not connect");
            return;
        }
        program.ProbeDone();
        // Opened again with a callback that counts what the link delivers.
        receivedChars = 0;
        program.Doc()->OpenLink(&CountingCallback);
        program.Frame()->RunCommand(ID_ANALYZER_START);
        RunFor(static_cast<int>(state.range(0)));
        QElapsedTimer timer;
        timer.start();
        program.Probe("pull");
        const double ms = Until([&] { return program.ShowsDisconnected(); }, 3000);
        const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        program.ProbeDone();
        RunFor(200);
        state.counters["pull_ms"] = ms < 0 ? -1 : elapsed;
        state.counters["received_chars"] = static_cast<double>(receivedChars.load());
        state.counters["stored_chars"] = static_cast<double>(program.StoredChars());
        state.counters["dropped_bytes"] = static_cast<double>(program.Doc()->BytesDroppedWhileStopped());
    }
}
BENCHMARK(PullDuringCapture)->Arg(2000)->ArgName("capture_ms")->Iterations(1)->Unit(benchmark::kMillisecond);

void PlugPullCycles(benchmark::State& state)
{
    Program program("full");
    const int cycles = static_cast<int>(state.range(0));
    int failed = 0, threadsBefore = 0, fdsBefore = 0;
    uint64_t storedBefore = 0;
    auto cycle = [&] {
        bool ok = true;
        program.Probe("plug");
        ok &= Until([&] { return program.ShowsConnected(); }, 3000) >= 0;
        program.ProbeDone();
        program.Frame()->RunCommand(ID_ANALYZER_START);
        const uint64_t before = program.StoredChars();
        ok &= Until([&] { return program.StoredChars() > before; }, 3000) >= 0;
        RunFor(100);
        program.Probe("pull");
        ok &= Until([&] { return program.ShowsDisconnected(); }, 3000) >= 0;
        program.ProbeDone();
        ok &= !program.Doc()->IsRunning();
        return ok;
    };
    for (auto _ : state) {
        cycle(); // the first brings up what stays for the whole run (Qt's helpers)
        RunFor(100);
        threadsBefore = CountEntries("/proc/self/task");
        fdsBefore = CountEntries("/proc/self/fd");
        storedBefore = program.StoredChars();
        for (int i = 0; i < cycles; ++i)
            if (!cycle()) ++failed;
    }
    RunFor(300);
    state.counters["cycles"] = cycles;
    state.counters["failed_cycles"] = failed;
    state.counters["threads_before"] = threadsBefore;
    state.counters["threads_after"] = CountEntries("/proc/self/task");
    state.counters["fds_before"] = fdsBefore;
    state.counters["fds_after"] = CountEntries("/proc/self/fd");
    state.counters["stored_chars_added"] = static_cast<double>(program.StoredChars() - storedBefore);
    state.counters["dropped_bytes"] = static_cast<double>(program.Doc()->BytesDroppedWhileStopped());
}
BENCHMARK(PlugPullCycles)->Arg(100)->ArgName("cycles")->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The probe also counts a marker in the per-user folder, and the notices
    // watch (and make) it: a folder of the run's own, not the user's.
    QTemporaryDir userConfig;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(userConfig.path()));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
