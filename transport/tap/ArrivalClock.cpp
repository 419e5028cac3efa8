#include "ArrivalClock.h"

#include <algorithm>

namespace tap {

void ArrivalClock::Start(int64_t t)
{
    lastEmpty = t;
    lastAssigned = t;
    streaming = false;
}

void ArrivalClock::Empty(int64_t t, bool quiet)
{
    lastEmpty = std::max(lastEmpty, t);
    if (quiet) streaming = false;
}

void ArrivalClock::Date(std::size_t count, int64_t readAt, int64_t charNs, int64_t holdNs, int64_t* times)
{
    if (count == 0) return;
    const int64_t earliest = lastEmpty - holdNs;
    int64_t previous = std::max(lastAssigned, earliest - charNs);
    for (std::size_t i = 0; i < count; ++i) {
        int64_t t = streaming ? previous + charNs : readAt - static_cast<int64_t>(count - 1 - i) * charNs;
        t = std::min(std::max({t, earliest, previous}), readAt);
        times[i] = previous = t;
    }
    lastAssigned = previous;
    // The stream runs on only if its characters reach up to the read; a
    // stream that ended before it starts afresh with its next character.
    streaming = readAt - previous <= 2 * charNs;
}

} // namespace tap
