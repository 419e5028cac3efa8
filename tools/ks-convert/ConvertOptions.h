#pragma once
// The command line of ks-convert: one output form, the layout width and the
// files to convert.
#include "DecodeSettings.h"
#include "FindArguments.h"

#include <string>
#include <vector>

enum class OutputForm { Listing, Csv, Counters, Header, Find, Decode };

struct ConvertOptions {
    // The width a display line gets when no window gives one: the program's
    // default window leaves 770 pixels for the log.
    static constexpr int kDefaultLineWidth = 770;
    // Wide enough for any screen, small enough that a line's pixel sum
    // cannot overflow.
    static constexpr int kMaxLineWidth = 1000000;

    OutputForm form = OutputForm::Listing;
    int lineWidth = kDefaultLineWidth;
    // The search of the Find form: what was given and the query it makes.
    FindForm find = FindForm::None;
    std::string findArgument;
    std::string direction = "both";
    bool directionGiven = false;
    bool count = false;
    FindQuery query;
    // The Decode form: the frames of a protocol, listed, as CSV (--csv) or
    // counted (--count).
    DecodeSettings decode;
    bool masterGiven = false;
    bool decodeCsv = false;

    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

struct ParseResult {
    ConvertOptions options;
    std::string error; // empty when the command line is usable
};

// Parses the arguments after the program name.
ParseResult ParseArguments(const std::vector<std::string>& args);

// The --help text, which also documents the output formats.
std::string UsageText();
