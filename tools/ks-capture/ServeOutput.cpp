#include "ServeOutput.h"

#include <cerrno>
#include <chrono>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

ServeOutput::ServeOutput(int fd) : fd(fd) {}

ServeOutput::~ServeOutput() { Finish(0); }

void ServeOutput::Start()
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    writer = std::thread([this] { Run(); });
}

void ServeOutput::Send(remote::FrameType type, const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex);
    remote::AppendFrame(out, type, text);
    urgent = true;
    queued.notify_one();
}

void ServeOutput::SendAnswer(remote::FrameType request, int32_t result, const std::string& data)
{
    std::lock_guard<std::mutex> lock(mutex);
    remote::AppendAnswer(out, request, result, data);
    urgent = true;
    queued.notify_one();
}

void ServeOutput::SendHello()
{
    std::lock_guard<std::mutex> lock(mutex);
    remote::AppendHello(out);
    urgent = true;
    queued.notify_one();
}

void ServeOutput::AddRecords(const uint8_t* data, std::size_t size)
{
    size &= ~static_cast<std::size_t>(1);
    if (size == 0) return;
    std::lock_guard<std::mutex> lock(mutex);
    if (broken) return;
    if (out.size() - outPos + size > kRecordLimit) {
        dropped += size / 2;
        if (!droppedSaid)
            remote::AppendFrame(out, remote::FrameType::Notice,
                                "the connection does not keep up; records beyond 8 MB are lost on the far side");
        droppedSaid = true;
        queued.notify_one();
        return;
    }
    if (outPos == out.size()) firstQueued = std::chrono::steady_clock::now();
    remote::AppendFrame(out, remote::FrameType::Records, data, size);
    queued.notify_one();
}

uint64_t ServeOutput::Dropped() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return dropped;
}

void ServeOutput::Finish(int waitMs)
{
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (!writer.joinable()) return;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (outPos < out.size() && !broken && std::chrono::steady_clock::now() < until) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            lock.lock();
        }
        quit = true;
        queued.notify_one();
    }
    writer.join();
}

void ServeOutput::Run()
{
    // A desk that went away is an EPIPE for this thread, not a signal.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    ::pthread_setname_np(::pthread_self(), "ks-serve-write");

    std::unique_lock<std::mutex> lock(mutex);
    while (!quit) {
        if (outPos >= out.size() || broken) {
            queued.wait_for(lock, std::chrono::milliseconds(200));
            continue;
        }
        const auto due = firstQueued + std::chrono::milliseconds(kGatherMs);
        if (!urgent && out.size() - outPos < kGatherBytes && std::chrono::steady_clock::now() < due) {
            queued.wait_until(lock, due);
            continue;
        }
        urgent = false;
        // The frames written now are taken out of the queue first, so that
        // producers add behind them while the write runs unlocked.
        std::vector<uint8_t> chunk(out.begin() + static_cast<std::ptrdiff_t>(outPos), out.end());
        out.clear();
        outPos = 0;
        lock.unlock();
        std::size_t done = 0;
        bool failed = false;
        while (done < chunk.size()) {
            const ssize_t n = ::write(fd, chunk.data() + done, chunk.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                pollfd w{fd, POLLOUT, 0};
                ::poll(&w, 1, 200);
                std::lock_guard<std::mutex> check(mutex);
                if (quit) break;
                continue;
            }
            failed = true;
            break;
        }
        lock.lock();
        if (failed) broken = true;
        if (done < chunk.size() && !failed) {
            // Quitting with a stalled network: what is left stays unsent.
            break;
        }
    }
}
