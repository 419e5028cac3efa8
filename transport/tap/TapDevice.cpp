#include "TapDevice.h"

#include "LibraryDirectory.h"
#include "LineSetup.h"
#include "ModemIo.h"
#include "PipeOutput.h"
#include "ReaderPriority.h"
#include "ProbeTransport.h"
#include "TapClock.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tap {
namespace {

constexpr const char* kPortNames[kPortCount] = {"TXD", "RXD"};
constexpr int kControlSource = 2;
// What the tap keeps while the program does not read; beyond it records are
// lost, as a real probe's full buffer loses them, and that is said.
constexpr std::size_t kBacklogLimit = 8u << 20;
// Writes of at most PIPE_BUF bytes are atomic: the reader never sees half a
// record.
constexpr std::size_t kReadSize = 4096;

void Say(const std::string& text) { std::fprintf(stderr, "serial tap: %s\n", text.c_str()); }

// "/dev/ttyUSB0" as "ttyUSB0", "/dev/pts/3" as "pts/3".
std::string ShortName(const std::string& path)
{
    return path.rfind("/dev/", 0) == 0 ? path.substr(5) : path;
}

std::string GroupOf(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return {};
    if (const group* g = ::getgrgid(st.st_gid)) return g->gr_name;
    return {};
}

timespec ToTimespec(int64_t ns)
{
    if (ns < 0) ns = 0;
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

} // namespace

TapDevice::~TapDevice()
{
    std::unique_lock<std::mutex> lock(mutex);
    StopThreads(lock);
    CloseAll(lock);
}

// --- opening and closing ------------------------------------------------------

bool TapDevice::OpenPort(int port, std::string& error)
{
    PortState& p = ports[port];
    p = PortState{};
    p.path = config.device[port];
    const std::string what = p.path + " (the " + kPortNames[port] + " port)";
    // Read only: the tap never sends a byte. No controlling terminal, and no
    // waiting for a carrier that a tap never has.
    const int fd = ::open(p.path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENODEV || err == ENXIO) {
            error = what + " does not exist; is the adapter plugged in?";
        } else if (err == EACCES || err == EPERM) {
            const std::string group = GroupOf(p.path);
            error = what + ": permission denied. Serial devices usually belong to the group '" +
                    (group.empty() ? std::string("dialout") : group) +
                    "': add yourself to it (sudo usermod -aG " + (group.empty() ? std::string("dialout") : group) +
                    " $USER) and log in again.";
        } else {
            error = what + ": " + std::strerror(err);
        }
        return false;
    }
    p.fd = fd;
    if (!::isatty(fd)) {
        error = what + " is not a serial device";
        return false;
    }
    // Two programs reading one port each get part of its bytes; refuse.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = what + " is in use by another program";
        return false;
    }
    std::string why;
    if (!ApplyLineFormat(fd, format, why)) {
        error = what + ": the line parameters cannot be set: " + why;
        return false;
    }
    return true;
}

int TapDevice::Open(int vendor, int product)
{
    if (vendor != KS_PROBE_VENDOR || product != KS_PROBE_PRODUCT) return -1;
    std::unique_lock<std::mutex> lock(mutex);
    if (handle != 0) return -1; // one program at a time

    std::string problems;
    bool fatal = false;
    TapConfig next = LoadConfig(sim::LibraryDirectory(), problems, fatal);
    if (!problems.empty()) Say(problems.substr(0, problems.size() - 2));
    if (fatal) return -1;
    // KS_TAP_TXD alone is one port on a shared bus (RS-485 two-wire), where
    // one adapter hears both sides: all it hears is recorded as TXD.
    if (next.device[kTxdPort].empty()) {
        Say("name the two serial devices: KS_TAP_TXD (the port that hears the line's TXD) and KS_TAP_RXD "
            "(the one that hears its RXD), or KS_TAP_TXD alone for a shared bus, in the environment or in " +
            std::string(kConfigFileName) + " beside the program or in ~/.config/Kestrane/");
        return -1;
    }
    struct stat a{}, b{};
    if (::stat(next.device[0].c_str(), &a) == 0 && ::stat(next.device[1].c_str(), &b) == 0 && a.st_rdev == b.st_rdev &&
        a.st_ino == b.st_ino) {
        Say("KS_TAP_TXD and KS_TAP_RXD name the same device, " + next.device[0]);
        return -1;
    }
    config = next;
    format = sim::LineFormat{};
    for (int port = 0; port < kPortCount; ++port) {
        std::string error;
        if (config.device[port].empty()) continue;
        if (!OpenPort(port, error)) {
            Say(error);
            CloseAll(lock);
            return -1;
        }
    }
    handle = nextHandle++;
    if (nextHandle > 0x7FFF0000) nextHandle = 0x7100;
    alive = true;
    streaming = false;
    goneReason.clear();
    lineBits = 0x1F;
    return handle;
}

int TapDevice::OpenPipe(int device)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (device != handle || handle == 0 || !alive || writeFd >= 0 || reader.joinable()) return -1;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    (void)::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20); // a smaller pipe also works
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return -1;
    }
    writeFd = fds[1];
    out.clear();
    outPos = 0;
    overflowSaid = false;
    io = CurrentModemIo();
    quit = false;
    try {
        reader = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        ::close(fds[0]);
        CloseAll(lock);
        return -1;
    }
    for (int port = 0; port < kPortCount; ++port) {
        const int inputs = config.wiring.InputsUsed(port);
        if (inputs == 0 || ports[port].fd < 0) continue;
        auto watcher = std::make_unique<ModemWatcher>(
            ports[port].fd, inputs, io, ports[port].path,
            [this, port](const ModemWatcher::Change& c) { OnLines(port, c); });
        if (!watcher->Start(wakeSignal.Claim())) {
            Say(ports[port].path + " reports no control lines (its driver has none); the lines wired to it show "
                "their inactive level");
            continue;
        }
        watchers[port] = std::move(watcher);
    }
    return fds[0];
}

int TapDevice::Close(int device)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (device == -1 || device == 0 || device != handle) return 0;
    StopThreads(lock);
    CloseAll(lock);
    handle = 0;
    return 1;
}

void TapDevice::StopThreads(std::unique_lock<std::mutex>& lock)
{
    quit = true;
    Wake();
    std::thread t = std::move(reader);
    std::unique_ptr<ModemWatcher> w[kPortCount];
    for (int i = 0; i < kPortCount; ++i) w[i] = std::move(watchers[i]);
    // The threads take the lock themselves on their way out.
    lock.unlock();
    if (t.joinable()) t.join();
    for (auto& one : w) one.reset();
    lock.lock();
    wakeSignal.Release();
}

void TapDevice::CloseAll(std::unique_lock<std::mutex>&)
{
    for (PortState& p : ports) {
        if (p.fd >= 0) ::close(p.fd); // also lets go of the lock on it
        p.fd = -1;
    }
    if (writeFd >= 0) ::close(writeFd);
    writeFd = -1;
    if (wakeFd >= 0) ::close(wakeFd);
    wakeFd = -1;
    out.clear();
    outPos = 0;
    alive = false;
    streaming = false;
}

// --- requests -------------------------------------------------------------------

std::string TapDevice::Firmware() const
{
    if (!OnePort()) return "Tap TXD " + ShortName(ports[kTxdPort].path) + " RXD " + ShortName(ports[kRxdPort].path);
    return "Tap bus " + ShortName(ports[kTxdPort].path);
}

int TapDevice::Request(int device, int directionIn, int request, int value, int length, void* buffer)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (device != handle || handle == 0 || !alive) return 0;
    switch (request) {
    case KS_PROBE_REQUEST_FIRMWARE: {
        if (directionIn != 1 || value != KS_PROBE_FIRMWARE_VALUE || !buffer || length <= 0) return 0;
        const std::string text = Firmware();
        const int n = std::min(static_cast<int>(std::min<std::size_t>(text.size(), 63)) + 1, length);
        std::memcpy(buffer, text.data(), static_cast<std::size_t>(n - 1));
        static_cast<char*>(buffer)[n - 1] = '\0';
        return n;
    }
    case KS_PROBE_REQUEST_START:
        if (!streaming) StartStreaming();
        return 1;
    case KS_PROBE_REQUEST_STOP:
        StopStreaming();
        return 1;
    case KS_PROBE_REQUEST_PARAMETERS: {
        if (directionIn != 0) return 0;
        sim::LineFormat next = format;
        if (!next.FromBlock(static_cast<const uint8_t*>(buffer), length)) return 0;
        for (int port = 0; port < kPortCount; ++port) {
            std::string why;
            if (ports[port].fd < 0) continue;
            if (!ApplyLineFormat(ports[port].fd, next, why)) {
                Say(ports[port].path + ": the line parameters cannot be set: " + why);
                // Both ports keep one format.
                for (int done = 0; done < port; ++done)
                    if (ports[done].fd >= 0) ApplyLineFormat(ports[done].fd, format, why);
                return 0;
            }
        }
        format = next;
        return 1;
    }
    default:
        return 0;
    }
}

void TapDevice::StartStreaming()
{
    const int64_t now = MonotonicNs();
    for (int port = 0; port < kPortCount; ++port) {
        PortState& p = ports[port];
        if (p.fd < 0) continue;
        // What arrived before the start is not part of the capture.
        uint8_t scratch[kReadSize];
        for (int i = 0; i < 64 && ::read(p.fd, scratch, sizeof scratch) > 0; ++i) {
        }
        p.parser.Reset();
        p.clock.Start(now);
        p.pendingFrame = p.pendingParity = 0;
        p.countsOk = io.counts(io.context, p.fd, &p.counts) == 0;
        const int inputs = config.wiring.InputsUsed(port);
        if (inputs != 0) {
            const int levels = ModemWatcher::ReadInputs(io, p.fd);
            if (levels >= 0) lineBits = config.wiring.Apply(lineBits, port, levels);
        }
    }
    merger.Start(now, format.reportTicks);
    // Like the probe, the capture opens with the present state of the lines.
    if (format.reportStatus) merger.Add(kControlSource, now, static_cast<uint8_t>(0x40 | lineBits), 0);
    streaming = true;
    Wake();
}

void TapDevice::StopStreaming()
{
    if (!streaming) return;
    // Everything received up to the stop goes out now; the reader thread
    // writes it, so that no request thread ever meets a closed pipe.
    const int64_t now = MonotonicNs();
    for (int port = 0; port < kPortCount; ++port)
        if (ports[port].fd >= 0) ReadPort(port, now);
    EmitDue(INT64_MAX);
    streaming = false;
    Wake();
}

// --- the reader thread ----------------------------------------------------------

void TapDevice::Wake()
{
    if (wakeFd < 0) return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t w = ::write(wakeFd, &one, sizeof one);
}

int64_t TapDevice::Watermark() const
{
    // Every later record of a port arrives after the port was last found
    // empty, less the hold-back it may be dated back by.
    const int64_t heard = OnePort() ? ports[kTxdPort].clock.LastEmpty()
                                    : std::min(ports[kTxdPort].clock.LastEmpty(), ports[kRxdPort].clock.LastEmpty());
    return heard - static_cast<int64_t>(config.holdMs) * 1000000;
}

void TapDevice::Run()
{
    // A program that closed its end must not take a SIGPIPE for it.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // Raised before it is named: whoever finds the reader by its name finds
    // it at its final priority.
    RaiseReaderPriority();
    ::pthread_setname_np(::pthread_self(), "ks-tap-read");

    std::unique_lock<std::mutex> lock(mutex);
    while (!quit && alive) {
        pollfd fds[4] = {{ports[kTxdPort].fd, POLLIN, 0}, {ports[kRxdPort].fd, POLLIN, 0}, {wakeFd, POLLIN, 0},
                         {writeFd, POLLOUT, 0}};
        const nfds_t count = outPos < out.size() ? 4 : 3;
        int64_t waitNs = -1;
        if (streaming && merger.Holding()) {
            const int64_t due = merger.OldestHeld() + static_cast<int64_t>(config.holdMs) * 1000000;
            waitNs = std::max<int64_t>(0, due - MonotonicNs());
        }
        const timespec ts = ToTimespec(waitNs);
        lock.unlock();
        const int ready = ::ppoll(fds, count, waitNs < 0 ? nullptr : &ts, nullptr);
        const int64_t polledAt = MonotonicNs();
        lock.lock();
        if (quit) break;
        if (ready < 0 && errno != EINTR) {
            Lost(std::string("waiting for the ports failed: ") + std::strerror(errno));
            break;
        }
        if (ready > 0 && fds[2].revents) {
            uint64_t v;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd, &v, sizeof v);
        }
        bool readAny = false;
        for (int port = 0; port < kPortCount; ++port) {
            if (ports[port].fd < 0) continue;
            if (ready > 0 && fds[port].revents != 0) {
                readAny = true;
                ReadPort(port, polledAt);
            } else if (ready >= 0) {
                ports[port].clock.Empty(polledAt, true);
            }
        }
        if (!goneReason.empty()) {
            Lost(goneReason);
            break;
        }
        if (streaming) EmitDue(Watermark());
        Flush();
        if (readAny) {
            // Let the characters of a streaming port gather for a moment (see
            // kGatherNs) instead of waking for each. A port that is quiet,
            // or whose stream ended before this read, is still watched: the
            // first character of its next turn wakes the reader at once and
            // so gets its time right. A stop, a close or a control-line
            // change wakes it too.
            pollfd w[3] = {{wakeFd, POLLIN, 0}};
            nfds_t n = 1;
            for (int port = 0; port < kPortCount; ++port)
                if (ports[port].fd >= 0 && !ports[port].clock.Streaming()) w[n++] = pollfd{ports[port].fd, POLLIN, 0};
            // Both directions streaming right up to this read: full duplex,
            // whose characters are dated by the line rate anyway, so they
            // may gather a little longer.
            const bool duplex = ports[kTxdPort].clock.Streaming() && ports[kRxdPort].clock.Streaming();
            const int64_t gather = duplex ? kGatherBusyNs : kGatherNs;
            const int64_t left = polledAt + gather - MonotonicNs();
            if (left > 0 && n > 0) {
                const timespec pause = ToTimespec(left);
                lock.unlock();
                ::ppoll(w, n, &pause, nullptr);
                lock.lock();
            }
        }
    }
}

void TapDevice::ReadPort(int port, int64_t polledAt)
{
    PortState& p = ports[port];
    uint8_t buffer[kReadSize];
    for (int i = 0; i < 16; ++i) {
        const ssize_t n = ::read(p.fd, buffer, sizeof buffer);
        const int64_t t = MonotonicNs();
        if (n > 0) {
            if (streaming) Received(port, buffer, static_cast<std::size_t>(n), t);
            else p.parser.Feed(buffer, static_cast<std::size_t>(n), [](const ReceivedChar&) {});
            if (static_cast<std::size_t>(n) < sizeof buffer) {
                p.clock.Empty(t, false);
                return;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            p.clock.Empty(polledAt, false);
            return;
        }
        // A terminal reads end of file or fails only when it is hung up: the
        // adapter was pulled out (or the far side of a pseudo-terminal closed).
        if (goneReason.empty())
            goneReason = p.path + " (the " + kPortNames[port] + " port) is gone: " +
                         (n == 0 ? std::string("end of file") : std::string(std::strerror(errno)));
        return;
    }
}

bool TapDevice::ErrorIsFraming(PortState& p, uint8_t value)
{
    // The markers do not tell a parity error from a framing error; the
    // driver's counters do, when it keeps them. Without parity every error
    // is a framing error, and a NUL with an error is a break or a framing
    // error (which the record shows alike).
    if (p.countsOk) {
        KsTapCounts now{};
        if (io.counts(io.context, p.fd, &now) == 0) {
            p.pendingFrame += (now.frame - p.counts.frame) + (now.brk - p.counts.brk);
            p.pendingParity += now.parity - p.counts.parity;
            p.counts = now;
        }
    }
    bool framing;
    if (format.parity == 0 || value == 0) framing = true;
    else if (p.pendingFrame > 0 && p.pendingParity <= 0) framing = true;
    else framing = false;
    int& pending = framing ? p.pendingFrame : p.pendingParity;
    if (pending > 0) --pending;
    return framing;
}

void TapDevice::Received(int port, const uint8_t* bytes, std::size_t count, int64_t readAt)
{
    PortState& p = ports[port];
    ReceivedChar chars[kReadSize + 1]; // a marker cut by the last read adds one
    std::size_t m = 0;
    p.parser.Feed(bytes, count, [&](const ReceivedChar& c) { chars[m++] = c; });
    if (m == 0) return;
    int64_t times[kReadSize + 1];
    p.clock.Date(m, readAt, static_cast<int64_t>(format.CharNanos()), static_cast<int64_t>(config.holdMs) * 1000000,
                 times);
    const uint8_t direction = port == kRxdPort ? 0x08 : 0x00;
    for (std::size_t i = 0; i < m; ++i) {
        uint8_t b0 = static_cast<uint8_t>(0x20 | direction);
        if (chars[i].error && format.reportErrors) b0 |= ErrorIsFraming(p, chars[i].value) ? 0x12 : 0x10;
        merger.Add(port, times[i], b0, static_cast<uint8_t>(chars[i].value & format.DataMask()));
    }
}

void TapDevice::OnLines(int port, const ModemWatcher::Change& change)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (change.gone) {
        if (goneReason.empty() && alive)
            goneReason = ports[port].path + " (the " + kPortNames[port] + " port) is gone: its control lines failed";
        Wake();
        return;
    }
    const bool report = streaming && format.reportStatus;
    if (change.pulsed != 0) {
        // A pulse too short for one wake-up: show it, at the wake-up's time.
        const uint8_t mid = config.wiring.Apply(lineBits, port, change.before ^ change.pulsed);
        if (report) merger.Add(kControlSource, change.t, static_cast<uint8_t>(0x40 | mid), 0);
    }
    const uint8_t before = lineBits;
    lineBits = config.wiring.Apply(lineBits, port, change.after);
    if (report && (lineBits != before || change.pulsed != 0))
        merger.Add(kControlSource, change.t, static_cast<uint8_t>(0x40 | lineBits), 0);
    Wake();
}

void TapDevice::EmitDue(int64_t watermark)
{
    const std::size_t before = out.size();
    merger.Emit(watermark, out);
    if (out.size() - outPos > kBacklogLimit) {
        // Keep whole records only.
        const std::size_t keep = std::max(before, outPos + kBacklogLimit) & ~static_cast<std::size_t>(1);
        out.resize(std::max(keep, before));
        if (!overflowSaid) Say("the program does not read; records beyond 8 MB are lost");
        overflowSaid = true;
    }
}

void TapDevice::Flush() { sim::FlushToPipe(writeFd, out, outPos); }

void TapDevice::Lost(const std::string& why)
{
    Say(why + "; the capture ends here");
    // What was received before goes to the program, then the pipe ends: the
    // program sees end of file and reports a lost probe.
    if (streaming) EmitDue(INT64_MAX);
    streaming = false;
    alive = false;
    sim::DrainAndClosePipe(writeFd, out, outPos, mutex, quit);
}

} // namespace tap
