#include "ChildProcess.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& environment)
{
    // Everything the child needs is prepared before the fork.
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('='));
        if (environment.find(key) == environment.end()) envText.push_back(entry);
    }
    for (const auto& [key, value] : environment) envText.push_back(key + "=" + value);
    std::vector<char*> env;
    for (std::string& e : envText) env.push_back(e.data());
    env.push_back(nullptr);
    std::vector<std::string> argText{program};
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argText) argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        ::dup2(fds[1], STDERR_FILENO);
        if (keepOutput) {
            ::dup2(fds[1], STDOUT_FILENO);
        } else {
            const int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0) ::dup2(null, STDOUT_FILENO);
        }
        ::execve(program.c_str(), argv.data(), env.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    errFd = fds[0];
    return true;
}

ChildProcess::~ChildProcess()
{
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    if (errFd >= 0) ::close(errFd);
}

void ChildProcess::ReadErrors(int timeoutMs)
{
    if (errFd < 0) return;
    pollfd p{errFd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return;
    char buffer[4096];
    const ssize_t n = ::read(errFd, buffer, sizeof buffer);
    if (n > 0) errors.append(buffer, static_cast<std::size_t>(n));
    else {
        ::close(errFd);
        errFd = -1;
    }
}

bool ChildProcess::WaitForError(const std::string& text, int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (errors.find(text) == std::string::npos) {
        if (errFd < 0 || std::chrono::steady_clock::now() >= until) return false;
        ReadErrors(50);
    }
    return true;
}

void ChildProcess::Signal(int signal)
{
    if (pid > 0) ::kill(pid, signal);
}

int ChildProcess::Finish(int timeoutMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pid > 0) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            pid = -1;
            for (int i = 0; i < 50 && errFd >= 0; ++i) ReadErrors(100);
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() >= until) return -1; // the destructor kills it
        ReadErrors(20);
    }
    return -1;
}

int RunToEnd(const std::string& program, const std::vector<std::string>& args, std::string* errors,
             const std::map<std::string, std::string>& environment)
{
    ChildProcess child;
    if (!child.Start(program, args, environment)) return -1;
    const int status = child.Finish();
    if (errors) *errors = child.Errors();
    return status;
}
