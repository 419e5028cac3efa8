#pragma once
// How much more memory this process may take: the least of what the system
// has available (MemAvailable), what the address-space and data limits of
// the process still leave (RLIMIT_AS, RLIMIT_DATA) and what its control
// group still allows. Read fresh at every call; a source that cannot be read
// sets no bound.
#include <cstdint>
#include <string>

namespace ks {

struct MemoryRoom {
    std::uint64_t bytes = UINT64_MAX; // UINT64_MAX: no bound found
    std::string boundBy;              // what sets the bound ("available memory", "address-space limit", ...)
};

MemoryRoom AvailableMemory();

// "330 MB", "5.2 GB", "812 KB": a size for messages, in powers of 1000.
std::string SizeText(std::uint64_t bytes);

} // namespace ks
