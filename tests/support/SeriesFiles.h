#pragma once
// Reading back what a series wrote. Each file is opened twice: with the
// program's own reader (header check and line store, as Open does), and by a
// plain walk of the stored-stream layout that keeps every group as it is, so
// that the tests see marks, copied line states and stamps exactly where they
// are.
#include "CDisplayMode.h"

#include <cstdint>
#include <string>
#include <vector>

struct SeriesToken {
    enum Kind { Data, Status, Stamp, Mark } kind;
    uint8_t b0 = 0, b1 = 0; // Data and Status
    uint32_t value = 0;     // Stamp: milliseconds; Mark: time
    uint32_t time = 0;      // Stamp: time

    bool IsData() const { return kind == Data; }
};

struct SeriesFileContent {
    bool opened = false;              // the program's reader took header and body
    CDisplayMode mode;                // as the header says
    std::vector<uint8_t> body;        // the bytes after the header
    std::vector<SeriesToken> tokens;  // the layout walk of the body
    // Data characters as the program's reader placed them in its line store:
    // (flags << 8) | character, in order.
    std::vector<uint16_t> readerData;
};

SeriesFileContent ReadSeriesFile(const std::string& path);

// Data records of a token list as (b0 << 8) | b1.
std::vector<uint16_t> DataOf(const std::vector<SeriesToken>& tokens);

// Numbered data records: record k is a character k & 0xFF, TXD for even k and
// RXD for odd k, carrying (k >> 8) & 1 in bit 2 of b0 (carried unchanged), so
// that any loss, repeat or reordering within 512 records shows.
std::vector<uint8_t> NumberedData(uint32_t first, uint32_t count);
// The same records as (b0 << 8) | b1.
std::vector<uint16_t> NumberedWords(uint32_t first, uint32_t count);

// A live tick record of `ms` (1..8192).
std::vector<uint8_t> Tick(uint32_t ms);

// Follows the simulated probe's numbered full-rate traffic (pair k: a TXD
// character with the low byte of k, then an RXD character with the next
// byte) through the data records of one file after another.
class PairChecker {
public:
    explicit PairChecker(uint64_t first = 0) : next(first) {}
    // Takes its first pair number from the first whole pair it meets (the
    // numbers then count modulo 65536, as the records carry them).
    static PairChecker Synchronising()
    {
        PairChecker c;
        c.synchronising = true;
        return c;
    }
    // False at the first record that does not continue the numbering.
    bool Take(const std::vector<SeriesToken>& tokens);
    uint64_t Next() const { return next; }
    const std::string& Problem() const { return problem; }

private:
    uint64_t next;
    bool synchronising = false;
    bool haveLow = false;
    uint8_t low = 0;
    std::string problem;
};
