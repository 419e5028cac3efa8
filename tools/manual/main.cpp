// ks-manual-shots: draws the manual's pictures with the program itself.
//
//   ks-manual-shots --out DIR --sample FILE.ksf
//
// Runs offscreen, with its settings, recent files and per-user state in a
// temporary folder, so that it never touches those of the user building it.
#include "ManualShots.h"
#include "MessageService.h"
#include "ProgramPaths.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Messages go to standard error; nothing waits for an answer. A question
// is answered yes (clear the log before a series), except the offer to save
// a picture's capture, which is declined.
class QuietMessages : public ks::MessageService {
public:
    ks::MessageResult Show(const QString& text, ks::MessageButtons buttons) override
    {
        std::fprintf(stderr, "ks-manual-shots: message: %s\n", qPrintable(text));
        switch (buttons) {
        case ks::MessageButtons::YesNo: return ks::MessageResult::Yes;
        case ks::MessageButtons::YesNoCancel: return ks::MessageResult::No;
        default: return ks::MessageResult::Ok;
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    QString out, sample;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString option = QString::fromLocal8Bit(argv[i]);
        if (option == QLatin1String("--out")) out = QString::fromLocal8Bit(argv[i + 1]);
        else if (option == QLatin1String("--sample")) sample = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (out.isEmpty() || sample.isEmpty()) {
        std::fprintf(stderr, "usage: ks-manual-shots --out DIR --sample FILE.ksf\n");
        return 2;
    }
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/home-XXXXXX"));
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toLocal8Bit());
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Times as everywhere else, whatever the builder's time zone.
    qputenv("TZ", "UTC");
    // The simulated probe tells the same story every time.
    qputenv("KS_SIM_SCENARIO", "modem");
    qputenv("KS_SIM_SEED", "1");

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    ks::SetProgramPathsForTesting(QCoreApplication::applicationDirPath().toStdString() + "/",
                                  home.filePath(QStringLiteral("ks-settings.ini")).toStdString());
    QuietMessages messages;
    ks::SetMessageService(&messages);

    ManualShots shots(out, sample);
    const bool ok = shots.Run();
    ks::SetMessageService(nullptr);
    if (!ok) {
        std::fprintf(stderr, "ks-manual-shots: %s\n", qPrintable(shots.Error()));
        return 1;
    }
    std::fprintf(stderr, "ks-manual-shots: %lld pictures\n", static_cast<long long>(shots.Written().size()));
    return 0;
}
