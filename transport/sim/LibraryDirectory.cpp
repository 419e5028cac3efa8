#include "LibraryDirectory.h"

#include <dlfcn.h>

namespace sim {

std::string LibraryDirectory()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&LibraryDirectory), &info) == 0 || !info.dli_fname) return ".";
    const std::string path = info.dli_fname;
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace sim
