#pragma once
// Which transport library the link loads. The program and ks-capture choose
// it the same way: `--transport NAME` on the command line, else KS_TRANSPORT
// in the environment, else (the window only) Transport= in the [Device]
// section of the settings file; NAME loads libCorvane-NAME.so from the
// program directory. Without a name the default libCorvane.so is loaded.
//
// A name is a plain word so that neither a command line nor an environment
// variable can make the program load a library from anywhere else.
#include <string>
#include <string_view>

struct TransportChoice {
    std::string name;        // empty: the default transport
    std::string libraryPath; // absolute; empty when refused
    std::string origin;      // where the name came from, for messages
    std::string error;       // why the choice was refused; empty when it stands
    bool Refused() const { return !error.empty(); }
};

// Letters, digits, '-' and '_' only, 1 to 64 characters.
bool IsPlainTransportName(std::string_view name);

// "libCorvane.so" for an empty name, else "libCorvane-NAME.so".
std::string TransportLibraryFile(std::string_view name);

// Picks the first name given (command line, environment, settings file; an
// empty value counts as not given) and checks it. `programDirectory` with or
// without its trailing separator. A plain name whose library is missing is
// refused too, naming the file looked for: falling back to the default would
// quietly show another source than the one asked for.
TransportChoice ChooseTransport(const std::string& programDirectory, const std::string* commandLineName,
                                const char* environmentName, const std::string& settingsName = {});

// Finds `--transport NAME` or `--transport=NAME` in argv-style arguments;
// true when present (`name` may then be empty: a missing value).
bool FindTransportArgument(int argc, const char* const* argv, std::string& name);

// The environment variable and settings key that name the transport.
inline constexpr const char* kTransportEnvironment = "KS_TRANSPORT";
inline constexpr const char* kTransportSection = "Device";
inline constexpr const char* kTransportKey = "Transport";
