#pragma once
// The host's monotonic clock in nanoseconds: arrival times of characters and
// control-line changes, and the ticks made from them.
#include <cstdint>
#include <ctime>

namespace tap {

inline int64_t MonotonicNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace tap
