#include "ConvertRunner.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

std::vector<std::string> ConvertRun::OutLines() const
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t nl = out.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(out.substr(start));
            break;
        }
        lines.push_back(out.substr(start, nl - start));
        start = nl + 1;
    }
    return lines;
}

namespace {

ConvertRun Run(const QString& program, const QStringList& args, const QString& timeZone, const QString& folder)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TZ", timeZone);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("KS_CONVERT", QCoreApplication::applicationDirPath() + "/ks-convert");
    process.setProcessEnvironment(env);
    if (!folder.isEmpty()) process.setWorkingDirectory(folder);
    process.start(program, args);
    ConvertRun run;
    if (!process.waitForStarted(10000)) return run;
    run.finished = process.waitForFinished(60000);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

} // namespace

ConvertRun RunConvert(const QStringList& args, const QString& timeZone)
{
    return Run(QCoreApplication::applicationDirPath() + "/ks-convert", args, timeZone, {});
}

ConvertRun RunConvertInShell(const QString& commandLine, const QString& folder)
{
    return Run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine}, QStringLiteral("UTC"), folder);
}

QString Arg(const std::string& text) { return QString::fromStdString(text); }
