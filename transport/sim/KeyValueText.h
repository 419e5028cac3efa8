#pragma once
// The transports' settings files: "KEY = value" lines, '#' starting a
// comment, blanks around keys and values ignored. Shared by the simulated
// probe, the serial tap and the remote transport, which each know their own
// keys.
#include <sstream>
#include <string>

namespace sim {

inline std::string TrimBlanks(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// Calls apply(key, value) for each setting line of `text`; a line without
// '=' is named in `problems` as `prefix` "no '=' in '...'; ".
template <typename Apply>
void ForEachKeyValue(const std::string& text, const std::string& prefix, std::string& problems, Apply apply)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        line = TrimBlanks(line);
        if (line.empty()) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            problems += prefix + "no '=' in '" + line + "'; ";
            continue;
        }
        apply(TrimBlanks(line.substr(0, eq)), TrimBlanks(line.substr(eq + 1)));
    }
}

} // namespace sim
