#pragma once
// The files beside the simulated probe's library that steer it while the
// program runs (shared with the ks-probe command).
namespace sim {
inline constexpr const char* kConfigFileName = "ks-sim-probe.conf";
inline constexpr const char* kUnpluggedFileName = "ks-sim-probe.unplugged";
} // namespace sim
