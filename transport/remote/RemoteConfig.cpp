#include "RemoteConfig.h"

#include "KeyValueText.h"

#include "UserConfigDirectory.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace remote {
namespace {


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
    sim::ForEachKeyValue(text, origin + ": ", problems, [&](const std::string& key, const std::string& value) {
        Apply(c, key, value, origin, problems);
    });
}

RemoteConfig LoadConfig(const std::string& libraryDirectory, std::string& problems)
{
    RemoteConfig c;
    ReadFile(libraryDirectory + "/" + kConfigFileName, c, problems);
    const std::string user = sim::UserConfigDirectory();
    if (!user.empty() && user != libraryDirectory) ReadFile(user + "/" + kConfigFileName, c, problems);
    for (const char* key : kKeys) {
        if (const char* v = std::getenv(key); v && *v) Apply(c, key, sim::TrimBlanks(v), "environment", problems);
    }
    return c;
}

} // namespace remote
