#pragma once
// How the simulated probe is chosen, without recompiling.
//
// ks-sim-probe.conf holds optional "key = value" lines (scenario, seed,
// rate), beside the library and in the per-user folder (SimControlFiles.h);
// the per-user file overrides the other key by key, and the environment
// variables KS_SIM_SCENARIO, KS_SIM_SEED and KS_SIM_RATE override both. All
// are read again at every start request.
#include "Scenarios.h"
#include "SimControlFiles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct SimSettings {
    ScenarioKind scenario = ScenarioKind::Modem;
    uint64_t seed = 1;
    uint32_t rate = 0; // percent; 0: the scenario's own default
};

// Reads the configuration file in each of `directories` (those that have
// one), in order, and then the environment.
SimSettings LoadSettings(const std::vector<std::string>& directories, std::string& problems);

} // namespace sim
