#include "FindArguments.h"

#include "FindText.h"

#include <QString>

#include <array>
#include <cctype>
#include <cstdint>

namespace {

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool ParseDirection(const std::string& text, int& filter)
{
    const std::string d = Lower(text);
    if (d == "txd") filter = FIND_TXD;
    else if (d == "rxd") filter = FIND_RXD;
    else if (d == "both") filter = FIND_BOTH;
    else return false;
    return true;
}

} // namespace

bool ParseStatusConditions(const std::string& text, FindQuery& query, std::string& error)
{
    static constexpr std::array<std::pair<const char*, int>, kConditionSlots> kLines{
        {{"rts", SLOT_RTS}, {"cts", SLOT_CTS}, {"dtr", SLOT_DTR}, {"dsr", SLOT_DSR}, {"cd", SLOT_CD}}};
    static constexpr std::array<std::pair<const char*, int>, 5> kValues{
        {{"low", COND_LOW}, {"high", COND_HIGH}, {"rise", COND_RISE}, {"fall", COND_FALL}, {"change", COND_CHANGE}}};
    query.page = FIND_STATUS;
    query.conditions.fill(COND_ANY);
    bool any = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string part = Trimmed(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        start = comma == std::string::npos ? text.size() + 1 : comma + 1;
        if (part.empty() && comma == std::string::npos && any) break;
        const std::size_t eq = part.find('=');
        if (eq == std::string::npos) {
            error = "--find-status takes LINE=VALUE pairs such as RTS=rise,CTS=high, not '" + part + "'";
            return false;
        }
        const std::string name = Lower(Trimmed(part.substr(0, eq)));
        const std::string value = Lower(Trimmed(part.substr(eq + 1)));
        int slot = -1;
        for (const auto& [n, s] : kLines)
            if (name == n) slot = s;
        if (slot < 0) {
            error = "--find-status: no control line '" + part.substr(0, eq) + "' (RTS, CTS, DTR, DSR or CD)";
            return false;
        }
        int condition = -1;
        for (const auto& [v, c] : kValues)
            if (value == v) condition = c;
        if (condition < 0) {
            error = "--find-status: '" + part.substr(eq + 1) + "' is not low, high, rise, fall or change";
            return false;
        }
        int& target = query.conditions[static_cast<std::size_t>(slot)];
        if (target != COND_ANY) {
            error = "--find-status names " + part.substr(0, eq) + " twice";
            return false;
        }
        target = condition;
        any = true;
    }
    return true;
}

bool ParseStampCondition(const std::string& text, FindQuery& query, std::string& error)
{
    const std::string t = Lower(Trimmed(text));
    const std::string usage = "--find-stamp takes a comparison, a number and a unit, such as '>2s' (units ms, s, min, h)";
    if (t.empty()) {
        error = usage;
        return false;
    }
    query.page = FIND_STAMP;
    switch (t[0]) {
    case '>': query.compare = STAMP_GREATER; break;
    case '=': query.compare = STAMP_EQUAL; break;
    case '<': query.compare = STAMP_LESS; break;
    default: error = usage; return false;
    }
    std::size_t i = 1;
    while (i < t.size() && t[i] == ' ') ++i;
    uint64_t value = 0;
    const std::size_t digits = i;
    for (; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i) {
        value = value * 10 + static_cast<uint64_t>(t[i] - '0');
        if (value > 0xFFFFFFFFull) {
            error = "--find-stamp: the number must be at most 4294967295";
            return false;
        }
    }
    if (i == digits) {
        error = usage;
        return false;
    }
    const std::string unit = Trimmed(t.substr(i));
    if (unit == "ms") query.unit = UNIT_MS;
    else if (unit == "s") query.unit = UNIT_S;
    else if (unit == "min") query.unit = UNIT_MIN;
    else if (unit == "h") query.unit = UNIT_H;
    else {
        error = usage;
        return false;
    }
    query.value = static_cast<uint32_t>(value);
    return true;
}

bool ParseFindArguments(FindForm form, const std::string& argument, const std::string& direction, FindQuery& query,
                        std::string& error)
{
    query = FindQuery{};
    switch (form) {
    case FindForm::Text:
    case FindForm::Hex: {
        if (!ParseDirection(direction, query.directionFilter)) {
            error = "--dir takes txd, rxd or both, not '" + direction + "'";
            return false;
        }
        const QString text = QString::fromLocal8Bit(argument.c_str());
        if (form == FindForm::Text) {
            for (QChar c : text) {
                if (c.unicode() > 0xFF) {
                    error = "--find-text: '" + argument + "' holds characters that are no single byte; use --find-hex";
                    return false;
                }
            }
        }
        const ParsedFindText parsed = ParseFindText(text, form == FindForm::Hex ? FORMAT_HEX : FORMAT_ASCII);
        if (parsed.skippedTokens > 0) {
            error = "--find-hex takes bytes such as x0Dx0A; '" + argument + "' has a part without a hexadecimal digit";
            return false;
        }
        if (!parsed.unclearTokens.isEmpty()) {
            error = "--find-hex takes bytes of one or two hexadecimal digits each (with an optional x or 0x), such as "
                    "'0D 0A' or x0Dx0A; '" + parsed.unclearTokens.first().toStdString() + "' is not one";
            return false;
        }
        if (parsed.bytes.empty()) {
            error = std::string(form == FindForm::Hex ? "--find-hex" : "--find-text") + ": the pattern is empty";
            return false;
        }
        if (parsed.truncated) {
            error = "the pattern may be at most " + std::to_string(kMaxFindBytes) + " bytes long";
            return false;
        }
        query.page = FIND_DATA;
        query.pattern = parsed.bytes;
        return true;
    }
    case FindForm::Status: return ParseStatusConditions(argument, query, error);
    case FindForm::Stamp: return ParseStampCondition(argument, query, error);
    case FindForm::None: break;
    }
    error = "no search given";
    return false;
}
