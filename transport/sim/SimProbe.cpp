// The simulated probe: a drop-in transport (libCorvane.so) that behaves like
// the real probe on a busy serial line. A worker thread per open device turns
// the chosen scenario into records at the pace the set line allows and writes
// them into a pipe whose read end the program polls.
#include "LibraryDirectory.h"
#include "PipeOutput.h"
#include "ProbeTransport.h"
#include "SimConfig.h"
#include "SimControlFiles.h"
#include "UserConfigDirectory.h"
#include "SimWake.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kFirmware = "Firmware Version: V3.0 SIM";
// Records are written at most this often: a real probe sends a USB packet
// per frame, and fewer, larger writes keep the program's reader calm.
constexpr auto kWritePeriod = std::chrono::milliseconds(4);
constexpr auto kPlugCheckPeriod = std::chrono::milliseconds(50);
// Writes of at most PIPE_BUF bytes are atomic, so the reader never sees half
// a record as long as every write is even.
// What the probe holds while the program does not read; beyond it records
// are lost, as in a real probe's full FIFO.
constexpr std::size_t kHoldLimit = 8u << 20;

class Probe {
public:
    ~Probe()
    {
        std::unique_lock<std::mutex> lock(mutex);
        StopWorker(lock);
        CloseWriteEnd();
    }

    int Open(int vendor, int product)
    {
        if (vendor != KS_PROBE_VENDOR || product != KS_PROBE_PRODUCT) return -1;
        std::lock_guard<std::mutex> lock(mutex);
        if (libraryDirectory.empty()) libraryDirectory = sim::LibraryDirectory();
        // The per-user folder is looked up here, on the caller's thread: the
        // worker must not read the environment.
        std::vector<std::string> dirs = sim::ControlDirectories(libraryDirectory, sim::UserConfigDirectory());
        if (!sim::MarkersIn(dirs).empty()) return -1;
        if (handle != 0) return -1; // one program at a time
        controlDirectories = std::move(dirs);
        handle = nextHandle++;
        if (nextHandle > 0x7FFF0000) nextHandle = kFirstHandle;
        alive = true;
        streaming = false;
        format = sim::LineFormat{};
        return handle;
    }

    int Close(int device)
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (device == -1 || device == 0 || device != handle) return 0;
        StopWorker(lock);
        CloseWriteEnd();
        handle = 0;
        alive = false;
        streaming = false;
        generator.reset();
        return 1;
    }

    int OpenPipe(int device)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (device != handle || handle == 0 || !alive || writeFd >= 0 || worker.joinable()) return -1;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
        ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
        (void)::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20); // a smaller pipe also works
        writeFd = fds[1];
        quit = false;
        try {
            worker = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            ::close(fds[0]);
            CloseWriteEnd();
            return -1;
        }
        return fds[0];
    }

    int Request(int device, int directionIn, int request, int value, int length, void* buffer)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (device != handle || handle == 0 || !alive) return 0;
        switch (request) {
        case KS_PROBE_REQUEST_FIRMWARE: {
            if (directionIn != 1 || value != KS_PROBE_FIRMWARE_VALUE || !buffer || length <= 0) return 0;
            const int size = static_cast<int>(std::strlen(kFirmware)) + 1;
            const int n = std::min(size, length);
            std::memcpy(buffer, kFirmware, static_cast<std::size_t>(n - 1));
            static_cast<char*>(buffer)[n - 1] = '\0';
            return n;
        }
        case KS_PROBE_REQUEST_START: {
            if (streaming) return 1;
            std::string problems;
            const sim::SimSettings s = sim::LoadSettings(controlDirectories, problems);
            if (!problems.empty()) std::fprintf(stderr, "simulated probe: %s\n", problems.c_str());
            generator = std::make_unique<sim::Generator>(s.scenario, s.seed, s.rate, format);
            started = Clock::now();
            streaming = true;
            wake.NotifyAll();
            return 1;
        }
        case KS_PROBE_REQUEST_STOP:
            if (streaming) {
                // Everything seen up to the stop goes out now.
                Produce(Clock::now());
                Flush();
                streaming = false;
            }
            return 1;
        case KS_PROBE_REQUEST_PARAMETERS: {
            if (directionIn != 0) return 0;
            sim::LineFormat next = format;
            if (!next.FromBlock(static_cast<const uint8_t*>(buffer), length)) return 0;
            format = next; // takes effect at the next start
            return 1;
        }
        default:
            return 0;
        }
    }

private:
    static constexpr int kFirstHandle = 0x5100;

    void StopWorker(std::unique_lock<std::mutex>& lock)
    {
        quit = true;
        wake.NotifyAll();
        if (worker.joinable()) {
            std::thread t = std::move(worker);
            lock.unlock();
            t.join();
            lock.lock();
        }
    }

    void CloseWriteEnd()
    {
        if (writeFd >= 0) ::close(writeFd);
        writeFd = -1;
        out.clear();
        outPos = 0;
    }

    void Produce(Clock::time_point now)
    {
        // `now` may predate a start that came in while the worker waited for
        // the lock: nothing is due yet then.
        if (!generator || now <= started) return;
        const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - started).count();
        const std::size_t held = out.size() - outPos;
        const std::size_t room = held < kHoldLimit ? kHoldLimit - held : 0;
        // Beyond the room the probe's FIFO is full: those records are lost.
        if (!generator->Until(static_cast<uint64_t>(elapsed), out, room)) ++overflows;
    }

    void Flush() { sim::FlushToPipe(writeFd, out, outPos); }

    void Unplug()
    {
        // As a real unplug: the pipe ends, whatever the program has not read
        // from the probe yet is gone, and requests fail until a new open.
        alive = false;
        streaming = false;
        CloseWriteEnd();
        generator.reset();
    }

    void Run()
    {
        // A program that closed its end must not take a SIGPIPE for it.
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        pthread_setname_np(pthread_self(), "ks-sim-probe");

        std::unique_lock<std::mutex> lock(mutex);
        Clock::time_point nextPlugCheck = Clock::now();
        while (!quit) {
            Clock::time_point now = Clock::now();
            if (now >= nextPlugCheck) {
                const std::vector<std::string> dirs = controlDirectories;
                lock.unlock();
                const bool pulled = !sim::MarkersIn(dirs).empty();
                lock.lock();
                now = Clock::now();
                nextPlugCheck = now + kPlugCheckPeriod;
                if (pulled && alive) Unplug();
                if (quit) break;
            }
            if (alive && streaming) Produce(now);
            if (alive) Flush();
            const auto period = (alive && (streaming || !out.empty())) ? kWritePeriod : kPlugCheckPeriod;
            wake.WaitUntil(lock, std::min(now + period, nextPlugCheck));
        }
    }

    std::mutex mutex;
    sim::Wake wake;
    std::string libraryDirectory;
    std::vector<std::string> controlDirectories; // set at each open
    int handle = 0;
    int nextHandle = kFirstHandle;
    bool alive = false;
    bool streaming = false;
    bool quit = false;
    int writeFd = -1;
    sim::LineFormat format;
    std::unique_ptr<sim::Generator> generator;
    Clock::time_point started;
    std::vector<uint8_t> out;
    std::size_t outPos = 0;
    uint64_t overflows = 0;
    std::thread worker;
};

Probe& TheProbe()
{
    static Probe probe; // destroyed when the library is unloaded
    return probe;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int USB_Open_mask(int, int, int, int vendor, int product, int)
{
    return TheProbe().Open(vendor, product);
}

__attribute__((visibility("default"))) int USB_Close(int device) { return TheProbe().Close(device); }

__attribute__((visibility("default"))) int USB_OpenPipe(int device, int, int) { return TheProbe().OpenPipe(device); }

__attribute__((visibility("default"))) int USB_VendorRequest(int device, int directionIn, int, int request,
                                                             int value, int, int length, void* buffer)
{
    return TheProbe().Request(device, directionIn, request, value, length, buffer);
}

__attribute__((visibility("default"))) int USB_Open(void) { return -1; }

} // extern "C"
