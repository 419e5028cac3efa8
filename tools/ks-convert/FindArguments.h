#pragma once
// The search forms of the command line: the target as given after
// --find-text, --find-hex, --find-status or --find-stamp, with --dir, turned
// into the query the program's Find dialog would build.
#include "FindQuery.h"

#include <string>

enum class FindForm { None, Text, Hex, Status, Stamp };

// Fills `query` from the option's argument; false with `error` set when the
// argument cannot be searched for. `direction` is "txd", "rxd" or "both".
bool ParseFindArguments(FindForm form, const std::string& argument, const std::string& direction, FindQuery& query,
                        std::string& error);

// "RTS=rise,CTS=high": lines RTS, CTS, DTR, DSR, CD (any case), values low,
// high, rise, fall, change; each line at most once, at least one.
bool ParseStatusConditions(const std::string& text, FindQuery& query, std::string& error);

// ">2s", "=1500ms", "<3min", ">1h": a comparison, an unsigned 32-bit number
// and a unit.
bool ParseStampCondition(const std::string& text, FindQuery& query, std::string& error);
