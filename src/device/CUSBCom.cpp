#include "CUSBCom.h"
#include "TransportDevices.h"

#include "DebugLog.h"
#include "MessageService.h"
#include "ProbeTransport.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <dlfcn.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The transport's own device nodes, when it names them (an optional export).
std::vector<std::string> AskDeviceNodes(void* library)
{
    std::vector<std::string> nodes;
    auto ask = reinterpret_cast<Transport_DeviceNodes_fn>(::dlsym(library, "Transport_DeviceNodes"));
    if (!ask) return nodes;
    char buffer[4096] = {};
    const int length = ask(buffer, static_cast<int>(sizeof buffer));
    if (length <= 0 || length >= static_cast<int>(sizeof buffer)) return nodes;
    std::string all(buffer, static_cast<std::size_t>(length));
    std::size_t start = 0;
    while (start <= all.size()) {
        const std::size_t end = std::min(all.find('\n', start), all.size());
        if (end > start) nodes.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return nodes;
}

// The link's texts, as the user and the debugging output see them.
constexpr const char* kMsgGetFunction = "Get USB DLL function Failed!\n";
constexpr const char* kMsgOpenPipe = "Open Pipe Failed!\n";
constexpr const char* kMsgExitEvent = "CreateEvent (Thread exit event)\n";
constexpr const char* kMsgStartThread = "Start Thread Failed!\n";
constexpr const char* kMsgCreateReader = "CreateThread(Reader)";
constexpr const char* kMsgCreateDispatch = "CreateThread(m_hDraw)";
constexpr const char* kMsgReaderAbort = "Reader Abort!\n";
constexpr const char* kMsgReadFailed = "GetOverlappedResult (in Reader)\n";
constexpr const char* kMsgWaitFailed = "WaitForMultipleObjects(Reader)!\n";

void Report(const char* text) { ks::ReportMessage(QString::fromLatin1(text)); }

// The reader runs two steps above normal when the system lets us; an ordinary
// user usually may not lower a nice value, and that is fine: the pipe buffers
// what the reader has not yet taken.
void RaiseReaderPriority()
{
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, 0);
    if (errno == 0) (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), current - 2);
}

void NameThread(const char* name) { (void)::pthread_setname_np(::pthread_self(), name); }

std::string ExecutableDirectory()
{
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath().toStdString();
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

} // namespace

CUSBCom::CUSBCom() = default;

CUSBCom::~CUSBCom() { Close(); }

void CUSBCom::SetCallbacks(LinkCallback data, LinkCallback lost, void* user)
{
    dataCallback = data;
    lostCallback = lost;
    userData = user;
}

void CUSBCom::SetLibraryPath(std::string path) { libraryPath = std::move(path); }

bool CUSBCom::IsOpened() const { return opened.load(); }

std::string CUSBCom::LibraryPath() const
{
    if (!libraryPath.empty()) return libraryPath;
    // Always an absolute path: dlopen of a bare name searches the system's
    // library path, never the program directory.
    return ExecutableDirectory() + "/" + kLibraryName;
}

bool CUSBCom::Open()
{
    if (opened) return true;

    if (!library) {
        const std::string path = LibraryPath();
        library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            // No message box: a machine without a transport simply has no probe.
            const char* why = ::dlerror();
            ks::OutputDebugString(QStringLiteral("Transport library not loaded: %1")
                                      .arg(QString::fromLocal8Bit(why ? why : path.c_str())));
            return false;
        }
    }

    fnOpenMask = reinterpret_cast<USB_Open_mask_fn>(::dlsym(library, "USB_Open_mask"));
    fnClose = reinterpret_cast<USB_Close_fn>(::dlsym(library, "USB_Close"));
    fnOpenPipe = reinterpret_cast<USB_OpenPipe_fn>(::dlsym(library, "USB_OpenPipe"));
    fnVendorRequest = reinterpret_cast<USB_VendorRequest_fn>(::dlsym(library, "USB_VendorRequest"));
    fnOpen = reinterpret_cast<USB_Open_fn>(::dlsym(library, "USB_Open"));
    deviceNodes = AskDeviceNodes(library);
    if (!fnOpenMask || !fnClose || !fnOpenPipe || !fnVendorRequest) {
        Report(kMsgGetFunction);
        return false;
    }

    device = fnOpenMask(12, 0, 0, KS_PROBE_VENDOR, KS_PROBE_PRODUCT, 0);
    if (device == -1) return false;

    pipe = fnOpenPipe(device, 0, 0);
    if (pipe < 0) {
        pipe = -1;
        Report(kMsgOpenPipe);
        return false;
    }

    if (exitEvent < 0) {
        exitEvent = CreateExitEvent();
        // Without it Close still ends the reader: its waits are bounded and it
        // checks the exit flag after each one.
        if (exitEvent < 0) Report(kMsgExitEvent);
    }

    if (!dataCallback) {
        Report(kMsgStartThread);
        return false;
    }

    ClearExit();
    // Lets the dispatch thread hand a block over as soon as it is queued
    // rather than at the end of its 10 ms pause; without it, it just pauses.
    if (queuedEvent < 0) queuedEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // Set before the reader starts: a reader that ends at once (a probe pulled
    // during the open) must not have its "ended" undone afterwards, or the
    // dispatch thread would never stop by itself.
    threadsRun = true;
    ++threadsAlive;
    if (!StartThread(ThreadRole::Reader, m_hReader, &CUSBCom::ReaderMain)) {
        ThreadEnded();
        threadsRun = false;
        Report(kMsgCreateReader);
        Report(kMsgStartThread);
        return false;
    }

    ++threadsAlive;
    if (!StartThread(ThreadRole::Dispatch, m_hDraw, &CUSBCom::DispatchMain)) {
        ThreadEnded();
        Report(kMsgCreateDispatch);
        threadsRun = false;
        // A reader left running would go on reading into this object after
        // its owner destroyed it: end it now, while it is still ours.
        SignalExit();
        WaitForThreads();
        ClearExit();
        Report(kMsgStartThread);
        return false;
    }

    opened = true;
    return true;
}

bool CUSBCom::Close()
{
    if (OnLinkThread()) {
        // Joining oneself is impossible; the owner closes from its own thread.
        ks::OutputDebugString(QStringLiteral("CUSBCom::Close called on a link thread; ignored"));
        return true;
    }

    SignalExit();
    WaitForThreads();
    ClearExit();

    if (pipe >= 0) {
        ::close(pipe);
        pipe = -1;
    }
    if (device != 0) {
        // Also after a failed open (-1): the transport is told, as it expects.
        if (fnClose) fnClose(device);
        device = 0;
    }
    if (exitEvent >= 0) {
        ::close(exitEvent);
        exitEvent = -1;
    }
    if (queuedEvent >= 0) {
        ::close(queuedEvent);
        queuedEvent = -1;
    }
    fnOpenMask = nullptr;
    fnClose = nullptr;
    fnOpenPipe = nullptr;
    fnVendorRequest = nullptr;
    fnOpen = nullptr;
    if (library) {
        ::dlclose(library);
        library = nullptr;
    }
    opened = false;
    return true;
}

// --- vendor requests --------------------------------------------------------

int CUSBCom::RequestStart()
{
    if (!opened) return 0;
    return fnVendorRequest(device, 1, 1, KS_PROBE_REQUEST_START, 0, 0, 0, nullptr) != 0 ? 1 : 0;
}

int CUSBCom::RequestStop()
{
    if (!opened) return 0;
    return fnVendorRequest(device, 1, 1, KS_PROBE_REQUEST_STOP, 0, 0, 0, nullptr) != 0 ? 1 : 0;
}

int CUSBCom::SetParameters(const uint8_t* block, int length)
{
    if (!opened) return 0;
    // The transport only reads the block; the C contract has one buffer type.
    return fnVendorRequest(device, 0, 1, KS_PROBE_REQUEST_PARAMETERS, 0, 0, length,
                           const_cast<uint8_t*>(block));
}

int CUSBCom::ReadFirmwareVersion(int value, char* buffer, int length)
{
    if (!opened) return 0;
    return fnVendorRequest(device, 1, 1, KS_PROBE_REQUEST_FIRMWARE, value, 0, length, buffer);
}

// --- operating-system seams -------------------------------------------------

int CUSBCom::CreateExitEvent() { return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

bool CUSBCom::StartThread(ThreadRole, std::thread& thread, void (*entry)(CUSBCom*))
{
    try {
        thread = std::thread(entry, this);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

int CUSBCom::PollPipe(pollfd* fds, unsigned count, int timeoutMs)
{
    return ::poll(fds, static_cast<nfds_t>(count), timeoutMs);
}

// --- thread bookkeeping -----------------------------------------------------

void CUSBCom::SignalExit()
{
    exitRequested = true;
    if (exitEvent >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(exitEvent, &one, sizeof one);
    }
}

void CUSBCom::ClearExit()
{
    exitRequested = false;
    if (exitEvent >= 0) {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(exitEvent, &value, sizeof value);
    }
}

void CUSBCom::ThreadEnded() { --threadsAlive; }

void CUSBCom::WaitForThreads()
{
    // Both threads see the exit request within one bounded wait of their own
    // (500 ms at most), so this normally returns within a few milliseconds.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseWaitMs);
    while (threadsAlive > 0 && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (threadsAlive > 0) {
        // Only a data or lost callback that does not return can keep them.
        // Nothing is killed: say so and wait for it.
        ks::OutputDebugString(QStringLiteral("Device link threads did not end within %1 ms; waiting")
                                  .arg(kCloseWaitMs));
    }
    if (m_hReader.joinable()) m_hReader.join();
    if (m_hDraw.joinable()) m_hDraw.join();
}

bool CUSBCom::OnLinkThread() const
{
    const auto self = std::this_thread::get_id();
    return (m_hReader.joinable() && m_hReader.get_id() == self) ||
           (m_hDraw.joinable() && m_hDraw.get_id() == self);
}

// --- reader -----------------------------------------------------------------

void CUSBCom::ReaderMain(CUSBCom* link)
{
    NameThread("ks-link-reader");
    RaiseReaderPriority();
    link->ReaderLoop();
    link->threadsRun = false;
    link->ThreadEnded();
}

std::size_t CUSBCom::TakeBuffer()
{
    std::lock_guard<std::mutex> guard(linkLock);
    // Every queued block holds one buffer; when they are all queued, grow.
    if (readQueue.size() < bufferPool.size()) {
        for (std::size_t i = 0; i < bufferPool.size(); ++i) {
            if (!bufferPool[i].inUse) {
                bufferPool[i].inUse = 1;
                return i;
            }
        }
    }
    bufferPool.push_back(BUF_STRUCT{std::make_unique<uint8_t[]>(kBufferSize), 1});
    return bufferPool.size() - 1;
}

void CUSBCom::ReturnBuffer(std::size_t index)
{
    std::lock_guard<std::mutex> guard(linkLock);
    bufferPool[index].inUse = 0;
}

void CUSBCom::ReaderLoop()
{
    {
        std::lock_guard<std::mutex> guard(linkLock);
        readQueue.clear();
        for (BUF_STRUCT& b : bufferPool) b.inUse = 0;
    }

    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t held = kNone;
    bool waitFailing = false;
    const auto lost = [this] {
        if (lostCallback) lostCallback(nullptr, 1, userData);
    };

    while (!exitRequested) {
        if (held == kNone) held = TakeBuffer();

        pollfd fds[2] = {{pipe, POLLIN, 0}, {exitEvent, POLLIN, 0}};
        const unsigned count = exitEvent >= 0 ? 2u : 1u;
        const int ready = PollPipe(fds, count, kReaderWaitMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            // Report a failing wait once, not once per retry, and keep the
            // retries apart so that the exit flag is still seen promptly.
            if (!waitFailing) Report(kMsgWaitFailed);
            waitFailing = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        waitFailing = false;
        if (exitRequested || (count == 2 && fds[1].revents != 0)) break;
        if (ready == 0) {
            std::this_thread::yield();
            continue;
        }
        const short events = fds[0].revents;
        if (events & POLLNVAL) {
            // The descriptor was taken away under the read.
            Report(kMsgReaderAbort);
            lost();
            break;
        }
        if (!(events & (POLLIN | POLLHUP | POLLERR))) continue;

        uint8_t* buffer;
        {
            std::lock_guard<std::mutex> guard(linkLock);
            buffer = bufferPool[held].pBuf.get();
        }
        const ssize_t n = ::read(pipe, buffer, kReadSize);
        if (n > 0) {
            bool wasEmpty;
            {
                std::lock_guard<std::mutex> guard(linkLock);
                wasEmpty = readQueue.empty();
                readQueue.push_back(READ_STRUCT{buffer, static_cast<uint32_t>(n), held});
            }
            held = kNone;
            if (wasEmpty && queuedEvent >= 0) {
                const uint64_t one = 1;
                [[maybe_unused]] const ssize_t w = ::write(queuedEvent, &one, sizeof one);
            }
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        // End of file or a read error: the probe is gone. A failed read is
        // reported once and then ends the reader like a pulled probe, rather
        // than finding the same failure again and again.
        if (n < 0) Report(errno == EBADF ? kMsgReaderAbort : kMsgReadFailed);
        lost();
        break;
    }

    // The read is synchronous, so nothing can complete into this buffer later.
    if (held != kNone) ReturnBuffer(held);
}

// --- dispatch ---------------------------------------------------------------

void CUSBCom::DispatchMain(CUSBCom* link)
{
    NameThread("ks-link-draw");
    link->DispatchLoop();
    link->ThreadEnded();
}

void CUSBCom::DeliverQueued()
{
    for (;;) {
        READ_STRUCT head;
        {
            std::lock_guard<std::mutex> guard(linkLock);
            if (readQueue.empty()) return;
            head = readQueue.front();
        }
        // Outside the lock: the reader keeps reading while the owner works.
        dataCallback(head.pBuf, head.length, userData);
        {
            std::lock_guard<std::mutex> guard(linkLock);
            bufferPool[head.poolIndex].inUse = 0;
            readQueue.pop_front();
        }
    }
}

void CUSBCom::WaitForNextPass()
{
    // One pass every 10 ms while the line is quiet, as before; a block the
    // reader queues in the meantime ends the pause at once, so that a record
    // reaches the owner within a fraction of a millisecond of its arrival
    // instead of up to 10 ms later. Bursts still end with their empty call.
    if (queuedEvent < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return;
    }
    pollfd fd{queuedEvent, POLLIN, 0};
    if (::poll(&fd, 1, 10) > 0) {
        uint64_t value = 0;
        [[maybe_unused]] const ssize_t n = ::read(queuedEvent, &value, sizeof value);
    }
}

void CUSBCom::DispatchLoop()
{
    // The reader clears threadsRun when it ends, for whatever reason, and it
    // always ends within one bounded wait of an exit request.
    while (threadsRun) {
        DeliverQueued();
        dataCallback(nullptr, 0, userData);
        WaitForNextPass();
    }
    // The reader has ended: blocks it queued in the meantime (the probe pulled
    // mid-burst, or Close right after a stop) are still delivered, and the
    // burst is closed with its empty call as usual.
    bool pending;
    {
        std::lock_guard<std::mutex> guard(linkLock);
        pending = !readQueue.empty();
    }
    if (pending) {
        DeliverQueued();
        dataCallback(nullptr, 0, userData);
    }
}
