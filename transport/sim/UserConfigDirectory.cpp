#include "UserConfigDirectory.h"

#include <cstdlib>

namespace sim {
namespace {

// "/a/b/" and "/a/b" name one folder; "/" is the root.
std::string Under(std::string base, const char* name)
{
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + "/" + name;
}

} // namespace

std::string UserConfigDirectory()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base
    // directory rules say.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return Under(xdg, "Kestrane");
    if (const char* home = std::getenv("HOME"); home && *home) return Under(Under(home, ".config"), "Kestrane");
    return {};
}

} // namespace sim
