#include "TapConfig.h"

#include "UserConfigDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>


namespace tap {
namespace {

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

void Apply(TapConfig& c, const std::string& key, const std::string& value, const std::string& origin,
           std::string& problems, bool& fatal)
{
    if (key == "KS_TAP_TXD") {
        c.device[kTxdPort] = value;
    } else if (key == "KS_TAP_RXD") {
        c.device[kRxdPort] = value;
    } else if (key == "KS_TAP_LINES") {
        std::string error;
        if (!c.wiring.Parse(value, error)) {
            problems += origin + ": KS_TAP_LINES: " + error + "; ";
            fatal = true;
        }
    } else if (key == "KS_TAP_HOLD_MS") {
        errno = 0;
        char* end = nullptr;
        const long v = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || errno != 0 || *end != '\0' || v < 0 || v > 1000) {
            problems += origin + ": KS_TAP_HOLD_MS '" + value + "' is not 0..1000; ";
            fatal = true;
        } else {
            c.holdMs = static_cast<int>(v);
        }
    } else {
        problems += origin + ": unknown key '" + key + "' ignored; ";
    }
}

void ReadFile(const std::string& path, TapConfig& c, std::string& problems, bool& fatal)
{
    std::ifstream in(path);
    if (!in) return;
    std::ostringstream text;
    text << in.rdbuf();
    c.sources.push_back(path);
    ParseConfigText(text.str(), path, c, problems, fatal);
}

} // namespace

void ParseConfigText(const std::string& text, const std::string& origin, TapConfig& c, std::string& problems,
                     bool& fatal)
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
        Apply(c, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), origin, problems, fatal);
    }
}

TapConfig LoadConfig(const std::string& libraryDirectory, std::string& problems, bool& fatal)
{
    TapConfig c;
    ReadFile(libraryDirectory + "/" + kConfigFileName, c, problems, fatal);
    const std::string user = sim::UserConfigDirectory();
    if (!user.empty() && user != libraryDirectory) ReadFile(user + "/" + kConfigFileName, c, problems, fatal);
    for (const char* key : {"KS_TAP_TXD", "KS_TAP_RXD", "KS_TAP_LINES", "KS_TAP_HOLD_MS"}) {
        if (const char* v = std::getenv(key); v && *v) Apply(c, key, Trim(v), "environment", problems, fatal);
    }
    return c;
}

} // namespace tap
