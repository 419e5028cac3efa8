#include "AvailableMemory.h"

#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace ks {

namespace {

// A "Key:   1234 kB" line of a /proc file, in bytes; false when absent.
bool ProcValue(const char* file, const std::string& key, std::uint64_t& bytes)
{
    std::ifstream in(file);
    std::string name;
    while (in >> name) {
        if (name == key) {
            std::uint64_t kib = 0;
            if (!(in >> kib)) return false;
            bytes = kib * 1024u;
            return true;
        }
        std::getline(in, name);
    }
    return false;
}

// One number from a file of its own ("max" and unreadable files: none).
bool FileNumber(const std::string& path, std::uint64_t& value)
{
    std::ifstream in(path);
    std::string text;
    if (!(in >> text) || text.empty() || text == "max") return false;
    std::istringstream number(text);
    return static_cast<bool>(number >> value);
}

// The cgroup (v2) this process belongs to, from /proc/self/cgroup ("0::/path").
std::string OwnCgroupFolder()
{
    std::ifstream in("/proc/self/cgroup");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("0::", 0) == 0) return "/sys/fs/cgroup" + line.substr(3);
    }
    return {};
}

void Bound(MemoryRoom& room, std::uint64_t bytes, const char* by)
{
    if (bytes < room.bytes) {
        room.bytes = bytes;
        room.boundBy = by;
    }
}

// What a limit leaves once `used` is taken; nothing for an unlimited one.
void LimitLeft(MemoryRoom& room, int resource, std::uint64_t used, const char* by)
{
    struct rlimit limit {};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return;
    const auto max = static_cast<std::uint64_t>(limit.rlim_cur);
    Bound(room, max > used ? max - used : 0, by);
}

} // namespace

MemoryRoom AvailableMemory()
{
    MemoryRoom room;
    std::uint64_t value = 0;
    if (ProcValue("/proc/meminfo", "MemAvailable:", value)) Bound(room, value, "the memory the system has available");
    // The address-space limit counts every mapping, the data limit the heap
    // and private mappings (what malloc takes).
    if (ProcValue("/proc/self/status", "VmSize:", value)) LimitLeft(room, RLIMIT_AS, value, "the address-space limit");
    if (ProcValue("/proc/self/status", "VmData:", value)) LimitLeft(room, RLIMIT_DATA, value, "the data-size limit");
    const std::string cgroup = OwnCgroupFolder();
    std::uint64_t max = 0, current = 0;
    if (!cgroup.empty() && FileNumber(cgroup + "/memory.max", max) && FileNumber(cgroup + "/memory.current", current))
        Bound(room, max > current ? max - current : 0, "the memory limit of the control group");
    return room;
}

std::string SizeText(std::uint64_t bytes)
{
    static const char* const kUnits[] = {"bytes", "KB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1000.0 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    if (unit == 0) std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else std::snprintf(text, sizeof text, value < 10.0 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
    return text;
}

} // namespace ks
