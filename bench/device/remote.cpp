// The remote transport over loopback ssh: a server of the benchmark's own on
// 127.0.0.1 (host and user keys made in a temporary folder, its own
// configuration, run as the current user) whose sessions run this build's
// ks-capture --serve with the numbered test transport at 46,080 records a
// second, the full rate of 230400 baud in both directions.
//
// BM_RemoteFullRate, 5 s of streaming. Counters:
//   records_per_s, lost_or_reordered (target: 0)
//   latency_median_ms, latency_p99_ms
//                     from the far link taking a record from its transport
//                     to the desk's data callback receiving it. The far
//                     transport logs every 100 ms how many records its link
//                     had taken by then (1 ms resolution, up to 5 ms after
//                     the take), so the figure may be low by that much.
//                     Target: median under 20 ms.
//   desk_cpu_pct      this process (the link's and the transport's threads)
//                     and the ssh client, in percent of one core
//   far_cpu_pct       the far side: sshd's session processes and ks-capture
//                     --serve (target for each side: under 2)
// BM_RemoteCycles, 20 cycles of open, 0.3 s of capture, close:
//   desk_fds_left, desk_threads_left, desk_ssh_left, far_processes_left
//                     what is left over after the cycles (target: all 0)
// Run: build/bin/ks-bench-remote (needs sshd and ssh; uses ks-capture,
// libCorvane-remote.so and libCorvane-numbered.so beside it, a tests build).
#include "CUSBCom.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double NowUs()
{
    return static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count());
}

std::string BinDir()
{
    char self[4096] = {};
    const ssize_t len = ::readlink("/proc/self/exe", self, sizeof self - 1);
    return fs::path(std::string(self, len > 0 ? static_cast<std::size_t>(len) : 0)).parent_path().string();
}

int Run(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Parent of every process, from /proc.
std::map<pid_t, pid_t> Parents()
{
    std::map<pid_t, pid_t> parents;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        const std::string name = e.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(e.path() / "stat");
        std::string line;
        std::getline(in, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state;
        pid_t ppid;
        if (rest >> state >> ppid) parents[static_cast<pid_t>(std::stol(name))] = ppid;
    }
    return parents;
}

std::vector<pid_t> Descendants(pid_t root)
{
    const auto parents = Parents();
    std::vector<pid_t> found;
    std::vector<pid_t> todo{root};
    while (!todo.empty()) {
        const pid_t p = todo.back();
        todo.pop_back();
        for (const auto& [child, parent] : parents)
            if (parent == p) {
                found.push_back(child);
                todo.push_back(child);
            }
    }
    return found;
}

std::string Comm(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string comm;
    std::getline(in, comm);
    return comm;
}

// User and system CPU of a process, in seconds.
double ProcessCpu(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double SelfCpu()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::size_t Entries(const char* folder)
{
    std::size_t n = 0;
    std::error_code ec;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder, ec)) ++n;
    return n;
}

class Server {
public:
    Server()
    {
        char pattern[] = "/tmp/ks-bench-remote-XXXXXX";
        dir = ::mkdtemp(pattern);
        if (::geteuid() == 0) ::mkdir("/run/sshd", 0755);
        if (Run({"/usr/bin/ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", dir + "/host"}) != 0 ||
            Run({"/usr/bin/ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", dir + "/user"}) != 0) {
            why = "ssh-keygen failed";
            return;
        }
        fs::copy_file(dir + "/user.pub", dir + "/authorized_keys");
        fs::create_directories(dir + "/far");
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
        port = ntohs(a.sin_port);
        ::close(s);
        const passwd* pw = ::getpwuid(::getuid());
        user = pw ? pw->pw_name : "root";
        std::ofstream(dir + "/sshd_config")
            << "ListenAddress 127.0.0.1\nPort " << port << "\nHostKey " << dir << "/host\nPidFile " << dir
            << "/sshd.pid\nAuthorizedKeysFile " << dir << "/authorized_keys\nStrictModes no\nUsePAM no\n"
            << "PasswordAuthentication no\nPermitRootLogin prohibit-password\nSetEnv HOME=" << dir
            << "/far XDG_CONFIG_HOME=" << dir << "/far KS_NUMBERED_RATE=46080 KS_NUMBERED_LOG=" << dir
            << "/far.log\n";
        std::ifstream hostKey(dir + "/host.pub");
        std::string key;
        std::getline(hostKey, key);
        std::ofstream(dir + "/known_hosts") << "[127.0.0.1]:" << port << " " << key << "\n";
        const std::string config = dir + "/sshd_config", log = dir + "/sshd.log";
        const char* argv[] = {"/usr/sbin/sshd", "-D", "-f", config.c_str(), "-E", log.c_str(), nullptr};
        if (::posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
            why = "sshd cannot be started";
            pid = -1;
            return;
        }
        for (int i = 0; i < 500; ++i) {
            const int c = ::socket(AF_INET, SOCK_STREAM, 0);
            a.sin_port = htons(static_cast<uint16_t>(port));
            const bool up = ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
            ::close(c);
            if (up) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const std::string bin = BinDir();
        ::setenv("KS_REMOTE_HOST", (user + "@127.0.0.1").c_str(), 1);
        ::setenv("KS_REMOTE_TRANSPORT", "numbered", 1);
        ::setenv("KS_REMOTE_COMMAND", (bin + "/ks-capture").c_str(), 1);
        ::setenv("KS_REMOTE_SSH_OPTIONS",
                 ("-F /dev/null -p " + std::to_string(port) + " -i " + dir + "/user -o IdentitiesOnly=yes " +
                  "-o UserKnownHostsFile=" + dir + "/known_hosts -o StrictHostKeyChecking=yes")
                     .c_str(),
                 1);
    }
    ~Server()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string dir, why, user;
    int port = 0;
    pid_t pid = -1;
};

Server& TheServer()
{
    static Server server;
    return server;
}

struct Receiver {
    std::mutex mutex;
    std::vector<std::pair<double, uint64_t>> arrivals; // (desk time in us, records so far)
    uint64_t records = 0;
    uint64_t bad = 0;
    int expect = -1;
    static void Data(const uint8_t* data, uint32_t count, void* user)
    {
        auto* self = static_cast<Receiver*>(user);
        if (!data) return;
        const double now = NowUs();
        std::lock_guard<std::mutex> lock(self->mutex);
        for (uint32_t i = 0; i + 1 < count; i += 2) {
            if ((data[i] & 0xE0) != 0x20) continue; // only the numbered data records
            const int value = ((data[i] & 0x1F) << 8) | data[i + 1];
            if (self->expect >= 0 && value != self->expect) ++self->bad;
            self->expect = (value + 1) % 8192;
            ++self->records;
        }
        self->arrivals.emplace_back(now, self->records);
    }
    static void Lost(const uint8_t*, uint32_t, void*) {}
};

void BM_RemoteFullRate(benchmark::State& state)
{
    Server& server = TheServer();
    if (!server.why.empty()) {
        state.SkipWithError(server.why.c_str());
        return;
    }
    for (auto _ : state) {
        std::remove((server.dir + "/far.log").c_str());
        Receiver receiver;
        CUSBCom link;
        link.SetCallbacks(&Receiver::Data, &Receiver::Lost, &receiver);
        link.SetLibraryPath(BinDir() + "/libCorvane-remote.so");
        if (!link.Open()) {
            state.SkipWithError("the remote probe did not open");
            return;
        }
        const uint8_t block[8] = {18, 0, 0, 0, 7, 0, 0, 0};
        link.SetParameters(block, 8);
        link.RequestStart();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        // The far side's processes and the desk's ssh, as they run now.
        std::vector<pid_t> far, ssh;
        for (pid_t p : Descendants(server.pid)) far.push_back(p);
        for (pid_t p : Descendants(::getpid()))
            if (Comm(p) == "ssh") ssh.push_back(p);
        const auto cpu = [&] {
            double desk = SelfCpu(), remote = 0;
            for (pid_t p : ssh) desk += ProcessCpu(p);
            for (pid_t p : far) remote += ProcessCpu(p);
            return std::make_pair(desk, remote);
        };
        const auto before = cpu();
        const double start = NowUs();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        const auto after = cpu();
        const double seconds = (NowUs() - start) / 1e6;
        link.RequestStop();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        link.Close();

        std::vector<double> latencies;
        {
            std::lock_guard<std::mutex> lock(receiver.mutex);
            std::ifstream log(server.dir + "/far.log");
            long long ms = 0;
            unsigned long long taken = 0;
            std::size_t at = 0;
            while (log >> ms >> taken) {
                while (at < receiver.arrivals.size() && receiver.arrivals[at].second < taken) ++at;
                if (at == receiver.arrivals.size() || taken == 0) continue;
                latencies.push_back(receiver.arrivals[at].first / 1000.0 - static_cast<double>(ms));
            }
            state.counters["records_per_s"] = static_cast<double>(receiver.records) / (seconds + 0.8);
            state.counters["lost_or_reordered"] = static_cast<double>(receiver.bad);
        }
        std::sort(latencies.begin(), latencies.end());
        if (!latencies.empty()) {
            state.counters["latency_median_ms"] = latencies[latencies.size() / 2];
            state.counters["latency_p99_ms"] = latencies[latencies.size() * 99 / 100];
        }
        state.counters["desk_cpu_pct"] = 100.0 * (after.first - before.first) / seconds;
        state.counters["far_cpu_pct"] = 100.0 * (after.second - before.second) / seconds;
    }
}

void BM_RemoteCycles(benchmark::State& state)
{
    Server& server = TheServer();
    if (!server.why.empty()) {
        state.SkipWithError(server.why.c_str());
        return;
    }
    const auto cycle = [] {
        Receiver receiver;
        CUSBCom link;
        link.SetCallbacks(&Receiver::Data, &Receiver::Lost, &receiver);
        link.SetLibraryPath(BinDir() + "/libCorvane-remote.so");
        if (!link.Open()) return false;
        link.RequestStart();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        link.RequestStop();
        link.Close();
        return true;
    };
    for (auto _ : state) {
        if (!cycle()) {
            state.SkipWithError("the remote probe did not open");
            return;
        }
        const std::size_t fds = Entries("/proc/self/fd"), threads = Entries("/proc/self/task");
        int done = 0;
        for (int i = 0; i < 20; ++i) done += cycle() ? 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // sshd reaps its sessions
        state.counters["cycles_opened"] = done;
        state.counters["desk_fds_left"] = static_cast<double>(Entries("/proc/self/fd")) - static_cast<double>(fds);
        state.counters["desk_threads_left"] =
            static_cast<double>(Entries("/proc/self/task")) - static_cast<double>(threads);
        // The desk's own children are its ssh clients (sshd, the benchmark's
        // too, has its sessions below it: counted as the far side's).
        double sshLeft = 0;
        for (pid_t p : Descendants(::getpid()))
            if (Comm(p) == "ssh") ++sshLeft;
        state.counters["desk_ssh_left"] = sshLeft;
        state.counters["far_processes_left"] = static_cast<double>(Descendants(server.pid).size());
    }
}

} // namespace

BENCHMARK(BM_RemoteFullRate)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_RemoteCycles)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK_MAIN();
