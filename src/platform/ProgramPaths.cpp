#include "ProgramPaths.h"

#include "RegularFile.h"

#include <sys/stat.h>

#include <cerrno>

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
    const std::string perUser = WithSeparator(perUserDirectory) + kSettingsFileName;
    // A user's first file starts as a copy of the one beside the program, so
    // that an administrator's presets there ([Device], Transport=) apply.
    struct stat st {};
    if (read == FileRead::Ok && ::lstat(perUser.c_str(), &st) != 0 && errno == ENOENT) {
        MakeFolder(perUserDirectory);
        int error = 0;
        ReplaceFile(perUser, bytes, error);
    }
    return perUser;
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
