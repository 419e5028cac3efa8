#include "RunInChild.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;
constexpr int kSetupFailed = 255;

int Run(const std::function<int()>& body, int timeoutMs, bool dropPrivileges)
{
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (dropPrivileges && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(kSetupFailed);
        ::_exit(body() & 0xFF);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            if (!WIFEXITED(status) || WEXITSTATUS(status) == kSetupFailed) return -1;
            return WEXITSTATUS(status);
        }
        if (done < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

int RunInChild(const std::function<int()>& body, int timeoutMs) { return Run(body, timeoutMs, false); }

int RunUnprivileged(const std::function<int()>& body, int timeoutMs)
{
    if (::geteuid() != 0) return body();
    return Run(body, timeoutMs, true);
}

void MakeReachable(const std::string& path) { ::chmod(path.c_str(), 0755); }

void MakeWritableForAll(const std::string& path) { ::chmod(path.c_str(), 0777); }
