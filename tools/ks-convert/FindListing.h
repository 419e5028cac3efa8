#pragma once
// The matches of a search in a loaded capture, as ks-convert prints them:
// one line per match in log order, or only their number.
#include "CFindEngine.h"

#include <string>

class CDisplayMode;
class CLines;
class OutputSink;

// "   LINE   ITEM  KIND      description": the display line (from 1), the
// item's place on it (from 1, as the program counts its items) and the
// matched bytes, the status change or the stamp.
std::string FindMatchLine(const CLines& lines, const FoundMatch& match);

// Writes the matches (or, with `countOnly`, their number) and returns how
// many there were: the items HighLight All would mark a match of.
long long WriteFindMatches(CLines& lines, const CDisplayMode& mode, const FindQuery& query, bool countOnly,
                           OutputSink& out);
