#pragma once
// What a capture costs in memory once it is in the line store, so that a file
// too large for the memory there is can be refused before it is loaded
// rather than ending the program half-way through.
//
// kStoreBytesPerRecord is what ks-bench-lines measures as resident memory per
// stored record, items, pointers and line overhead all counted (about 27
// bytes today), with a little to spare.
#include <cstdint>

// The bytes of memory one record of a capture file costs in the line store.
inline constexpr std::uint64_t kStoreBytesPerRecord = 28;

// Memory the line store needs for a record area of `bodyBytes` bytes. A record
// is two bytes; a record of an old ".df" file can give a status change as well
// as its character, so it counts twice.
inline constexpr std::uint64_t StoreBytesForBody(std::uint64_t bodyBytes, bool oldType)
{
    const std::uint64_t records = bodyBytes / 2;
    return records * kStoreBytesPerRecord * (oldType ? 2u : 1u);
}
