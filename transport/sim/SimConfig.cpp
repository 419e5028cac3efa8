#include "SimConfig.h"

#include "KeyValueText.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sim {
namespace {

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t& value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v > max) return false;
    value = v;
    return true;
}

void Apply(SimSettings& s, const std::string& key, const std::string& value, std::string& problems)
{
    if (key == "scenario") {
        if (!ParseScenario(value, s.scenario)) problems += "unknown scenario '" + value + "'; ";
    } else if (key == "seed") {
        if (!ParseUnsigned(value, UINT64_MAX, s.seed)) problems += "bad seed '" + value + "'; ";
    } else if (key == "rate") {
        uint64_t rate = 0;
        if (ParseUnsigned(value, 1000, rate) && rate >= 1) s.rate = static_cast<uint32_t>(rate);
        else problems += "bad rate '" + value + "' (1..1000); ";
    } else {
        problems += "unknown key '" + key + "'; ";
    }
}

void ApplyConfigText(const std::string& configText, const std::string& origin, SimSettings& s, std::string& problems)
{
    std::string lineProblems;
    ForEachKeyValue(configText, {}, lineProblems,
                    [&](const std::string& key, const std::string& value) { Apply(s, key, value, lineProblems); });
    // With two files, which one is wrong matters.
    if (!lineProblems.empty()) problems += origin + ": " + lineProblems;
}

void ApplyEnvironment(SimSettings& s, std::string& problems)
{
    static constexpr const char* kEnv[3][2] = {
        {"KS_SIM_SCENARIO", "scenario"}, {"KS_SIM_SEED", "seed"}, {"KS_SIM_RATE", "rate"}};
    for (const auto& e : kEnv) {
        if (const char* v = std::getenv(e[0]); v && *v) Apply(s, e[1], TrimBlanks(v), problems);
    }
}

} // namespace

SimSettings LoadSettings(const std::vector<std::string>& directories, std::string& problems)
{
    SimSettings s;
    for (const std::string& dir : directories) {
        const std::string path = ControlFile(dir, kConfigFileName);
        std::ifstream in(path);
        if (!in) continue;
        std::ostringstream text;
        text << in.rdbuf();
        ApplyConfigText(text.str(), path, s, problems);
    }
    ApplyEnvironment(s, problems);
    return s;
}

} // namespace sim
