#include "FileNameBytes.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <dirent.h>
#include <sys/stat.h>

namespace ks {
namespace {

bool Exists(const std::string& path)
{
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0;
}

// The one entry of `folder` that Qt shows as `part`, or empty.
std::string EntryShownAs(const std::string& folder, const QString& part)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    std::string found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (QFile::decodeName(entry->d_name) != part) continue;
        found = entry->d_name;
        ++matches;
    }
    ::closedir(dir);
    return matches == 1 ? found : std::string();
}

} // namespace

std::string FileNameBytes(const QString& name)
{
    const std::string encoded = QFile::encodeName(name).toStdString();
    if (encoded.empty() || Exists(encoded)) return encoded;
    const QStringList parts = name.split(QLatin1Char('/'));
    std::string path;
    bool onDisk = true; // every part so far exists
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) path += '/';
        const QString& part = parts[i];
        std::string bytes = QFile::encodeName(part).toStdString();
        if (onDisk && !part.isEmpty() && !Exists(path + bytes)) {
            const std::string entry = EntryShownAs(path.empty() ? std::string() : path, part);
            if (!entry.empty()) bytes = entry;
            else onDisk = false;
        }
        path += bytes;
    }
    return path;
}

} // namespace ks
