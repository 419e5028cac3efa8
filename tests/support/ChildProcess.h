#pragma once
// Runs one of the built tools (or the program) as a child process with plain
// fork and exec.
// (After QProcess had started children, the thread sanitizer reported races
// all over the rest of the test process, so the tests spawn this way.) Every
// wait is bounded.
#include <functional>
#include <map>
#include <string>
#include <vector>

class ChildProcess {
public:
    // Starts `program` with `args` and the extra environment variables;
    // false when it could not be started.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& environment = {});
    ~ChildProcess();
    // Before Start: standard output is collected with standard error
    // (otherwise it goes to /dev/null).
    void KeepOutput() { keepOutput = true; }

    // Collects standard error until it contains `text`; false on timeout or
    // when the child ended first.
    bool WaitForError(const std::string& text, int timeoutMs = 20000);
    void Signal(int signal);
    // Waits for the end; the exit status, or -1 (killed, crashed, timed out).
    int Finish(int timeoutMs = 30000);
    const std::string& Errors() const { return errors; }
    int Pid() const { return pid; }

private:
    void ReadErrors(int timeoutMs);

    int pid = -1;
    int errFd = -1;
    bool keepOutput = false;
    std::string errors;
};

// Start, then Finish: the exit status, with standard error in `errors`.
int RunToEnd(const std::string& program, const std::vector<std::string>& args, std::string* errors = nullptr,
             const std::map<std::string, std::string>& environment = {});
