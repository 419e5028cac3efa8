#include "ItemListing.h"

#include "OutputSink.h"
#include "CDataChar.h"
#include "CLines.h"
#include "CStamp.h"
#include "CStampTime.h"
#include "CStatus.h"
#include "CDisplayMode.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

namespace {

// The control lines in the order of the display rows, with their bits.
struct LineBit {
    const char* name;
    uint8_t bit;
};
constexpr std::array<LineBit, 5> kLineBits{{{"RTS", 0x08}, {"CTS", 0x10}, {"CD", 0x01}, {"DTR", 0x02}, {"DSR", 0x04}}};

constexpr std::array<const char*, 32> kControlNames{
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

const char* DirectionText(uint8_t flags) { return (flags & 0x08) ? "RXD" : "TXD"; }

// Error bit 0x10; the frame bit 0x02 tells framing from parity.
const char* ErrorText(uint8_t flags)
{
    if (!(flags & 0x10)) return "";
    return (flags & 0x02) ? "FRAMING" : "PARITY";
}

// A set bit is the inactive (low) level.
char LevelChar(uint8_t levels, uint8_t bit) { return (levels & bit) ? 'L' : 'H'; }

std::string ChangesText(uint8_t before, uint8_t after)
{
    std::string text;
    for (const auto& line : kLineBits) {
        const bool wasSet = before & line.bit, isSet = after & line.bit;
        if (wasSet == isSet) continue;
        if (!text.empty()) text += ' ';
        text += line.name;
        text += wasSet ? '+' : '-';
    }
    return text;
}

std::string HexText(uint8_t value)
{
    char buffer[4];
    std::snprintf(buffer, sizeof buffer, "%02X", value);
    return buffer;
}

// A field quoted when it holds a separator, a quote or a line break.
std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

const char* KindName(int kind)
{
    switch (kind) {
    case KIND_DATA: return "DATA";
    case KIND_STATUS: return "STATUS";
    case KIND_STAMP: return "STAMP";
    case KIND_STAMPTIME: return "DATETIME";
    default: return "";
    }
}

} // namespace

std::string CharacterName(uint8_t character)
{
    if (character < 0x20) return kControlNames[character];
    if (character == 0x20) return "SP";
    if (character == 0x7F) return "DEL";
    if (character > 0x7F) return ".";
    return std::string(1, static_cast<char>(character));
}

std::string LocalTimeText(int64_t seconds)
{
    // Stamps of one burst share their second: remember the last conversion.
    thread_local int64_t lastSeconds = -1;
    thread_local std::string lastText;
    if (seconds == lastSeconds && !lastText.empty()) return lastText;

    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    char buffer[64];
    if (localtime_r(&t, &local) == nullptr || std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local) == 0)
        std::snprintf(buffer, sizeof buffer, "@%lld", static_cast<long long>(seconds));
    lastSeconds = seconds;
    lastText = buffer;
    return lastText;
}

void ForEachItem(const CLines& lines, const std::function<void(const ItemRow&)>& visit)
{
    ForEachItem(lines, 0, lines.GetLineCount(), 0, visit);
}

void ForEachItem(const CLines& lines, int first, int end, int lineBase,
                 const std::function<void(const ItemRow&)>& visit)
{
    // Every line opens with the levels at its start, which set this afresh.
    uint8_t running = lines.GetCurrentStatus();
    for (int l = std::max(0, first); l < std::min(end, lines.GetLineCount()); ++l) {
        const CLineInfo* line = lines.GetLine(l);
        if (line == nullptr) continue;
        for (int i = 0; i < line->GetItemCount(); ++i) {
            const CShape* item = line->GetItem(i);
            if (item == nullptr) continue;
            ItemRow row;
            row.line = lineBase + l + 1;
            row.kind = item->GetKind();
            switch (row.kind) {
            case KIND_DATA: {
                const auto* data = static_cast<const CDataChar*>(item);
                row.character = data->Character();
                row.flags = data->Flags();
                break;
            }
            case KIND_STATUS: {
                const auto* status = static_cast<const CStatus*>(item);
                if (status->IsLineStart()) {
                    // The levels at the start of the line carry the log along.
                    running = status->New();
                    continue;
                }
                row.levels = status->New() & 0x1F;
                row.previousLevels = running & 0x1F;
                running = status->New();
                break;
            }
            case KIND_STAMP: {
                const auto* stamp = static_cast<const CStamp*>(item);
                row.elapsed = stamp->Elapsed();
                row.time = stamp->Time();
                break;
            }
            case KIND_STAMPTIME:
                row.time = static_cast<const CStampTime*>(item)->Time();
                break;
            default:
                continue;
            }
            visit(row);
        }
    }
}

std::string ListingLine(const ItemRow& row)
{
    char head[32];
    std::snprintf(head, sizeof head, "%7d  %-8s  ", row.line, KindName(row.kind));
    std::string text = head;
    switch (row.kind) {
    case KIND_DATA: {
        const char* error = ErrorText(row.flags);
        char body[64];
        std::snprintf(body, sizeof body, "%s  %02X  %-4s  %s", DirectionText(row.flags), row.character,
                      CharacterName(row.character).c_str(), *error ? error : "-");
        text += body;
        break;
    }
    case KIND_STATUS: {
        for (const auto& line : kLineBits) {
            text += line.name;
            text += '=';
            text += LevelChar(row.levels, line.bit);
            text += ' ';
        }
        const std::string changes = ChangesText(row.previousLevels, row.levels);
        text += ' ';
        text += changes.empty() ? "-" : changes;
        break;
    }
    case KIND_STAMP:
        text += std::to_string(row.elapsed) + " ms  " + LocalTimeText(row.time);
        break;
    case KIND_STAMPTIME:
        text += LocalTimeText(row.time);
        break;
    default:
        break;
    }
    return text;
}

std::string CsvHeaderLine()
{
    return "line,kind,direction,hex,char,error,rts,cts,cd,dtr,dsr,changes,elapsed_ms,time";
}

std::string CsvLine(const ItemRow& row)
{
    std::array<std::string, 14> fields;
    fields[0] = std::to_string(row.line);
    fields[1] = KindName(row.kind);
    switch (row.kind) {
    case KIND_DATA:
        fields[2] = DirectionText(row.flags);
        fields[3] = HexText(row.character);
        fields[4] = CsvField(CharacterName(row.character));
        fields[5] = ErrorText(row.flags);
        break;
    case KIND_STATUS:
        for (std::size_t i = 0; i < kLineBits.size(); ++i)
            fields[6 + i] = std::string(1, LevelChar(row.levels, kLineBits[i].bit));
        fields[11] = ChangesText(row.previousLevels, row.levels);
        break;
    case KIND_STAMP:
        fields[12] = std::to_string(row.elapsed);
        fields[13] = LocalTimeText(row.time);
        break;
    case KIND_STAMPTIME:
        fields[13] = LocalTimeText(row.time);
        break;
    default:
        break;
    }
    std::string line = fields[0];
    for (std::size_t i = 1; i < fields.size(); ++i) {
        line += ',';
        line += fields[i];
    }
    return line;
}

void WriteListingRows(const CLines& lines, int first, int end, int lineBase, OutputSink& out)
{
    ForEachItem(lines, first, end, lineBase, [&out](const ItemRow& row) { out.Line(ListingLine(row)); });
}

void WriteCsvRows(const CLines& lines, int first, int end, int lineBase, OutputSink& out)
{
    ForEachItem(lines, first, end, lineBase, [&out](const ItemRow& row) { out.Line(CsvLine(row)); });
}

void WriteListing(const CLines& lines, OutputSink& out)
{
    WriteListingRows(lines, 0, lines.GetLineCount(), 0, out);
}

void WriteCsv(const CLines& lines, OutputSink& out)
{
    out.Line(CsvHeaderLine());
    WriteCsvRows(lines, 0, lines.GetLineCount(), 0, out);
}

void WriteCounters(const CLines& lines, OutputSink& out)
{
    const Counters& counters = lines.GetCounters();
    for (std::size_t i = 0; i < counters.size(); ++i) {
        char text[32];
        std::snprintf(text, sizeof text, kCounterFormats[i], static_cast<unsigned>(counters[i]));
        out.Line(text);
    }
}

void WriteHeaderSettings(const CDisplayMode& mode, OutputSink& out)
{
    // The settings file's key names, in its order; cxLine is never read back
    // from a capture file, so it is not part of what the header says.
    const std::array<std::pair<const char*, int32_t>, 16> settings{{
        {"Data", mode.Data},
        {"DataMode", mode.DataMode},
        {"crDataTXD", mode.crDataTXD},
        {"crDataRXD", mode.crDataRXD},
        {"crSpecChar", mode.crSpecChar},
        {"Error", mode.Error},
        {"crErrFrame", mode.crErrFrame},
        {"crErrParity", mode.crErrParity},
        {"Status", mode.Status},
        {"Stamp", mode.Stamp},
        {"StampMode", mode.StampMode},
        {"DateTime", mode.DateTime},
        {"crStampFore", mode.crStampFore},
        {"crStampBack", mode.crStampBack},
        {"NoDisplay", mode.NoDisplay},
        {"crBkColor", mode.crBkColor},
    }};
    for (const auto& [key, value] : settings) out.Line(std::string(key) + "=" + std::to_string(value));
}
