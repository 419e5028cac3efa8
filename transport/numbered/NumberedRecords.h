/*
 * NumberedRecords.h - what the numbered test transport streams, and how a
 * test follows it.
 *
 * Between the start and stop requests the transport streams data records at
 * a steady rate; record k (from 0, counting on over every start of one open
 * pipe) is the character k & 0xFF with b0 = 0x20 | ((k >> 8) & 0x1F), so
 * that the records of a capture file name their numbers modulo 8192 and any
 * loss, repeat or reordering shows.
 *
 * Environment:
 *   KS_NUMBERED_RATE  records per second (default 46080, the full rate of
 *                     230400 baud in both directions)
 *   KS_NUMBERED_LOG   a file to which the transport appends, every 100 ms
 *                     while it streams, a line "<ms> <taken>": the time on
 *                     the system's monotonic clock in milliseconds and how
 *                     many records the program has read from the pipe by
 *                     then. A test that kills the program knows from it
 *                     what had arrived at any moment before the kill.
 */
#ifndef KS_NUMBERED_RECORDS_H
#define KS_NUMBERED_RECORDS_H

#include <stdint.h>

#define KS_NUMBERED_MODULUS 8192u

static inline uint8_t NumberedB0(uint32_t k) { return (uint8_t)(0x20u | ((k >> 8) & 0x1Fu)); }
static inline uint8_t NumberedB1(uint32_t k) { return (uint8_t)(k & 0xFFu); }
/* The number (modulo 8192) a record carries, or -1 when it is not one of them. */
static inline int NumberedValue(uint8_t b0, uint8_t b1)
{
    if ((b0 & 0xE0u) != 0x20u) return -1;
    return (int)(((uint32_t)(b0 & 0x1Fu) << 8) | b1);
}

#endif /* KS_NUMBERED_RECORDS_H */
