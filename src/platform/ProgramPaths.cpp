#include "ProgramPaths.h"

#include "RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace ks {
namespace {

struct Paths {
    std::string programDirectory;
    std::string settingsFile;
    std::string dataDirectory; // empty: the per-user default
};

Paths& State()
{
    static Paths paths;
    return paths;
}

std::string WithSeparator(std::string dir)
{
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

// A per-user folder of the program's own under a standard location.
std::string PerUserFolder(QStandardPaths::StandardLocation location)
{
    const QString dir = QStandardPaths::writableLocation(location) + QStringLiteral("/Kestrane");
    return WithSeparator(QFile::encodeName(dir).toStdString());
}

void MakeFolder(const std::string& dir) { QDir().mkpath(QFile::decodeName(dir.c_str())); }

} // namespace

std::string ChooseSettingsFile(const std::string& programDirectory, const std::string& perUserDirectory)
{
    const std::string beside = WithSeparator(programDirectory) + kSettingsFileName;
    std::string bytes;
    const FileRead read = ReadRegularFile(beside, bytes);
    const bool readable = read == FileRead::Ok || read == FileRead::Absent;
    // An installed, read-only program directory would lose every setting;
    // they are kept per user instead.
    if (readable && CanReplaceFilesIn(programDirectory)) return beside;
    return WithSeparator(perUserDirectory) + kSettingsFileName;
}

void InitProgramPaths()
{
    Paths& p = State();
    p.programDirectory = WithSeparator(QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
    const std::string perUser = PerUserFolder(QStandardPaths::GenericConfigLocation);
    p.settingsFile = ChooseSettingsFile(p.programDirectory, perUser);
    if (p.settingsFile.compare(0, perUser.size(), perUser) == 0) MakeFolder(perUser);
}

void SetProgramPathsForTesting(const std::string& programDirectory, const std::string& settingsFile,
                               const std::string& dataDirectory)
{
    State().programDirectory = programDirectory;
    State().settingsFile = settingsFile;
    State().dataDirectory = dataDirectory.empty() ? std::string() : WithSeparator(dataDirectory);
}

const std::string& ProgramDirectory() { return State().programDirectory; }
const std::string& SettingsFilePath() { return State().settingsFile; }

std::string PerUserDataDirectory(bool create)
{
    const std::string dir = State().dataDirectory.empty() ? PerUserFolder(QStandardPaths::GenericDataLocation)
                                                           : State().dataDirectory;
    if (create) MakeFolder(dir);
    return dir;
}

} // namespace ks
