#pragma once
// Where the tap listens: the two serial devices, the control-line wiring and
// the hold-back window, read afresh at every open from, in rising order of
// precedence,
//   ks-tap.conf beside the program (the library's own directory),
//   ks-tap.conf in the per-user configuration directory
//     ($XDG_CONFIG_HOME/Kestrane, else ~/.config/Kestrane),
//   the environment,
// each as the keys KS_TAP_TXD, KS_TAP_RXD, KS_TAP_LINES and KS_TAP_HOLD_MS
// (in the files as "KEY = value" lines, '#' starting a comment).
#include "TapWiring.h"

#include <string>
#include <vector>

namespace tap {

struct TapConfig {
    std::string device[kPortCount]; // the TXD port and the RXD port
    TapWiring wiring = TapWiring::Default();
    // How far the two ports' records may be reordered after their reads:
    // records wait this long for the other port before they go out.
    int holdMs = 0;
    // The files that were read, for messages.
    std::vector<std::string> sources;
};

inline constexpr const char* kConfigFileName = "ks-tap.conf";

// Parses one file's text into `config`; unknown keys and bad values are
// named in `problems` (a bad wiring or hold is also an error: `fatal`).
void ParseConfigText(const std::string& text, const std::string& origin, TapConfig& config,
                     std::string& problems, bool& fatal);

// The files and the environment, as above. `libraryDirectory` without a
// trailing separator.
TapConfig LoadConfig(const std::string& libraryDirectory, std::string& problems, bool& fatal);

} // namespace tap
