#pragma once
// Program-wide paths, computed once at start-up: the program directory (the
// running executable's directory with its trailing separator) and the settings
// file path.
#include <string>

namespace ks {

// Computes both values from the running executable. Call once, after the
// QCoreApplication exists. When the program directory is not writable, the
// settings file moves to the per-user configuration directory.
void InitProgramPaths();

// For tools and tests that keep their settings elsewhere.
void SetProgramPathsForTesting(const std::string& programDirectory, const std::string& settingsFile);

const std::string& ProgramDirectory();
const std::string& SettingsFilePath();

// The name of the settings file beside the program.
inline constexpr const char* kSettingsFileName = "ks-settings.ini";

} // namespace ks
