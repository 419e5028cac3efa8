#include "ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace ks {
namespace {

struct Paths {
    std::string programDirectory;
    std::string settingsFile;
};

Paths& State()
{
    static Paths paths;
    return paths;
}

std::string WithSeparator(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return dir.toStdString();
}

} // namespace

void InitProgramPaths()
{
    Paths& p = State();
    p.programDirectory = WithSeparator(QCoreApplication::applicationDirPath());
    const std::string besideProgram = p.programDirectory + kSettingsFileName;
    const bool fileWritable = QFileInfo::exists(QString::fromStdString(besideProgram))
        ? ::access(besideProgram.c_str(), W_OK) == 0
        : ::access(p.programDirectory.c_str(), W_OK) == 0;
    if (fileWritable) {
        p.settingsFile = besideProgram;
        return;
    }
    // An installed, read-only program directory would silently lose every
    // setting; keep them per user instead.
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  QStringLiteral("/Kestrane");
    QDir().mkpath(dir);
    p.settingsFile = WithSeparator(dir) + kSettingsFileName;
}

void SetProgramPathsForTesting(const std::string& programDirectory, const std::string& settingsFile)
{
    State().programDirectory = programDirectory;
    State().settingsFile = settingsFile;
}

const std::string& ProgramDirectory() { return State().programDirectory; }
const std::string& SettingsFilePath() { return State().settingsFile; }

} // namespace ks
