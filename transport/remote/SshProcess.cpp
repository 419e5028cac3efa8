#include "SshProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace remote {
namespace {

void CloseFd(int& fd)
{
    if (fd >= 0) ::close(fd);
    fd = -1;
}

bool WaitForExit(pid_t pid, int ms, int& status)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return true;
        if (r < 0 && errno != EINTR) {
            status = -1;
            return true; // not ours any more
        }
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

std::string DescribeStatus(int status)
{
    if (status < 0) return "unknown end";
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
    return "ended";
}

bool SshProcess::Start(const std::vector<std::string>& argv, std::string& error)
{
    Stop(0);
    int in[2], out[2], err[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) {
        error = std::string("no socket for ssh: ") + std::strerror(errno);
        return false;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, out) != 0) {
        error = std::string("no socket for ssh: ") + std::strerror(errno);
        ::close(in[0]);
        ::close(in[1]);
        return false;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        error = std::string("no pipe for ssh: ") + std::strerror(errno);
        for (int fd : {in[0], in[1], out[0], out[1]}) ::close(fd);
        return false;
    }
    // The child's ends: in[1] is its input, out[1] its output, err[1] its errors.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[1], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // Nothing else of the program's reaches ssh.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t child = -1;
    const int rc = ::posix_spawnp(&child, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(in[1]);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        error = "cannot start " + argv[0] + ": " + std::strerror(rc) +
                (rc == ENOENT ? " (install the OpenSSH client: apt install openssh-client)" : "");
        ::close(in[0]);
        ::close(out[0]);
        ::close(err[0]);
        return false;
    }
    pid = child;
    input = in[0];
    output = out[0];
    errors = err[0];
    ::fcntl(output, F_SETFL, ::fcntl(output, F_GETFL) | O_NONBLOCK);
    ::fcntl(errors, F_SETFL, ::fcntl(errors, F_GETFL) | O_NONBLOCK);
    ::fcntl(input, F_SETFL, ::fcntl(input, F_GETFL) | O_NONBLOCK);
    return true;
}

bool SshProcess::Send(const void* data, std::size_t size, int timeoutMs)
{
    const auto* p = static_cast<const uint8_t*>(data);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (size > 0) {
        if (input < 0) return false;
        const ssize_t n = ::send(input, p, size, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd w{input, POLLOUT, 0};
            ::poll(&w, 1, static_cast<int>(left.count()));
            continue;
        }
        return false;
    }
    return true;
}

void SshProcess::EndInput()
{
    if (input >= 0) ::shutdown(input, SHUT_WR);
}

int SshProcess::Reap(int graceMs)
{
    int status = -1;
    if (pid > 0) {
        EndInput();
        if (!WaitForExit(pid, graceMs, status)) {
            ::kill(pid, SIGTERM);
            if (!WaitForExit(pid, 1000, status)) {
                ::kill(pid, SIGKILL);
                WaitForExit(pid, 5000, status);
            }
        }
        pid = -1;
    }
    return status;
}

void SshProcess::CloseDescriptors()
{
    CloseFd(input);
    CloseFd(output);
    CloseFd(errors);
}

} // namespace remote
