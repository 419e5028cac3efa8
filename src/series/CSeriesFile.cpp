#include "CSeriesFile.h"

#include "FileWrite.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CSeriesFile::~CSeriesFile()
{
    if (fd >= 0) ::close(fd);
}

bool CSeriesFile::Create(const std::string& name)
{
    if (fd >= 0 && !Close()) return false;
    path = name;
    // Not O_TRUNC: the lock is taken before anything is emptied.
    const int f = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (f < 0) return false;
    if (::flock(f, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(f, 0) != 0) {
        const int error = errno;
        ::close(f);
        errno = error;
        return false;
    }
    fd = f;
    return true;
}

bool CSeriesFile::Write(const void* data, std::size_t size)
{
    if (fd < 0) {
        errno = EBADF;
        return false;
    }
    return ks::WriteAll(fd, data, size);
}

bool CSeriesFile::Close()
{
    if (fd < 0) return true;
    const int f = fd;
    fd = -1;
    return ::close(f) == 0;
}
