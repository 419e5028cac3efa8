#pragma once
// The matches of a search in a loaded capture, as ks-convert prints them:
// one line per match in log order, or only their number.
#include "CFindEngine.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class CDisplayMode;
class CLines;
class OutputSink;

// "   LINE   ITEM  KIND      description": the display line (from 1), the
// item's place on it (from 1, as the program counts its items) and the
// matched bytes, the status change or the stamp.
// `lineBase`: lines dropped before the store's first (a capture walked in
// pieces).
std::string FindMatchLine(const CLines& lines, const FoundMatch& match, int lineBase = 0);

// Writes the matches (or, with `countOnly`, their number) and returns how
// many there were: the items HighLight All would mark a match of.
long long WriteFindMatches(CLines& lines, const CDisplayMode& mode, const FindQuery& query, bool countOnly,
                           OutputSink& out);

// A search over a capture walked in pieces (CaptureStream), with the results
// of WriteFindMatches over the whole file. Status and stamp matches are one
// item each and are written as their lines come. A data match is the
// characters of one direction spelling the pattern, whatever lies between
// them, so it may go on into lines not read yet: each direction keeps its
// last few characters, and a match found in one direction waits while the
// other direction still has an earlier start that might become a match.
class StreamingFind {
public:
    StreamingFind(const CDisplayMode& mode, const FindQuery& query, bool countOnly, OutputSink& out);

    // Searches store lines [first, end), display lines lineBase + first + 1 on.
    void Search(CLines& lines, int first, int end, int lineBase);
    // The file ended: what waits is written (or the count). Returns the
    // number of matches.
    long long Finish();

private:
    struct Place {
        int line = 0; // display line, from 0
        int item = 0;
        friend bool operator<(const Place& a, const Place& b)
        {
            return a.line != b.line ? a.line < b.line : a.item < b.item;
        }
    };
    struct Direction {
        std::vector<Place> places; // the last characters, oldest first (a ring)
        std::vector<uint8_t> characters;
        std::size_t head = 0;
        std::size_t size = 0;
        std::deque<Place> found; // matches not written yet, in log order
    };
    void AddCharacter(int direction, Place place, uint8_t character);
    // The earliest of a direction's last characters from which the pattern
    // could still be spelt; none (false) when there is none.
    bool EarliestOpenStart(const Direction& d, Place& place) const;
    void WriteReady(bool all);
    void WriteDataMatch(int direction, const Place& place);

    const CDisplayMode& mode;
    const FindQuery& query;
    bool countOnly;
    OutputSink& out;
    long long count = 0;
    std::array<Direction, 2> directions;
};
