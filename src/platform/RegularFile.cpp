#include "RegularFile.h"

#include "FileWrite.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ks {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor()
    {
        if (fd >= 0) ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd; }
    // Closes now and reports a failed close (the last chance to see a write error).
    bool Close()
    {
        const int f = fd;
        fd = -1;
        return ::close(f) == 0;
    }

private:
    int fd;
};

// Creates "<path>.<pid>-<n>" exclusively, with the umask applied; the
// descriptor, or -1 with errno set.
int CreateUnique(const std::string& path, std::string& created)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = path;
        created += '.';
        created += std::to_string(::getpid());
        created += '-';
        created += std::to_string(counter.fetch_add(1));
        const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

FileRead ReadRegularFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    if (path.empty()) return FileRead::Absent;
    // Looked at before it is opened: opening a device can have effects of its
    // own (a serial port raises its control lines), and opening a FIFO waits
    // for a writer.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR ? FileRead::Absent : FileRead::Failed;
    if (!S_ISREG(st.st_mode)) return FileRead::NotRegular;
    // O_NONBLOCK: should the name have been replaced by a FIFO since, the open
    // still returns at once and the check below refuses it.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0) return errno == ENOENT ? FileRead::Absent : FileRead::Failed;
    if (::fstat(fd.Get(), &st) != 0) return FileRead::Failed;
    if (!S_ISREG(st.st_mode)) return FileRead::NotRegular;
    if (st.st_size < 0) return FileRead::Failed;

    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == bytes.size()) bytes.resize(done + 4096); // it may have grown
        const ssize_t n = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            bytes.clear();
            return FileRead::Failed;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    // Fewer bytes than the file had when it was opened: it was cut short
    // while we read, and what we hold is not the file.
    if (done < static_cast<std::size_t>(st.st_size)) {
        bytes.clear();
        return FileRead::Failed;
    }
    return FileRead::Ok;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool SameFile(int fd, const std::string& path)
{
    struct stat sa {}, sb {};
    if (::fstat(fd, &sa) != 0 || ::stat(path.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool ReplaceFile(const std::string& path, const std::string& bytes, int& error)
{
    error = 0;
    std::string target = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) target = resolved;
    }
    mode_t mode = 0600;
    bool keepMode = false;
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            error = EINVAL;
            return false;
        }
        mode = existing.st_mode & 07777;
        keepMode = true;
    }

    std::string temp;
    const int raw = CreateUnique(target, temp);
    if (raw < 0) {
        error = errno;
        return false;
    }
    Descriptor fd(raw);
    const auto fail = [&](int why) {
        error = why;
        ::unlink(temp.c_str());
        return false;
    };
    // A new file gets what a plain create gives (the umask applied); an
    // existing one keeps its own permissions.
    if (keepMode && ::fchmod(fd.Get(), mode) != 0) return fail(errno);
    if (!WriteAll(fd.Get(), bytes.data(), bytes.size())) return fail(errno);
    if (::fsync(fd.Get()) != 0) return fail(errno);
    if (!fd.Close()) return fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail(errno);
    return true;
}

bool CanReplaceFilesIn(const std::string& directory)
{
    std::string base = directory.empty() ? std::string("./") : directory;
    if (base.back() != '/') base.push_back('/');
    base.append(".ks-write-test");
    std::string probe;
    const int fd = CreateUnique(base, probe);
    if (fd < 0) return false;
    ::close(fd);
    // A rename within the folder is what a settings write does last.
    std::string renamed = probe;
    renamed += ".renamed";
    const bool ok = ::rename(probe.c_str(), renamed.c_str()) == 0;
    ::unlink(ok ? renamed.c_str() : probe.c_str());
    return ok;
}

} // namespace ks
