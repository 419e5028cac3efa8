#pragma once
// Calendar times (seconds since 1970, UTC) shown to the user in local time.
#include <cstdint>

struct LocalDateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

LocalDateTime ToLocal(int64_t seconds);
