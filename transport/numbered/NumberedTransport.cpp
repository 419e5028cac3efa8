// The numbered test transport (see NumberedRecords.h): a generator thread per
// open pipe writes numbered records at the configured rate into a pipe the
// program reads, never blocking on it, and notes how much the program took.
#include "NumberedRecords.h"
#include "ProbeTransport.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int kDevice = 11;
constexpr std::size_t kChunk = 4096; // an atomic write to a pipe

struct State {
    std::mutex mutex;          // the calls of the program's one thread and the generator's start and end
    int writeEnd = -1;
    std::thread generator;
    std::atomic<bool> streaming{false};
    std::atomic<bool> quit{false};
};

State& S()
{
    static State state;
    return state;
}

long EnvLong(const char* name, long fallback)
{
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    const long n = std::strtol(v, nullptr, 10);
    return n > 0 ? n : fallback;
}

int64_t MonotonicMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Generate(int fd)
{
    // Nobody reading any more is an EPIPE for this thread, not a signal.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    const double rate = static_cast<double>(EnvLong("KS_NUMBERED_RATE", 46080));
    const char* logPath = std::getenv("KS_NUMBERED_LOG");
    FILE* log = logPath && *logPath ? std::fopen(logPath, "ae") : nullptr;

    State& s = S();
    uint64_t next = 0;       // the next record's number
    uint64_t written = 0;    // records in the pipe or read from it
    std::vector<uint8_t> out;
    std::size_t outPos = 0;
    auto started = std::chrono::steady_clock::now();
    uint64_t generatedAtStart = 0;
    bool wasStreaming = false;
    int64_t lastLog = 0;
    while (!s.quit) {
        const bool streaming = s.streaming;
        const auto now = std::chrono::steady_clock::now();
        if (streaming && !wasStreaming) {
            started = now;
            generatedAtStart = next;
        }
        wasStreaming = streaming;
        if (streaming) {
            const double seconds = std::chrono::duration<double>(now - started).count();
            const uint64_t target = generatedAtStart + static_cast<uint64_t>(seconds * rate);
            for (; next < target; ++next) {
                const uint32_t k = static_cast<uint32_t>(next);
                out.push_back(NumberedB0(k));
                out.push_back(NumberedB1(k));
            }
        }
        while (outPos < out.size()) {
            const std::size_t n = std::min(kChunk, out.size() - outPos);
            const ssize_t w = ::write(fd, out.data() + outPos, n);
            if (w < 0) {
                if (errno == EINTR) continue;
                if (errno == EPIPE) outPos = out.size();
                break;
            }
            outPos += static_cast<std::size_t>(w);
            written += static_cast<uint64_t>(w) / 2;
        }
        if (outPos == out.size()) {
            out.clear();
            outPos = 0;
        }
        const int64_t ms = MonotonicMs();
        if (log && (streaming || wasStreaming) && ms - lastLog >= 100) {
            int unread = 0;
            if (::ioctl(fd, FIONREAD, &unread) != 0) unread = 0;
            const uint64_t taken = written - std::min<uint64_t>(written, static_cast<uint64_t>(unread) / 2);
            std::fprintf(log, "%lld %llu\n", static_cast<long long>(ms), static_cast<unsigned long long>(taken));
            std::fflush(log);
            lastLog = ms;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (log) std::fclose(log);
}

void EndGenerator(State& s)
{
    s.quit = true;
    if (s.generator.joinable()) s.generator.join();
    s.quit = false;
    s.streaming = false;
    if (s.writeEnd >= 0) ::close(s.writeEnd);
    s.writeEnd = -1;
}

} // namespace

EXPORT int USB_Open_mask(int, int, int, int vendor, int product, int)
{
    if (vendor != KS_PROBE_VENDOR || product != KS_PROBE_PRODUCT) return -1;
    return kDevice;
}

EXPORT int USB_Close(int device)
{
    if (device != kDevice) return 0;
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    EndGenerator(s);
    return 1;
}

EXPORT int USB_OpenPipe(int device, int, int)
{
    if (device != kDevice) return -1;
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    EndGenerator(s);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    s.writeEnd = fds[1];
    try {
        s.generator = std::thread(Generate, fds[1]);
    } catch (...) {
        ::close(fds[0]);
        ::close(fds[1]);
        s.writeEnd = -1;
        return -1;
    }
    return fds[0];
}

EXPORT int USB_VendorRequest(int device, int, int, int request, int, int, int length, void* buffer)
{
    if (device != kDevice) return 0;
    State& s = S();
    switch (request) {
    case KS_PROBE_REQUEST_FIRMWARE: {
        static const char text[] = "Firmware Version: NUMBERED";
        if (!buffer || length <= 0) return 0;
        const int n = std::min(static_cast<int>(sizeof text), length);
        std::memcpy(buffer, text, static_cast<std::size_t>(n));
        static_cast<char*>(buffer)[n - 1] = '\0';
        return n;
    }
    case KS_PROBE_REQUEST_START:
        s.streaming = true;
        return 1;
    case KS_PROBE_REQUEST_STOP:
        s.streaming = false;
        return 1;
    case KS_PROBE_REQUEST_PARAMETERS:
        return 1;
    default:
        return 0;
    }
}

EXPORT int USB_Open(void) { return -1; }
