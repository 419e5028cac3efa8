#pragma once
// Which far machine the remote transport watches, read afresh at every open
// from, in rising order of precedence,
//   ks-remote.conf beside the program (the library's own directory),
//   ks-remote.conf in the per-user configuration directory
//     ($XDG_CONFIG_HOME/Kestrane, else ~/.config/Kestrane),
//   the environment,
// each as the keys below (in the files as "KEY = value" lines, '#' starting a
// comment).
#include <string>
#include <vector>

namespace remote {

struct RemoteConfig {
    std::string host;               // KS_REMOTE_HOST: [user@]host as ssh takes it
    std::string transport;          // KS_REMOTE_TRANSPORT: the far side's transport name
    std::string command = "ks-capture"; // KS_REMOTE_COMMAND: the far program
    std::string sshOptions;         // KS_REMOTE_SSH_OPTIONS: words passed to ssh before the host
    std::vector<std::string> sources; // the files that were read, for messages
};

inline constexpr const char* kConfigFileName = "ks-remote.conf";

// Parses one file's text into `config`; unknown keys and lines without '='
// are named in `problems`.
void ParseConfigText(const std::string& text, const std::string& origin, RemoteConfig& config, std::string& problems);

// The files and the environment, as above. `libraryDirectory` without a
// trailing separator.
RemoteConfig LoadConfig(const std::string& libraryDirectory, std::string& problems);

} // namespace remote
