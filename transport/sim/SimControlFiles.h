#pragma once
// The files that steer the simulated probe while the program runs, shared by
// the probe's library, the ks-probe command and the program's notice source.
//
// They are looked for in two folders: beside the probe's library (a build
// tree, or a folder the user owns) and in the per-user configuration folder
// (UserConfigDirectory.h), because an installed library's folder belongs to
// root and a user can write nothing there.
//   ks-sim-probe.conf       settings; the per-user file overrides the one
//                           beside the library key by key
//   ks-sim-probe.unplugged  the probe is pulled out while this file exists
//                           in either folder
#include <string>
#include <vector>

namespace sim {

inline constexpr const char* kConfigFileName = "ks-sim-probe.conf";
inline constexpr const char* kUnpluggedFileName = "ks-sim-probe.unplugged";

// The folders whose control files count, in rising order of precedence: the
// library's folder, then `userDirectory` unless it is empty or names the same
// folder. Trailing separators are dropped.
std::vector<std::string> ControlDirectories(const std::string& libraryDirectory, const std::string& userDirectory);

// `directory`/`name`.
std::string ControlFile(const std::string& directory, const char* name);

// Whether the marker exists in `directory` (as anything: a pull is a pull).
bool MarkerIn(const std::string& directory);
// The markers that exist in `directories`, as paths.
std::vector<std::string> MarkersIn(const std::vector<std::string>& directories);

// Makes `directory` and every missing folder above it, each new one private
// to the user (as per-user configuration folders are made). True when it is
// a folder afterwards; otherwise `error` says why.
bool MakeDirectories(const std::string& directory, std::string& error);

} // namespace sim
