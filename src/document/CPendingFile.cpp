#include "CPendingFile.h"

#include "FileWrite.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SyncPath(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

CPendingFile::CPendingFile(const std::string& path) : target(path)
{
    // A link stays a link: the file it points to is the one replaced.
    // Resolved as bytes: a name that is not valid UTF-8 must not turn into
    // another name on its way through text.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
}

CPendingFile::~CPendingFile()
{
    if (!committed) RemoveTemp();
}

void CPendingFile::RemoveTemp()
{
    if (!tempPath.empty()) ::unlink(tempPath.c_str());
    tempPath.clear();
}

bool CPendingFile::Create(const std::string& firstBytes)
{
    RemoveTemp();
    if (target.empty()) return false;
    // Created with the usual permissions (the umask applies), or those of the
    // file it will replace.
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    int fd = -1;
    std::string name;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        name = target + ".saving-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    tempPath = name;
    if (replacing) (void)::fchmod(fd, old.st_mode & 07777);
    const bool written = ks::WriteAll(fd, firstBytes.data(), firstBytes.size());
    const bool closed = ::close(fd) == 0;
    if (written && closed) return true;
    RemoveTemp();
    return false;
}

bool CPendingFile::Commit()
{
    if (tempPath.empty() || committed) return false;
    // On the disk before the name moves, so a crash leaves either file whole.
    if (!SyncPath(tempPath, O_RDONLY)) return false;
    if (::rename(tempPath.c_str(), target.c_str()) != 0) return false;
    committed = true;
    const std::size_t slash = target.find_last_of('/');
    (void)SyncPath(slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1), O_RDONLY | O_DIRECTORY);
    tempPath.clear();
    return true;
}
