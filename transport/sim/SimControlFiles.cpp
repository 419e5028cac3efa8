#include "SimControlFiles.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace sim {
namespace {

std::string WithoutTrailingSeparators(std::string dir)
{
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

bool IsFolder(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFolder(const std::string& a, const std::string& b)
{
    if (a == b) return true;
    // Spelled differently (a link, "..") but one folder: its files would
    // count twice.
    struct stat sa{}, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace

std::vector<std::string> ControlDirectories(const std::string& libraryDirectory, const std::string& userDirectory)
{
    std::vector<std::string> dirs{WithoutTrailingSeparators(libraryDirectory)};
    const std::string user = WithoutTrailingSeparators(userDirectory);
    if (!user.empty() && !SameFolder(user, dirs.front())) dirs.push_back(user);
    return dirs;
}

std::string ControlFile(const std::string& directory, const char* name)
{
    return directory.empty() || directory.back() != '/' ? directory + "/" + name : directory + name;
}

bool MarkerIn(const std::string& directory)
{
    struct stat st{};
    return ::lstat(ControlFile(directory, kUnpluggedFileName).c_str(), &st) == 0;
}

std::vector<std::string> MarkersIn(const std::vector<std::string>& directories)
{
    std::vector<std::string> found;
    for (const std::string& dir : directories)
        if (MarkerIn(dir)) found.push_back(ControlFile(dir, kUnpluggedFileName));
    return found;
}

bool MakeDirectories(const std::string& directory, std::string& error)
{
    if (directory.empty()) {
        error = "no folder named";
        return false;
    }
    // Level by level from the top; a level that exists is left as it is.
    std::size_t at = 0;
    while (at != std::string::npos) {
        at = directory.find('/', at + 1);
        const std::string level = directory.substr(0, at);
        if (level.empty() || IsFolder(level)) continue;
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot make " + level + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!IsFolder(directory)) {
        error = directory + " is not a folder";
        return false;
    }
    return true;
}

} // namespace sim
