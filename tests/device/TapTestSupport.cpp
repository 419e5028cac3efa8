#include "TapTestSupport.h"

#include "LinkTestSupport.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <asm/termbits.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

// --- Pty ------------------------------------------------------------------------

Pty::Pty()
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
    char buffer[128];
    if (::ptsname_r(master, buffer, sizeof buffer) == 0) name = buffer;
}

Pty::~Pty()
{
    if (master >= 0) ::close(master);
}

bool Pty::Write(const std::vector<uint8_t>& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void Pty::Hangup()
{
    if (master >= 0) ::close(master);
    master = -1;
}

void Pty::PassMarkersThrough()
{
    const int fd = ::open(name.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) == 0) {
        t.c_iflag &= ~static_cast<tcflag_t>(PARMRK);
        ::ioctl(fd, TCSETS2, &t);
    }
    ::close(fd);
}

bool Pty::LineFormat(uint32_t& baud, int& dataBits, int& parity, int& stopBits) const
{
    const int fd = ::open(name.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    termios2 t{};
    const bool ok = ::ioctl(fd, TCGETS2, &t) == 0;
    ::close(fd);
    baud = t.c_ispeed;
    dataBits = (t.c_cflag & CSIZE) == CS7 ? 7 : 8;
    parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
    stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return ok && (t.c_iflag & (INPCK | PARMRK)) == (INPCK | PARMRK) && (t.c_lflag & (ICANON | ECHO)) == 0 &&
           (t.c_cflag & (CRTSCTS | HUPCL)) == 0 && (t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP | IGNBRK)) == 0;
}

// --- FakeModem --------------------------------------------------------------------

namespace {

uint64_t DeviceNumber(int fd)
{
    struct stat st{};
    return ::fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_rdev) : 0;
}

uint64_t DeviceNumber(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_rdev) : 0;
}

void CountEdges(KsTapCounts& c, int changed, bool riEnds)
{
    if (changed & TIOCM_CTS) ++c.cts;
    if (changed & TIOCM_DSR) ++c.dsr;
    if (changed & TIOCM_CD) ++c.dcd;
    if ((changed & TIOCM_RI) && riEnds) ++c.rng; // only the end of a ring counts
}

} // namespace

FakeModem& FakeModem::Instance()
{
    static FakeModem modem;
    return modem;
}

KsTapModemIo FakeModem::Seam() { return KsTapModemIo{this, &Wait, &Lines, &Counts}; }

void FakeModem::Reset()
{
    std::lock_guard<std::mutex> lock(mutex);
    ports.clear();
    waitError = linesError = 0;
    countsSupported = true;
    waits = 0;
}

FakeModem::Port& FakeModem::PortOf(int fd) { return ports[DeviceNumber(fd)]; }
FakeModem::Port& FakeModem::PortOf(const Pty& pty) { return ports[DeviceNumber(pty.Name())]; }

void FakeModem::SetLines(const Pty& pty, int tiocm)
{
    std::lock_guard<std::mutex> lock(mutex);
    Port& p = PortOf(pty);
    const int changed = p.tiocm ^ tiocm;
    CountEdges(p.counts, changed, (p.tiocm & TIOCM_RI) && !(tiocm & TIOCM_RI));
    p.tiocm = tiocm;
    ++p.generation;
}

void FakeModem::Pulse(const Pty& pty, int tiocm)
{
    std::lock_guard<std::mutex> lock(mutex);
    Port& p = PortOf(pty);
    CountEdges(p.counts, tiocm, true);
    CountEdges(p.counts, tiocm & ~TIOCM_RI, true);
    ++p.generation;
}

void FakeModem::AddErrorCounts(const Pty& pty, int frame, int parity)
{
    std::lock_guard<std::mutex> lock(mutex);
    Port& p = PortOf(pty);
    p.counts.frame += frame;
    p.counts.parity += parity;
}

void FakeModem::FailWaitWith(int err)
{
    std::lock_guard<std::mutex> lock(mutex);
    waitError = err;
}

void FakeModem::FailLinesWith(int err)
{
    std::lock_guard<std::mutex> lock(mutex);
    linesError = err;
}

void FakeModem::SetCountsSupported(bool supported)
{
    std::lock_guard<std::mutex> lock(mutex);
    countsSupported = supported;
}

int FakeModem::Waits()
{
    std::lock_guard<std::mutex> lock(mutex);
    return waits;
}

int FakeModem::Wait(void* context, int fd, int)
{
    auto* self = static_cast<FakeModem*>(context);
    uint64_t seen;
    {
        std::lock_guard<std::mutex> lock(self->mutex);
        ++self->waits;
        if (self->waitError != 0) {
            errno = self->waitError;
            return -1;
        }
        seen = self->PortOf(fd).generation;
    }
    // As TIOCMIWAIT, but never for long: after a few quiet milliseconds it
    // comes back as if interrupted, so that a stopping tap is never kept.
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::lock_guard<std::mutex> lock(self->mutex);
        if (self->PortOf(fd).generation != seen) return 0;
    }
    errno = EINTR;
    return -1;
}

int FakeModem::Lines(void* context, int fd, int* tiocm)
{
    auto* self = static_cast<FakeModem*>(context);
    std::lock_guard<std::mutex> lock(self->mutex);
    if (self->linesError != 0) {
        errno = self->linesError;
        return -1;
    }
    *tiocm = self->PortOf(fd).tiocm;
    return 0;
}

int FakeModem::Counts(void* context, int fd, KsTapCounts* counts)
{
    auto* self = static_cast<FakeModem*>(context);
    std::lock_guard<std::mutex> lock(self->mutex);
    if (!self->countsSupported) {
        errno = EINVAL;
        return -1;
    }
    *counts = self->PortOf(fd).counts;
    return 0;
}

// --- TapLibrary --------------------------------------------------------------------

TapLibrary::TapLibrary()
{
    path = dir.Path("libCorvane-tap.so");
    std::filesystem::copy_file(BinDirectory() + "/libCorvane-tap.so", path);
    // Nothing of the user's own configuration is read.
    ::setenv("XDG_CONFIG_HOME", userConfig.Root().c_str(), 1);
    handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

TapLibrary::~TapLibrary()
{
    if (!handle) return;
    if (auto set = reinterpret_cast<KsTap_SetModemIo_fn>(::dlsym(handle, "KsTap_SetModemIo"))) set(nullptr);
    ::dlclose(handle);
}

void TapLibrary::UseFakeModem()
{
    FakeModem::Instance().Reset();
    const KsTapModemIo seam = FakeModem::Instance().Seam();
    if (auto set = reinterpret_cast<KsTap_SetModemIo_fn>(::dlsym(handle, "KsTap_SetModemIo"))) set(&seam);
}
