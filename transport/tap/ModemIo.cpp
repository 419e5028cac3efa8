#include "ModemIo.h"

#include "TapWiring.h"

#include <mutex>

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace tap {
namespace {

int RealWait(void*, int fd, int mask) { return ::ioctl(fd, TIOCMIWAIT, mask) < 0 ? -1 : 0; }

int RealLines(void*, int fd, int* tiocm) { return ::ioctl(fd, TIOCMGET, tiocm) < 0 ? -1 : 0; }

int RealCounts(void*, int fd, KsTapCounts* out)
{
    serial_icounter_struct ic{};
    if (::ioctl(fd, TIOCGICOUNT, &ic) < 0) return -1;
    *out = KsTapCounts{ic.cts, ic.dsr, ic.rng, ic.dcd, ic.frame, ic.parity, ic.brk, ic.overrun, ic.buf_overrun};
    return 0;
}

std::mutex seamMutex;
KsTapModemIo seam{nullptr, &RealWait, &RealLines, &RealCounts};

} // namespace

KsTapModemIo CurrentModemIo()
{
    std::lock_guard<std::mutex> lock(seamMutex);
    return seam;
}

int InputsFromTiocm(int tiocm)
{
    return ((tiocm & TIOCM_CTS) ? kInCts : 0) | ((tiocm & TIOCM_DSR) ? kInDsr : 0) |
           ((tiocm & TIOCM_CD) ? kInDcd : 0) | ((tiocm & TIOCM_RI) ? kInRi : 0);
}

int TiocmFromInputs(int inputs)
{
    return ((inputs & kInCts) ? TIOCM_CTS : 0) | ((inputs & kInDsr) ? TIOCM_DSR : 0) |
           ((inputs & kInDcd) ? TIOCM_CD : 0) | ((inputs & kInRi) ? TIOCM_RI : 0);
}

} // namespace tap

extern "C" __attribute__((visibility("default"))) void KsTap_SetModemIo(const KsTapModemIo* io)
{
    std::lock_guard<std::mutex> lock(tap::seamMutex);
    if (io && io->wait && io->lines && io->counts) tap::seam = *io;
    else tap::seam = KsTapModemIo{nullptr, &tap::RealWait, &tap::RealLines, &tap::RealCounts};
}
