// ks-window-recorder: the whole program offscreen, started as a user starts
// it (the real application, frame, view and document, the transport named on
// the command line), which then starts a capture and runs until it is ended
// from outside. The hard-stop tests kill it and look at what it left.
//
// usage: ks-window-recorder WORKDIR [PROGRAM ARGUMENTS]
// The settings file and the per-user data folder ("data/") are in WORKDIR.
#include "CAnalyzerApp.h"
#include "CAnalyzerDoc.h"
#include "CMainFrame.h"
#include "CommandIds.h"
#include "MessageService.h"
#include "ProgramPaths.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {

// Nobody is there to answer: every box is said on standard error.
class SaidMessages : public ks::MessageService {
public:
    ks::MessageResult Show(const QString& text, ks::MessageButtons) override
    {
        std::fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
        return ks::MessageResult::No;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ks-window-recorder WORKDIR [PROGRAM ARGUMENTS]\n");
        return 2;
    }
    QApplication application(argc, argv);
    const std::string work = argv[1];
    ks::SetProgramPathsForTesting(QCoreApplication::applicationDirPath().toStdString() + "/", work + "/ks-settings.ini",
                                  work + "/data");
    SaidMessages messages;
    ks::SetMessageService(&messages);
    CAnalyzerApp::Options options;
    options.messageBoxes = false;
    options.showWindow = false;
    options.initProgramPaths = false;
    options.splash = false;
    QStringList arguments;
    for (int i = 2; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    int result = 1;
    {
        CAnalyzerApp app(options);
        if (!app.InitInstance(arguments)) return 1;
        app.Frame()->resize(1000, 700);
        app.Frame()->show();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!app.Doc()->IsConnected()) return;
            poll.stop();
            app.Frame()->RunCommand(ID_ANALYZER_START);
            std::fprintf(stderr, "Capturing\n");
        });
        poll.start(20);
        result = QApplication::exec();
    }
    return result;
}
