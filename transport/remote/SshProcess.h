#pragma once
// The ssh client as a child process: started with its standard input and
// output on socket pairs (writes to a gone child fail with EPIPE instead of
// a signal) and its standard error on a pipe, in a process group of its own
// (a Ctrl+C meant for the program does not cut the connection under it),
// and reaped with a bounded wait.
#include <string>
#include <sys/types.h>
#include <vector>

namespace remote {

class SshProcess {
public:
    SshProcess() = default;
    SshProcess(const SshProcess&) = delete;
    SshProcess& operator=(const SshProcess&) = delete;
    ~SshProcess() { Stop(0); }

    // Starts argv[0] from PATH; false with the reason in `error`.
    bool Start(const std::vector<std::string>& argv, std::string& error);
    bool Running() const { return pid > 0; }

    int Input() const { return input; }   // write requests here
    int Output() const { return output; } // read frames here (non-blocking)
    int Errors() const { return errors; } // read ssh's and the far side's messages here (non-blocking)

    // Sends all of `data`, waiting at most `timeoutMs` for room; false when
    // the child no longer reads.
    bool Send(const void* data, std::size_t size, int timeoutMs);
    // Ends the input: the far side reads end of file.
    void EndInput();

    // Ends the input, gives the child `graceMs` to end by itself, then
    // terminates it (and kills it if it must) and reaps it. The descriptors
    // stay open, so that a thread still reading them meets end of file
    // rather than a descriptor reused for something else. Returns the wait
    // status, -1 when nothing ran.
    int Reap(int graceMs);
    // Closes the descriptors; the child must have been reaped.
    void CloseDescriptors();
    // Both.
    int Stop(int graceMs)
    {
        const int status = Reap(graceMs);
        CloseDescriptors();
        return status;
    }

private:
    pid_t pid = -1;
    int input = -1;
    int output = -1;
    int errors = -1;
};

// "exit status N", "killed by signal N" for a wait status.
std::string DescribeStatus(int status);

} // namespace remote
