#pragma once
// What a capture costs in memory once it is in the line store, so that a file
// too large for the memory there is can be refused before it is loaded
// rather than ending the program half-way through.
//
// kStoreBytesPerRecord is what ks-bench-lines measures as resident memory per
// stored record, item slots and line overhead all counted (4.2 to 5.5 bytes
// today), with room to spare for short lines and the arena's last block.
#include <cstdint>

// The bytes of memory one record of a capture file costs in the line store.
inline constexpr std::uint64_t kStoreBytesPerRecord = 8;

// Memory the line store needs for a record area of `bodyBytes` bytes. A record
// is two bytes; a record of an old ".df" file can give a status change as well
// as its character, so it counts twice.
inline constexpr std::uint64_t StoreBytesForBody(std::uint64_t bodyBytes, bool oldType)
{
    const std::uint64_t records = bodyBytes / 2;
    return records * kStoreBytesPerRecord * (oldType ? 2u : 1u);
}
