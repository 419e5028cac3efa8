#include "SeriesNames.h"

#include <cstdio>

namespace series {

std::string WithSeparator(const std::string& directory)
{
    if (!directory.empty() && directory.back() == '/') return directory;
    return directory + '/';
}

std::string BaseName(const std::string& directory, const std::string& fileName)
{
    return WithSeparator(directory) + fileName;
}

std::string FileName(const std::string& base, uint32_t number, uint32_t maxFileNumber)
{
    if (maxFileNumber <= 1) return base + kExtension;
    char digits[16];
    std::snprintf(digits, sizeof digits, "_%06u", static_cast<unsigned>(number % (kMaxFileNumber + 1)));
    return base + digits + kExtension;
}

std::string DirectoryOf(const std::string& base)
{
    const std::size_t slash = base.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return base.substr(0, slash);
}

} // namespace series
