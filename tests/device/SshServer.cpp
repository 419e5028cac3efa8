#include "SshServer.h"

#include "LinkTestSupport.h"
#include "support/ChildProcess.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* kSshd = "/usr/sbin/sshd";
constexpr const char* kKeygen = "/usr/bin/ssh-keygen";

int FreePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool Accepts(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

bool MakeKey(const std::string& path)
{
    return RunToEnd(kKeygen, {"-q", "-t", "ed25519", "-N", "", "-f", path}) == 0;
}

std::string UserName()
{
    const passwd* pw = ::getpwuid(::getuid());
    return pw ? pw->pw_name : "root";
}

} // namespace

SshServer::SshServer(const std::map<std::string, std::string>& farEnvironment, const std::string& keyOptions)
{
    if (::access(kSshd, X_OK) != 0 || ::access("/usr/bin/ssh", X_OK) != 0) {
        why = "the OpenSSH server and client are not installed (scripts/install-deps.sh installs them)";
        return;
    }
    // As root, sshd wants its privilege-separation folder; it is empty and
    // made as the package's own start-up makes it.
    if (::geteuid() == 0 && ::access("/run/sshd", F_OK) != 0 && ::mkdir("/run/sshd", 0755) != 0) {
        why = "sshd cannot run here: /run/sshd is missing and cannot be made";
        return;
    }
    if (!MakeKey(dir.Path("host_key")) || !MakeKey(dir.Path("user_key"))) {
        why = "ssh-keygen failed";
        return;
    }
    WriteFileText(dir.Path("authorized_keys"),
                  (keyOptions.empty() ? std::string() : keyOptions + " ") + ReadFileText(dir.Path("user_key.pub")));
    for (const char* sub : {"far", "far/config/Kestrane", "far/data", "far/cache", "far/runtime"})
        std::filesystem::create_directories(dir.Path(sub));
    port = FreePort();
    std::string setEnv = "SetEnv HOME=" + dir.Path("far") + " XDG_CONFIG_HOME=" + dir.Path("far/config") +
                         " XDG_DATA_HOME=" + dir.Path("far/data") + " XDG_CACHE_HOME=" + dir.Path("far/cache") +
                         " XDG_RUNTIME_DIR=" + dir.Path("far/runtime");
    for (const auto& [key, value] : farEnvironment) setEnv += " " + key + "=" + value;
    WriteFileText(dir.Path("sshd_config"),
                  "ListenAddress 127.0.0.1\nPort " + std::to_string(port) + "\nHostKey " + dir.Path("host_key") +
                      "\nPidFile " + dir.Path("sshd.pid") + "\nAuthorizedKeysFile " + dir.Path("authorized_keys") +
                      "\nStrictModes no\nPasswordAuthentication no\nKbdInteractiveAuthentication no\nUsePAM no\n"
                      "PermitRootLogin prohibit-password\nAllowUsers " + UserName() + "\n" + setEnv + "\n");
    WriteFileText(dir.Path("known_hosts"), "[127.0.0.1]:" + std::to_string(port) + " " +
                                               ReadFileText(dir.Path("host_key.pub")));
    const std::string config = dir.Path("sshd_config");
    const std::string log = dir.Path("sshd.log");
    const char* argv[] = {kSshd, "-D", "-f", config.c_str(), "-E", log.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (::posix_spawn(&pid, kSshd, &actions, nullptr, const_cast<char**>(argv), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (pid < 0) {
        why = "sshd cannot be started";
        return;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!Accepts(port)) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            why = "sshd cannot run here: " + ReadFileText(log);
            return;
        }
        if (std::chrono::steady_clock::now() > until) {
            why = "sshd did not listen within 5 s: " + ReadFileText(log);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

SshServer::~SshServer()
{
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}

std::string SshServer::Host() const { return UserName() + "@127.0.0.1"; }

std::string SshServer::SshOptions(const std::string& key) const
{
    return "-F /dev/null -p " + std::to_string(port) + " -i " + (key.empty() ? dir.Path("user_key") : key) +
           " -o IdentitiesOnly=yes -o UserKnownHostsFile=" + dir.Path("known_hosts") +
           " -o StrictHostKeyChecking=yes -o LogLevel=ERROR";
}

std::string SshServer::StrangerKey()
{
    const std::string key = dir.Path("stranger_key");
    if (::access(key.c_str(), F_OK) != 0) MakeKey(key);
    return key;
}

std::map<std::string, std::string> SshServer::DeskEnvironment(const std::string& farTransport) const
{
    return {{"KS_REMOTE_HOST", Host()},
            {"KS_REMOTE_TRANSPORT", farTransport},
            {"KS_REMOTE_COMMAND", BinDirectory() + "/ks-capture"},
            {"KS_REMOTE_SSH_OPTIONS", SshOptions()}};
}
