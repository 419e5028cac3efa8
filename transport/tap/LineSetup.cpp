// termios2 rather than termios: it takes any rate in bits per second, which
// the probe's 14400, 28800 and 76800 need. The two headers cannot be mixed, so
// this file speaks only the kernel's side.
#include "LineSetup.h"

#include <cerrno>
#include <cstring>

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace tap {

bool ApplyLineFormat(int fd, const sim::LineFormat& f, std::string& error)
{
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0) {
        error = std::strerror(errno);
        return false;
    }
    // Marked errors need INPCK for framing errors too; the markers are read
    // back by MarkedByteParser. No IGNBRK/BRKINT: a break is marked as well.
    t.c_iflag = INPCK | PARMRK;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB |
                                        HUPCL | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    t.c_cflag |= f.dataBits == 7 ? CS7 : CS8;
    if (f.parity != 0) t.c_cflag |= PARENB | (f.parity == 1 ? PARODD : 0);
    if (f.stopBits == 2) t.c_cflag |= CSTOPB;
    t.c_ispeed = f.baud;
    t.c_ospeed = f.baud;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::ioctl(fd, TCSETS2, &t) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

bool ReadLineFormat(int fd, sim::LineFormat& f)
{
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0) return false;
    f.baud = t.c_ispeed;
    f.dataBits = (t.c_cflag & CSIZE) == CS7 ? 7 : 8;
    f.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
    f.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    return true;
}

} // namespace tap
