#include "PipeOutput.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <poll.h>

#include <unistd.h>

namespace sim {

namespace {
constexpr std::size_t kChunk = 4096;
}

void FlushToPipe(int fd, std::vector<uint8_t>& out, std::size_t& outPos)
{
    while (fd >= 0 && outPos < out.size()) {
        const std::size_t n = std::min(kChunk, out.size() - outPos);
        const ssize_t w = ::write(fd, out.data() + outPos, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            if (errno == EPIPE) outPos = out.size(); // nobody reads any more
            break;
        }
        outPos += static_cast<std::size_t>(w);
    }
    if (outPos == out.size()) {
        out.clear();
        outPos = 0;
    } else if (outPos > (1u << 20)) {
        out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(outPos));
        outPos = 0;
    }
}

void DrainAndClosePipe(int& fd, std::vector<uint8_t>& out, std::size_t& outPos, std::mutex& held, const bool& quit)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    for (;;) {
        FlushToPipe(fd, out, outPos);
        if (outPos >= out.size() || fd < 0 || quit || std::chrono::steady_clock::now() >= until) break;
        pollfd w{fd, POLLOUT, 0};
        held.unlock();
        ::poll(&w, 1, 20);
        held.lock();
    }
    if (fd >= 0) ::close(fd);
    fd = -1;
    out.clear();
    outPos = 0;
}

} // namespace sim
