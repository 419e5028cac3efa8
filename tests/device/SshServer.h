#pragma once
// A real OpenSSH server for the remote transport's tests: started on
// 127.0.0.1 at a free port with a host key, a user key and a configuration
// of its own in a temporary folder (nothing of the system's is read or
// changed), for the user running the tests. The far side's sessions get a
// home and configuration folder of their own in the same temporary folder.
#include "support/TempDir.h"

#include <map>
#include <string>
#include <sys/types.h>

class SshServer {
public:
    // `farEnvironment`: more variables for the far side's sessions;
    // `keyOptions`: options before the user key in authorized_keys.
    explicit SshServer(const std::map<std::string, std::string>& farEnvironment = {},
                       const std::string& keyOptions = {});
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    // Empty when the server runs; else why it cannot run here (for a skip).
    const std::string& Unavailable() const { return why; }

    // The far side's per-user configuration folder ($XDG_CONFIG_HOME/Kestrane).
    std::string FarConfigDirectory() const { return dir.Path("far/config/Kestrane"); }
    std::string Host() const;
    // KS_REMOTE_SSH_OPTIONS that reach this server with the user key
    // (`key`: another key file instead).
    std::string SshOptions(const std::string& key = {}) const;
    // A key the server does not accept.
    std::string StrangerKey();
    std::string Path(const std::string& name) const { return dir.Path(name); }

    // The environment for a desk whose far side runs the build's ks-capture
    // through `farTransport` (empty: the far side's default).
    std::map<std::string, std::string> DeskEnvironment(const std::string& farTransport) const;

private:
    TempDir dir;
    std::string why;
    int port = 0;
    pid_t pid = -1;
};
