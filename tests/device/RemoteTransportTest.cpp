// The remote transport end to end: ks-capture records through
// libCorvane-remote.so, whose ssh reaches a real sshd of the test's own on
// 127.0.0.1 and runs the build's ks-capture --serve there with the numbered
// or the simulated probe behind it.
#include "CCaptureFile.h"
#include "CDisplayMode.h"
#include "CLines.h"
#include "LinkTestSupport.h"
#include "NumberedRecords.h"
#include "RemoteFrames.h"
#include "SshServer.h"
#include "support/ChildProcess.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The numbered records of a capture file, followed from 0: how many run on
// without a gap, repeat or reordering (a failure names the first that does not).
uint64_t NumberedRun(const std::string& path)
{
    CCaptureFile capture;
    EXPECT_EQ(capture.Read(path), CCaptureFile::Result::Ok) << path;
    CDisplayMode mode;
    mode.cxLine = 770;
    mode.cxChar = 8;
    mode.cyChar = 16;
    EXPECT_TRUE(capture.ParseHeader(mode)) << path;
    CLines lines;
    capture.DecodeBody(lines, mode);
    ByteBuffer stream;
    lines.EncodeStoredStream(stream);
    uint64_t next = 0;
    for (std::size_t i = 0; i + 1 < stream.size(); i += 2) {
        const int value = NumberedValue(stream[i], stream[i + 1]);
        if (value < 0) continue;
        if (static_cast<uint64_t>(value) != next % KS_NUMBERED_MODULUS) {
            ADD_FAILURE() << "record " << next << " expected, found " << value << " (mod 8192)";
            return next;
        }
        ++next;
    }
    return next;
}

int CountOf(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The children of `pid` (any of its threads may have started them).
std::vector<pid_t> ChildrenOf(pid_t pid)
{
    std::vector<pid_t> found;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* d = ::opendir(tasks.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.') continue;
            std::ifstream in(tasks + "/" + e->d_name + "/children");
            for (pid_t child; in >> child;) found.push_back(child);
        }
        ::closedir(d);
    }
    return found;
}

class RemoteCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.Unavailable().empty()) GTEST_SKIP() << server.Unavailable();
    }
    std::string Capture() { return BinDirectory() + "/ks-capture"; }

    SshServer server{{{"KS_NUMBERED_RATE", "46080"}}};
    TempDir out;
};

TEST_F(RemoteCapture, NumberedRecordsArriveExactAtTheFullRate)
{
    const std::string file = out.Path("far.ksf");
    std::string errors;
    ASSERT_EQ(RunToEnd(Capture(), {"--transport", "remote", "--output", file, "--seconds", "2"}, &errors,
                       server.DeskEnvironment("numbered")),
              0)
        << errors;
    EXPECT_NE(errors.find("Firmware Version: NUMBERED"), std::string::npos) << "the far probe's text: " << errors;
    // Two seconds at 46080 a second, less the start-up of the far stream.
    EXPECT_GE(NumberedRun(file), 80000u) << errors;
}

TEST_F(RemoteCapture, AKilledConnectionIsALostProbeWithWhatArrivedKept)
{
    const std::string file = out.Path("cut.ksf");
    ChildProcess child;
    ASSERT_TRUE(child.Start(Capture(), {"--transport", "remote", "--output", file}, server.DeskEnvironment("numbered")));
    ASSERT_TRUE(child.WaitForError("Capturing")) << child.Errors();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const std::vector<pid_t> ssh = ChildrenOf(child.Pid());
    ASSERT_EQ(ssh.size(), 1u) << "the desk runs one ssh";
    ::kill(ssh[0], SIGKILL);
    EXPECT_EQ(child.Finish(), 3) << "a lost probe: " << child.Errors();
    EXPECT_NE(child.Errors().find("the connection to " + server.Host() + " ended"), std::string::npos)
        << child.Errors();
    EXPECT_GE(NumberedRun(file), 20000u) << "what arrived before the kill is kept";
}

std::size_t EntriesIn(const char* folder)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

TEST_F(RemoteCapture, OpenCloseCyclesLeaveNoProcessThreadOrDescriptor)
{
    std::vector<std::unique_ptr<ScopedEnv>> env;
    for (const auto& [key, value] : server.DeskEnvironment("numbered"))
        env.push_back(std::make_unique<ScopedEnv>(key.c_str(), value));
    const auto cycle = [] {
        LinkRecorder recorder;
        CUSBCom link;
        recorder.Attach(link);
        link.SetLibraryPath(BinDirectory() + "/libCorvane-remote.so");
        ASSERT_TRUE(link.Open());
        ASSERT_EQ(link.RequestStart(), 1);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (recorder.Blocks().empty() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(recorder.Blocks().empty());
        link.RequestStop();
        link.Close();
    };
    cycle(); // the first loads what stays loaded (the library's own runtime)
    const std::size_t fds = EntriesIn("/proc/self/fd");
    const std::size_t threads = EntriesIn("/proc/self/task");
    const std::size_t children = ChildrenOf(::getpid()).size();
    for (int i = 0; i < 3; ++i) cycle();
    EXPECT_EQ(EntriesIn("/proc/self/fd"), fds);
    EXPECT_EQ(EntriesIn("/proc/self/task"), threads);
    EXPECT_EQ(ChildrenOf(::getpid()).size(), children) << "every ssh was reaped";
}

// A failed open says what went wrong in one message and leaves the desk
// usable (ks-capture ends with "not opened").
TEST_F(RemoteCapture, AFailedOpenSaysItsCauseOnce)
{
    WriteFileText(server.Path("old-serve"), "#!/bin/sh\nprintf 'H\\006\\000\\000\\000KSRP\\011\\000'\n");
    ::chmod(server.Path("old-serve").c_str(), 0755);
    WriteFileText(server.Path("older"), "#!/bin/sh\necho 'ks-capture: unknown argument --serve' >&2\nexit 2\n");
    ::chmod(server.Path("older").c_str(), 0755);
    struct Case {
        const char* what;
        std::string key, value, expected;
    };
    const std::vector<Case> cases = {
        {"unknown host", "KS_REMOTE_HOST", "nobody@no-such-host.invalid", "no-such-host.invalid"},
        {"refused key", "KS_REMOTE_SSH_OPTIONS", server.SshOptions(server.StrangerKey()), "Permission denied"},
        {"no far program", "KS_REMOTE_COMMAND", "/nonexistent/ks-capture", "has no /nonexistent/ks-capture"},
        {"another version", "KS_REMOTE_COMMAND", server.Path("old-serve"), "speaks remote protocol version 9"},
        {"no --serve yet", "KS_REMOTE_COMMAND", server.Path("older"), "does not serve yet"},
        {"no far probe", "KS_REMOTE_TRANSPORT", "sim", "could not be opened"},
    };
    WriteFileText(server.FarConfigDirectory() + "/ks-sim-probe.unplugged", "");
    for (const Case& c : cases) {
        auto environment = server.DeskEnvironment("numbered");
        environment[c.key] = c.value;
        if (c.key == "KS_REMOTE_TRANSPORT") environment[c.key] = "";
        std::string errors;
        EXPECT_EQ(RunToEnd(Capture(), {"--transport", "remote", "--output", out.Path("x.ksf"), "--seconds", "1"},
                           &errors, environment),
                  1)
            << c.what;
        EXPECT_EQ(CountOf(errors, "remote probe:"), 1) << c.what << ": " << errors;
        EXPECT_NE(errors.find(c.expected), std::string::npos) << c.what << ": " << errors;
    }
}

// The authorized_keys line of the documentation: the key streams a line
// through the forced command and runs nothing else.
TEST(RemoteKey, ARestrictedKeyStreamsALineAndDoesNothingElse)
{
    const std::string serve = BinDirectory() + "/ks-capture --serve --transport numbered";
    SshServer server({{"KS_NUMBERED_RATE", "46080"}}, "command=\"" + serve + "\",restrict");
    if (!server.Unavailable().empty()) GTEST_SKIP() << server.Unavailable();
    TempDir out;
    auto environment = server.DeskEnvironment("numbered");
    std::string errors;
    EXPECT_EQ(RunToEnd(BinDirectory() + "/ks-capture",
                       {"--transport", "remote", "--output", out.Path("x.ksf"), "--seconds", "1"}, &errors, environment),
              0)
        << errors;
    EXPECT_GT(NumberedRun(out.Path("x.ksf")), 20000u);
    environment["KS_REMOTE_TRANSPORT"] = "sim";
    EXPECT_EQ(RunToEnd(BinDirectory() + "/ks-capture",
                       {"--transport", "remote", "--output", out.Path("y.ksf"), "--seconds", "1"}, &errors, environment),
              1)
        << "another transport than the forced one";
    EXPECT_NE(errors.find("opens only the transport 'numbered'"), std::string::npos) << errors;

    const std::string marker = out.Path("ran");
    std::vector<std::string> ssh = {"-o", "BatchMode=yes"};
    std::istringstream words(server.SshOptions());
    for (std::string w; words >> w;) ssh.push_back(w);
    ssh.insert(ssh.end(), {server.Host(), "touch " + marker});
    RunToEnd("/usr/bin/ssh", ssh, &errors);
    EXPECT_FALSE(std::filesystem::exists(marker)) << "the key ran a command of the desk's choosing";
}

// The far side refuses a desk of another version, in a frame the desk shows.
TEST(RemoteServe, RefusesADeskOfAnotherVersion)
{
    TempDir dir;
    std::vector<uint8_t> request;
    remote::AppendHello(request, 9);
    remote::AppendFrame(request, remote::FrameType::Open);
    WriteFileBytes(dir.Path("in"), request);
    std::string errors;
    RunToEnd("/bin/sh", {"-c", "'" + BinDirectory() + "/ks-capture' --serve < '" + dir.Path("in") + "' > '" +
                                   dir.Path("out") + "'"},
             &errors);
    const std::vector<uint8_t> answer = ReadFileBytes(dir.Path("out"));
    remote::FrameDecoder decoder;
    decoder.Feed(answer.data(), answer.size());
    std::vector<remote::Frame> frames;
    for (remote::Frame f; decoder.Next(f) == remote::FrameDecoder::Result::Frame;) frames.push_back(f);
    ASSERT_EQ(frames.size(), 2u) << "a hello and the refusal, and no answer to the open";
    uint16_t version = 0;
    EXPECT_TRUE(remote::ReadHello(frames[0], version));
    EXPECT_EQ(version, remote::kProtocolVersion);
    EXPECT_EQ(frames[1].type, remote::FrameType::Refused);
    EXPECT_NE(frames[1].Text().find("the desk version 9"), std::string::npos) << frames[1].Text();
}

// A desk that stops reading never holds up the far probe: the far side
// keeps taking its records, keeps 8 MB of them and says that the rest is lost.
TEST(RemoteServe, KeepsTakingRecordsWhileTheDeskDoesNotRead)
{
    TempDir dir;
    const std::string log = dir.Path("log");
    int in[2], out[2];
    ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    for (const char* extra : {"KS_TRANSPORT=numbered", "KS_NUMBERED_RATE=1500000"}) env.emplace_back(extra);
    env.push_back("KS_NUMBERED_LOG=" + log);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string program = BinDirectory() + "/ks-capture";
    const char* argv[] = {program.c_str(), "--serve", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);

    std::vector<uint8_t> requests;
    remote::AppendHello(requests);
    remote::AppendFrame(requests, remote::FrameType::Open);
    remote::AppendFrame(requests, remote::FrameType::Start);
    ASSERT_EQ(::write(in[1], requests.data(), requests.size()), static_cast<ssize_t>(requests.size()));
    // 4.5 s at 1.5 million records a second is 13.5 MB, well over what waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(4500));
    uint64_t taken = 0;
    {
        std::ifstream in(log);
        long long ms = 0;
        for (unsigned long long t; in >> ms >> t;) taken = t;
    }
    EXPECT_GT(taken, 5500000u) << "the far link kept taking records from the probe";

    remote::FrameDecoder decoder;
    std::string notice;
    uint64_t records = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (notice.empty() && std::chrono::steady_clock::now() < until) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        uint8_t buffer[65536];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        decoder.Feed(buffer, static_cast<std::size_t>(n));
        for (remote::Frame f; decoder.Next(f) == remote::FrameDecoder::Result::Frame;) {
            if (f.type == remote::FrameType::Records) records += f.payload.size() / 2;
            if (f.type == remote::FrameType::Notice) notice = f.Text();
        }
    }
    EXPECT_NE(notice.find("records beyond 8 MB are lost"), std::string::npos) << notice;
    EXPECT_GE(records, 4000000u) << "8 MB of records waited for the desk";
    ::close(in[1]); // the desk is gone: the far side ends
    int status = -1;
    for (int i = 0; i < 500 && ::waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ADD_FAILURE() << "the far side did not end when its input ended";
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ::close(out[0]);
}

} // namespace
