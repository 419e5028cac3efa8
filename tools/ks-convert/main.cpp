// ks-convert: turns capture files into text. Files are opened exactly as the
// program opens them, so what is listed is what the program would show.
#include "ConvertJob.h"
#include "ConverterWindow.h"
#include "ConvertOptions.h"
#include "FrameListing.h"
#include "OutputSink.h"

#include "RegularFile.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kExitFileError = 1;
constexpr int kExitUsage = 2;
// A search reports as grep does: 1 is "nothing matched", so a file that
// could not be searched is trouble, 2.
constexpr int kExitNoMatch = 1;
constexpr int kExitSearchTrouble = 2;

// Standard error carries our own messages for scripts to read; the platform's
// chatter (runtime directories, font fallbacks) would only drown them. Real
// faults still come through.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "ks-convert: %s\n", message.toLocal8Bit().constData());
}

// Started without arguments on a desktop (as the program's "Text File
// Convert" starts it) the converter offers its own window.
bool DisplayPresent()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal")) return false;
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

int RunWindow(char* program)
{
    int qtArgc = 1;
    char* qtArgv[] = {program, nullptr};
    QApplication app(qtArgc, qtArgv);
    ConverterWindow window;
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() && DisplayPresent()) return RunWindow(argv[0]);
    const ParseResult parsed = ParseArguments(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "ks-convert: %s\nTry 'ks-convert --help'.\n", parsed.error.c_str());
        return kExitUsage;
    }
    const ConvertOptions& options = parsed.options;
    if (options.help || options.version) {
        OutputSink out(stdout);
        if (options.help) out.Write(UsageText());
        if (options.version) out.Line(std::string("ks-convert ") + KS_VERSION);
        return out.Flush() ? 0 : kExitFileError;
    }

    // Measuring the display font needs a GUI application; without a display
    // the offscreen platform serves. Qt sees none of our arguments, so no file
    // name is ever taken for one of its options.
    // Decoding reads records, not display lines: no font, no application.
    qInstallMessageHandler(QuietMessages);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    std::optional<QGuiApplication> app;
    Layout layout;
    if (options.form != OutputForm::Decode) {
        app.emplace(qtArgc, qtArgv);
        layout = ScreenLayout(options.lineWidth);
    }

    OutputSink out(stdout);
    const bool several = options.files.size() > 1;
    const bool searching = options.form == OutputForm::Find || options.form == OutputForm::Decode;
    bool anyFailed = false;
    bool anyMatched = false;
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        const std::string& path = options.files[i];
        if (several) {
            if (i > 0) out.Line("");
            out.Line("== " + path + " ==");
        }
        // Standard output sent into the capture itself ("ks-convert x.ksf
        // >> x.ksf") would write the listing over what it lists.
        if (ks::SameFile(STDOUT_FILENO, path)) {
            anyFailed = true;
            out.Flush();
            std::fprintf(stderr, "%s: the output is this capture file; not converted\n", path.c_str());
            continue;
        }
        const ConvertOutcome outcome =
            options.form == OutputForm::Decode
                ? WriteFrames(path, options.decode,
                              options.count       ? FrameOutput::Count
                              : options.decodeCsv ? FrameOutput::Csv
                                                  : FrameOutput::List,
                              out)
                : WriteCapture(path, options.form, layout, out, options.query, options.count);
        if (outcome.result != LoadResult::Ok) {
            anyFailed = true;
            // Keep the order of the two streams readable on a terminal.
            out.Flush();
            if (several)
                std::fprintf(stderr, "%s: %s\n", path.c_str(), outcome.error.c_str());
            else
                std::fprintf(stderr, "%s\n", outcome.error.c_str());
            continue;
        }
        if (outcome.matches > 0) anyMatched = true;
    }
    if (!out.Flush()) {
        std::fprintf(stderr, "ks-convert: could not write the output\n");
        return searching ? kExitSearchTrouble : kExitFileError;
    }
    if (searching) return anyFailed ? kExitSearchTrouble : anyMatched ? 0 : kExitNoMatch;
    return anyFailed ? kExitFileError : 0;
}
