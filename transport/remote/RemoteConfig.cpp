#include "RemoteConfig.h"

#include "UserConfigDirectory.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace remote {
namespace {

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

constexpr const char* kKeys[] = {"KS_REMOTE_HOST", "KS_REMOTE_TRANSPORT", "KS_REMOTE_COMMAND", "KS_REMOTE_SSH_OPTIONS"};

void Apply(RemoteConfig& c, const std::string& key, const std::string& value, const std::string& origin,
           std::string& problems)
{
    if (key == kKeys[0]) c.host = value;
    else if (key == kKeys[1]) c.transport = value;
    else if (key == kKeys[2]) c.command = value.empty() ? std::string("ks-capture") : value;
    else if (key == kKeys[3]) c.sshOptions = value;
    else problems += origin + ": unknown key '" + key + "' ignored; ";
}

void ReadFile(const std::string& path, RemoteConfig& c, std::string& problems)
{
    std::ifstream in(path);
    if (!in) return;
    std::ostringstream text;
    text << in.rdbuf();
    c.sources.push_back(path);
    ParseConfigText(text.str(), path, c, problems);
}

} // namespace

void ParseConfigText(const std::string& text, const std::string& origin, RemoteConfig& c, std::string& problems)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        line = Trim(line);
        if (line.empty()) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            problems += origin + ": no '=' in '" + line + "'; ";
            continue;
        }
        Apply(c, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), origin, problems);
    }
}

RemoteConfig LoadConfig(const std::string& libraryDirectory, std::string& problems)
{
    RemoteConfig c;
    ReadFile(libraryDirectory + "/" + kConfigFileName, c, problems);
    const std::string user = sim::UserConfigDirectory();
    if (!user.empty() && user != libraryDirectory) ReadFile(user + "/" + kConfigFileName, c, problems);
    for (const char* key : kKeys) {
        if (const char* v = std::getenv(key); v && *v) Apply(c, key, Trim(v), "environment", problems);
    }
    return c;
}

} // namespace remote
