#pragma once
// One data character as the frame decoders are fed it: the byte, its
// direction and error, the record it came from and the time it arrived.
#include <cstdint>

struct FrameChar {
    uint8_t byte = 0;
    uint8_t direction = 0; // 0 TXD, 1 RXD
    bool error = false;    // parity or framing error
    bool hasTime = false;
    int64_t timeMs = 0;    // elapsed since the capture began, from its stamps
    uint64_t record = 0;
    uint64_t index = 0; // the data character's place among all fed, from 0
};

// Where a frame of the characters `first` to `last` sits: its records, its
// characters, its direction and its times.
template <typename Frame> void SetFrameSpan(Frame& frame, const FrameChar& first, const FrameChar& last)
{
    frame.firstRecord = first.record;
    frame.lastRecord = last.record;
    frame.firstChar = first.index;
    frame.lastChar = last.index;
    frame.direction = first.direction;
    frame.hasTime = first.hasTime;
    frame.timeMs = first.timeMs;
    frame.endMs = last.timeMs;
}
