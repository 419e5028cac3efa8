// The whole program at the simulated probe's full rate: 230400 baud both
// ways with Data, Status and Stamp on, captured for a while with the real
// frame, view and document (offscreen). Reports the process's CPU share of
// one core and how long received data takes to be drawn.
#include "CAnalyzerApp.h"
#include "CAnalyzerDoc.h"
#include "CAnalyzerView.h"
#include "CMainFrame.h"
#include "CommandIds.h"
#include "ProgramPaths.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int64_t> pendingSince{0}; // arrival of the oldest block not yet drawn (ns), 0 = none

int64_t Now() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

void TimedCallback(const uint8_t* data, uint32_t count, void* doc)
{
    if (count >= 2) {
        int64_t expected = 0;
        pendingSince.compare_exchange_strong(expected, Now());
    }
    CAnalyzerDoc::MonitorDataCallback(data, count, doc);
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void CaptureAtFullRate(benchmark::State& state)
{
    QTemporaryDir dir;
    const std::string settings = dir.filePath(QStringLiteral("ks-settings.ini")).toStdString();
    QFile file(QString::fromStdString(settings));
    file.open(QIODevice::WriteOnly);
    file.write("[COM]\nBaudrate=18\nDatabit=1\nStopbit=0\nParity=0\n[DisplayMode]\nData=1\nStatus=1\nStamp=1\n");
    // With Modbus RTU decoding on, every record also goes through the decoder.
    if (state.range(1) != 0) file.write("[Decoding]\nProtocol=modbus-rtu\nMaster=auto\n");
    file.close();
    qputenv("KS_SIM_SCENARIO", "full");
    ks::SetProgramPathsForTesting(QCoreApplication::applicationDirPath().toStdString() + "/", settings);

    CAnalyzerApp::Options options;
    options.messageBoxes = false;
    options.showWindow = false;
    options.initProgramPaths = false;
    CAnalyzerApp app(options);
    app.InitInstance({});
    app.Frame()->resize(1920, 1080);
    app.Frame()->show();
    RunFor(300);
    CAnalyzerDoc* doc = app.Doc();
    doc->OpenLink(&TimedCallback);
    if (!doc->IsConnected()) {
        state.SkipWithError("the simulated probe did not open");
        return;
    }
    int64_t worst = 0, total = 0, bursts = 0;
    doc->onBurstDrawn = [&] {
        const int64_t since = pendingSince.exchange(0);
        if (since == 0) return;
        const int64_t latency = Now() - since;
        worst = std::max(worst, latency);
        total += latency;
        ++bursts;
    };
    const int seconds = static_cast<int>(state.range(0));
    for (auto _ : state) {
        app.Frame()->RunCommand(ID_ANALYZER_START);
        RunFor(500); // settle
        const double cpu0 = CpuSeconds();
        const auto wall0 = Clock::now();
        Counters c0;
        {
            CStoreGuard guard(app.View()->StoreLock());
            c0 = doc->Lines().GetCounters();
        }
        worst = total = bursts = 0;
        RunFor(seconds * 1000);
        const double cpu = CpuSeconds() - cpu0;
        const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
        Counters c1;
        {
            CStoreGuard guard(app.View()->StoreLock());
            c1 = doc->Lines().GetCounters();
        }
        app.Frame()->RunCommand(ID_ANALYZER_STOP);
        state.counters["cpu_percent_of_core"] = 100.0 * cpu / wall;
        state.counters["chars_per_s"] = static_cast<double>((c1[CNT_TXD] - c0[CNT_TXD]) + (c1[CNT_RXD] - c0[CNT_RXD])) / wall;
        state.counters["latency_worst_ms"] = static_cast<double>(worst) / 1e6;
        state.counters["latency_mean_ms"] = bursts ? static_cast<double>(total) / static_cast<double>(bursts) / 1e6 : 0.0;
        state.counters["bursts_drawn"] = static_cast<double>(bursts);
    }
    doc->onBurstDrawn = nullptr;
}
BENCHMARK(CaptureAtFullRate)
    ->Args({10, 0})
    ->Args({10, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->ArgNames({"seconds", "decoding"});

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
