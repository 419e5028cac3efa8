#pragma once
// The text forms of a loaded capture: the item listing, its CSV twin, the
// count-bar texts and the header's display settings.
#include <cstdint>
#include <functional>
#include <string>

class CDisplayMode;
class CLines;
class OutputSink;

// One listed display item, flattened for formatting.
struct ItemRow {
    int line = 0;              // display line number, from 1
    int kind = 0;              // KIND_DATA, KIND_STATUS, KIND_STAMP or KIND_STAMPTIME
    uint8_t character = 0;     // data
    uint8_t flags = 0;         // data: the record's b0
    uint8_t levels = 0;        // status: line bits after the change
    uint8_t previousLevels = 0; // status: line bits before it
    uint32_t elapsed = 0;      // stamp
    int64_t time = 0;          // stamp and date-time
};

// Calls `visit` for every item in log order, leaving out the zero-width
// markers that open each line. The levels before a status change are the
// running levels of the log (those the counters use), not the item's own
// previous byte, which the first change of a file does not carry.
void ForEachItem(const CLines& lines, const std::function<void(const ItemRow&)>& visit);
// The same for store lines [first, end), numbered as display lines
// lineBase + 1 on (a capture walked in pieces, CaptureStream).
void ForEachItem(const CLines& lines, int first, int end, int lineBase,
                 const std::function<void(const ItemRow&)>& visit);

std::string ListingLine(const ItemRow& row);
std::string CsvHeaderLine();
std::string CsvLine(const ItemRow& row);

// SP, control names, DEL, the character itself, or "." from 0x80 up.
std::string CharacterName(uint8_t character);
// "2024-05-01 12:00:00" in local time.
std::string LocalTimeText(int64_t seconds);

// The listing's and the CSV's rows of store lines [first, end) (see above).
void WriteListingRows(const CLines& lines, int first, int end, int lineBase, OutputSink& out);
void WriteCsvRows(const CLines& lines, int first, int end, int lineBase, OutputSink& out);

void WriteListing(const CLines& lines, OutputSink& out);
void WriteCsv(const CLines& lines, OutputSink& out);
void WriteCounters(const CLines& lines, OutputSink& out);
void WriteHeaderSettings(const CDisplayMode& mode, OutputSink& out);
