// The scripted test transport (see ScriptedControl.h). Every block a test
// sends is one packet of a sequenced-packet socket pair, so the link's read
// returns exactly that block.
#include "ProbeTransport.h"
#include "ScriptedControl.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct State {
    std::mutex mutex;
    bool failOpenMask = false;
    bool failOpenPipe = false;
    int results[4] = {SCRIPTED_DEFAULT_RESULT, SCRIPTED_DEFAULT_RESULT, SCRIPTED_DEFAULT_RESULT,
                      SCRIPTED_DEFAULT_RESULT};
    std::string firmware = "Firmware Version: SCRIPTED";
    int peer = -1;       // our end of the pair
    int linkSide = -1;   // a duplicate of the link's end, to make a read fail
    std::vector<ScriptedVendorCall> calls;
    ScriptedCounts counts{};

    void ClosePipe()
    {
        if (peer >= 0) ::close(peer);
        if (linkSide >= 0) ::close(linkSide);
        peer = linkSide = -1;
    }
};

State& S()
{
    static State state;
    return state;
}

} // namespace

// --- the transport entry points ------------------------------------------------

#ifndef SCRIPTED_WITHOUT_USB_Open_mask
EXPORT int USB_Open_mask(int a, int b, int c, int vendor, int product, int d)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.counts.openMask;
    const int args[6] = {a, b, c, vendor, product, d};
    std::copy(args, args + 6, s.counts.openMaskArgs);
    if (s.failOpenMask || vendor != KS_PROBE_VENDOR || product != KS_PROBE_PRODUCT) return -1;
    return SCRIPTED_DEVICE;
}
#endif

#ifndef SCRIPTED_WITHOUT_USB_Close
EXPORT int USB_Close(int device)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.counts.close;
    s.counts.lastCloseDevice = device;
    if (device != SCRIPTED_DEVICE) return 0;
    s.ClosePipe();
    return 1;
}
#endif

#ifndef SCRIPTED_WITHOUT_USB_OpenPipe
EXPORT int USB_OpenPipe(int device, int a, int b)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.counts.openPipe;
    s.counts.openPipeArgs[0] = device;
    s.counts.openPipeArgs[1] = a;
    s.counts.openPipeArgs[2] = b;
    if (s.failOpenPipe || device != SCRIPTED_DEVICE) return -1;
    s.ClosePipe();
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) return -1;
    s.peer = fds[1];
    s.linkSide = ::dup(fds[0]);
    return fds[0];
}
#endif

#ifndef SCRIPTED_WITHOUT_USB_VendorRequest
EXPORT int USB_VendorRequest(int device, int directionIn, int type, int request, int value, int index,
                             int length, void* buffer)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.counts.vendorRequest;
    ScriptedVendorCall call{device, directionIn, type, request, value, index, length, buffer != nullptr, {}};
    if (buffer && directionIn == 0 && length > 0)
        std::memcpy(call.data, buffer, static_cast<std::size_t>(std::min(length, 64)));
    s.calls.push_back(call);
    const int configured = request >= 0 && request < 4 ? s.results[request] : 0;
    if (request == KS_PROBE_REQUEST_FIRMWARE) {
        int n = 0;
        if (buffer && length > 0) {
            n = std::min(static_cast<int>(s.firmware.size()) + 1, length);
            std::memcpy(buffer, s.firmware.c_str(), static_cast<std::size_t>(n));
        }
        return configured == SCRIPTED_DEFAULT_RESULT ? n : configured;
    }
    return configured == SCRIPTED_DEFAULT_RESULT ? 1 : configured;
}
#endif

#ifndef SCRIPTED_WITHOUT_USB_Open
EXPORT int USB_Open(void)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.counts.open; // the link must never call it
    return -1;
}
#endif

// --- controls ---------------------------------------------------------------------

EXPORT void Scripted_Reset(void)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.ClosePipe();
    s.failOpenMask = s.failOpenPipe = false;
    std::fill(std::begin(s.results), std::end(s.results), SCRIPTED_DEFAULT_RESULT);
    s.firmware = "Firmware Version: SCRIPTED";
    s.calls.clear();
    s.counts = ScriptedCounts{};
}

EXPORT void Scripted_FailOpenMask(int fail)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().failOpenMask = fail != 0;
}

EXPORT void Scripted_FailOpenPipe(int fail)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().failOpenPipe = fail != 0;
}

EXPORT void Scripted_SetRequestResult(int request, int result)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    if (request >= 0 && request < 4) S().results[request] = result;
}

EXPORT void Scripted_SetFirmware(const char* text)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().firmware = text ? text : "";
}

EXPORT int Scripted_Send(const void* data, int length)
{
    // Never blocks while holding the lock: a full socket waits outside it,
    // so that USB_Close can always end the pipe. Gives up after two seconds.
    State& s = S();
    if (!data || length <= 0 || length > SCRIPTED_MAX_BLOCK) return 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.peer < 0) return 0;
            const ssize_t n = ::send(s.peer, data, static_cast<std::size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n == length) return 1;
            if (n >= 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) return 0;
        }
        if (std::chrono::steady_clock::now() >= until) return 0;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

EXPORT int Scripted_WaitConsumed(int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int unread = -1;
        {
            std::lock_guard<std::mutex> lock(S().mutex);
            if (S().peer < 0) return 0;
            if (::ioctl(S().peer, SIOCOUTQ, &unread) != 0) return 0;
        }
        if (unread == 0) return 1;
        if (std::chrono::steady_clock::now() >= until) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

EXPORT void Scripted_Unplug(void)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.peer >= 0) ::close(s.peer);
    s.peer = -1;
}

EXPORT int Scripted_FailRead(void)
{
    // Closing our end while it holds unread data resets the connection: the
    // link's next read fails with ECONNRESET instead of reading end of file.
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.peer < 0 || s.linkSide < 0) return 0;
    const char byte = 0;
    if (::send(s.linkSide, &byte, 1, MSG_NOSIGNAL) != 1) return 0;
    ::close(s.peer);
    s.peer = -1;
    return 1;
}

EXPORT int Scripted_VendorCalls(ScriptedVendorCall* out, int max)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    const int n = static_cast<int>(S().calls.size());
    for (int i = 0; out && i < std::min(n, max); ++i) out[i] = S().calls[static_cast<std::size_t>(i)];
    return n;
}

EXPORT void Scripted_GetCounts(ScriptedCounts* out)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    if (out) *out = S().counts;
}
