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

ConvertRun RunConvert(const QStringList& args, const QString& timeZone)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TZ", timeZone);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.start(QCoreApplication::applicationDirPath() + "/ks-convert", args);
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

QString Arg(const std::string& text) { return QString::fromStdString(text); }
