#include "CSeriesFile.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder of `path` ("." without one).
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

CSeriesFile::~CSeriesFile()
{
    if (fd >= 0) ::close(fd);
}

bool CSeriesFile::Create(const std::string& name, const void* header, std::size_t headerSize)
{
    if (fd >= 0 && !Close()) return false;
    path = name;
    struct stat before {};
    const bool existed = ::stat(name.c_str(), &before) == 0;
    // Not O_TRUNC: the lock is taken before anything is emptied. Not
    // blocking: a FIFO of that name is refused instead of waited on.
    const int f = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (f < 0) return false;
    struct stat st {};
    int error = 0;
    if (::fstat(f, &st) != 0) error = errno;
    else if (!S_ISREG(st.st_mode)) error = EINVAL;
    else if (::flock(f, LOCK_EX | LOCK_NB) != 0) error = errno;
    if (error != 0) {
        ::close(f);
        errno = error;
        return false;
    }
    fd = f;
    committed = extent = static_cast<uint64_t>(st.st_size);
    // The header goes over whatever was there before the rest is cut off, so
    // that the file reads as a capture at every step.
    if (!WriteAt(0, header, headerSize)) return false;
    if (::ftruncate(fd, static_cast<off_t>(headerSize)) != 0) return false;
    committed = extent = headerSize;
    if (!existed) {
        // A new name must outlive a power cut as well as its records.
        const int dir = ::open(FolderOf(name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            (void)::fsync(dir);
            ::close(dir);
        }
    }
    return true;
}

bool CSeriesFile::WriteAt(uint64_t offset, const void* data, std::size_t size)
{
    if (fd < 0) {
        errno = EBADF;
        return false;
    }
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        // What the disk took counts even when the rest fails.
        offset += static_cast<uint64_t>(n);
        extent = std::max(extent, offset);
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CSeriesFile::Append(const void* data, std::size_t size)
{
    if (!WriteAt(committed, data, size)) return false;
    committed += size;
    return true;
}

bool CSeriesFile::WriteTail(std::size_t from, const void* data, std::size_t size)
{
    return WriteAt(committed + from, data, size);
}

bool CSeriesFile::CommitTail(std::size_t size)
{
    if (fd < 0) {
        errno = EBADF;
        return false;
    }
    committed += size;
    if (extent > committed) {
        if (::ftruncate(fd, static_cast<off_t>(committed)) != 0) return false;
        extent = committed;
    }
    return true;
}

bool CSeriesFile::Sync()
{
    if (fd < 0) return true;
    return ::fdatasync(fd) == 0;
}

bool CSeriesFile::Close()
{
    if (fd < 0) return true;
    const int f = fd;
    fd = -1;
    committed = extent = 0;
    return ::close(f) == 0;
}
