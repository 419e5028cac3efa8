// ks-capture: records from the probe into a ".ksf" capture file, or into a
// numbered series of them, without the window, through the same device link,
// line store and series writer as the program.
#include "CaptureOptions.h"
#include "CaptureSession.h"
#include "SeriesSession.h"
#include "ServeSession.h"
#include "TransportChoice.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <pthread.h>
#include <signal.h>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(CaptureUsage(), stdout);
            return 0;
        }
    }
    // Stop signals are taken synchronously by the main thread; blocking them
    // before any thread starts keeps every other thread out of their way.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv); // the program directory, where the transport lives
    if (WantsServe(argc, argv)) {
        ServeOptions serve;
        std::string error;
        if (!ParseServeOptions(argc, argv, serve, error)) {
            std::fprintf(stderr, "ks-capture: %s\n", error.c_str());
            return 2;
        }
        return RunServe(serve, QCoreApplication::applicationDirPath().toStdString(), stopSignals);
    }
    CaptureOptions options;
    std::string error;
    if (!ParseCaptureOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "ks-capture: %s\n%s", error.c_str(), CaptureUsage());
        return 2;
    }
    const TransportChoice transport = ChooseTransport(QCoreApplication::applicationDirPath().toStdString(),
                                                      options.transportGiven ? &options.transport : nullptr,
                                                      std::getenv(kTransportEnvironment));
    if (transport.Refused()) {
        std::fprintf(stderr, "ks-capture: %s\n", transport.error.c_str());
        return 2;
    }
    if (!transport.name.empty()) options.libraryPath = transport.libraryPath;
    if (!options.series.empty()) {
        SeriesSession session(options);
        return session.Run(stopSignals);
    }
    CaptureSession session(options);
    return session.Run(stopSignals);
}
