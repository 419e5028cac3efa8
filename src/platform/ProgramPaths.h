#pragma once
// Program-wide paths, computed once at start-up: the program directory (the
// running executable's directory with its trailing separator), the settings
// file path and the per-user data directory.
#include <string>

namespace ks {

// Computes the values from the running executable. Call once, after the
// QCoreApplication exists. When a settings write beside the program cannot
// succeed, the settings file moves to the per-user configuration directory.
void InitProgramPaths();

// For tools and tests that keep their settings elsewhere. An empty
// `dataDirectory` means the per-user one.
void SetProgramPathsForTesting(const std::string& programDirectory, const std::string& settingsFile,
                               const std::string& dataDirectory = {});

const std::string& ProgramDirectory();
const std::string& SettingsFilePath();
// Where the program keeps files of its own for this user (the recovered
// capture), with its trailing separator; made unless `create` is false.
std::string PerUserDataDirectory(bool create = true);

// The settings file for a program in `programDirectory`: the one beside the
// program when a write there can succeed (the folder takes a new file and an
// existing file can be read whole, which a write must do first), otherwise
// the one in `perUserDirectory`. Both directories end with a separator.
std::string ChooseSettingsFile(const std::string& programDirectory, const std::string& perUserDirectory);

// The name of the settings file beside the program.
inline constexpr const char* kSettingsFileName = "ks-settings.ini";

} // namespace ks
