#include "TapConfig.h"

#include "KeyValueText.h"

#include "UserConfigDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>


namespace tap {
namespace {

using sim::TrimBlanks;

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
    sim::ForEachKeyValue(text, origin + ": ", problems, [&](const std::string& key, const std::string& value) {
        Apply(c, key, value, origin, problems, fatal);
    });
}

TapConfig LoadConfig(const std::string& libraryDirectory, std::string& problems, bool& fatal)
{
    TapConfig c;
    ReadFile(libraryDirectory + "/" + kConfigFileName, c, problems, fatal);
    const std::string user = sim::UserConfigDirectory();
    if (!user.empty() && user != libraryDirectory) ReadFile(user + "/" + kConfigFileName, c, problems, fatal);
    for (const char* key : {"KS_TAP_TXD", "KS_TAP_RXD", "KS_TAP_LINES", "KS_TAP_HOLD_MS"}) {
        if (const char* v = std::getenv(key); v && *v) Apply(c, key, TrimBlanks(v), "environment", problems, fatal);
    }
    return c;
}

} // namespace tap
