#include "SshCommand.h"

#include <sstream>

namespace remote {

std::string ShellQuote(const std::string& word)
{
    std::string out = "'";
    for (const char c : word) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

bool SshArguments(const RemoteConfig& config, std::vector<std::string>& argv, std::string& error)
{
    const std::string& host = config.host;
    if (host.empty()) {
        error = "name the far machine: KS_REMOTE_HOST=user@host, in the environment or in " +
                std::string(kConfigFileName) + " beside the program or in ~/.config/Kestrane/";
        return false;
    }
    // A host that starts with '-' would be an option; blanks and control
    // characters belong in no host name.
    for (const char c : host) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) {
            error = "KS_REMOTE_HOST '" + host + "' holds a blank or a control character";
            return false;
        }
    }
    if (host[0] == '-') {
        error = "KS_REMOTE_HOST '" + host + "' is no host name";
        return false;
    }
    for (const char c : config.command) {
        if (c == '\n' || c == '\r' || c == '\0') {
            error = "KS_REMOTE_COMMAND holds a line break";
            return false;
        }
    }
    // BatchMode first: ssh keeps the first value of an option, so no option of
    // the user's can make it prompt inside the program.
    argv = {"ssh", "-o", "BatchMode=yes"};
    std::istringstream words(config.sshOptions);
    for (std::string word; words >> word;) argv.push_back(word);
    // Defaults the user's options may override: give up on a host that does
    // not answer, and notice a connection that died without a word.
    for (const char* option : {"ConnectTimeout=10", "ServerAliveInterval=5", "ServerAliveCountMax=3"}) {
        argv.push_back("-o");
        argv.push_back(option);
    }
    // No terminal, no X11 or agent forwarding: the far side only streams.
    argv.insert(argv.end(), {"-T", "-x", "-a", "--", host, ShellQuote(config.command) + " --serve"});
    return true;
}

} // namespace remote
