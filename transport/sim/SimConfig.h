#pragma once
// How the simulated probe is chosen and plugged, without recompiling.
//
// Beside the library (its own directory, normally the program directory):
//   ks-sim-probe.conf       optional "key = value" lines: scenario, seed, rate
//   ks-sim-probe.unplugged  while this file exists the probe is pulled out
// Environment variables KS_SIM_SCENARIO, KS_SIM_SEED and KS_SIM_RATE override
// the file. Both are read again at every start request.
#include "Scenarios.h"
#include "SimControlFiles.h"

#include <cstdint>
#include <string>

namespace sim {

struct SimSettings {
    ScenarioKind scenario = ScenarioKind::Modem;
    uint64_t seed = 1;
    uint32_t rate = 0; // percent; 0: the scenario's own default
};

// Parses the configuration text and then the environment; unknown keys and
// bad values are named in `problems` and leave the default in place.
SimSettings ParseSettings(const std::string& configText, std::string& problems);

// Reads the configuration file in `directory` (if any) and the environment.
SimSettings LoadSettings(const std::string& directory, std::string& problems);

// The directory holding this library, with no trailing separator.
std::string LibraryDirectory();

bool IsUnplugged(const std::string& directory);

} // namespace sim
