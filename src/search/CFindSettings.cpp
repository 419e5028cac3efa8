#include "CFindSettings.h"

#include "FindText.h"
#include "Profile.h"

#include <string>

namespace {

constexpr const char* kSection = "Find";
// The longest search text the file gives back.
constexpr std::size_t kMaxStoredText = 259;

constexpr const char* kConditionKeys[kConditionSlots] = {"RTS", "CTS", "DTR", "DSR", "CD"};

int ReadChoice(const char* key, int defaultValue, int count, const std::string& path)
{
    const int value = ks::GetPrivateProfileIntA(kSection, key, defaultValue, path);
    return value >= 0 && value < count ? value : defaultValue;
}

// The file's reader trims a value and takes off one pair of enclosing
// quotes; a text it would change that way is written inside quotes, so that
// a search for " AT" or for "'x'" comes back as it was.
std::string QuotedWhereNeeded(const std::string& text)
{
    if (text.empty()) return text;
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
    const bool spaced = isSpace(text.front()) || isSpace(text.back());
    const bool quoted = text.size() >= 2 && text.front() == text.back() && (text.front() == '"' || text.front() == '\'');
    return spaced || quoted ? '"' + text + '"' : text;
}

void WriteInt(const char* key, int32_t value, const std::string& path)
{
    ks::WritePrivateProfileStringA(kSection, key, std::to_string(value).c_str(), path);
}

} // namespace

FindQuery CFindSettings::Query() const
{
    FindQuery query;
    query.page = page;
    query.pattern = ParseFindText(findText, format).bytes;
    query.directionFilter = directionFilter;
    query.conditions = conditions;
    query.compare = compare;
    query.value = value;
    query.unit = unit;
    return query;
}

void CFindSettings::Load(const std::string& path)
{
    page = ReadChoice("Data", FIND_DATA, 3, path);
    direction = ReadChoice("Direction", 1, 2, path);
    highlightColour = ks::GetPrivateProfileIntA(kSection, "crHightLight", kDefaultHighlight, path);
    findText = QString::fromStdString(ks::GetPrivateProfileString(kSection, "FindStr", "", kMaxStoredText, path));
    if (findText.size() > kMaxFindBytes) findText.truncate(kMaxFindBytes);
    format = ReadChoice("Format", 0, 2, path);
    directionFilter = ReadChoice("Txd", FIND_BOTH, 3, path);
    for (int slot = 0; slot < kConditionSlots; ++slot)
        conditions[static_cast<std::size_t>(slot)] = ReadChoice(kConditionKeys[slot], COND_ANY, kLineConditionCount, path);
    compare = ReadChoice("Compare", STAMP_GREATER, 3, path);
    // Kept as the 32 bits it was written with ("%d" of an unsigned value).
    value = static_cast<uint32_t>(ks::GetPrivateProfileIntA(kSection, "Stamp", 0, path));
    unit = ReadChoice("Unit", UNIT_MS, 4, path);
}

void CFindSettings::Save(const std::string& path) const
{
    WriteInt("Data", page, path);
    WriteInt("Direction", direction, path);
    WriteInt("crHightLight", highlightColour, path);
    ks::WritePrivateProfileStringA(kSection, "FindStr", QuotedWhereNeeded(findText.toStdString()).c_str(), path);
    WriteInt("Format", format, path);
    WriteInt("Txd", directionFilter, path);
    for (int slot = 0; slot < kConditionSlots; ++slot) WriteInt(kConditionKeys[slot], conditions[static_cast<std::size_t>(slot)], path);
    WriteInt("Compare", compare, path);
    WriteInt("Stamp", static_cast<int32_t>(value), path);
    WriteInt("Unit", unit, path);
}
