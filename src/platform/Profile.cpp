#include "Profile.h"

#include "DebugLog.h"
#include "MessageService.h"
#include "RegularFile.h"

#include <QString>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>
#include <vector>

namespace ks {
namespace {

// Writes from several holders may interleave (UI thread and tools); the read,
// modify, replace cycle must not lose one of them.
std::mutex& FileMutex()
{
    static std::mutex m;
    return m;
}

std::string_view Trim(std::string_view s)
{
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; };
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// A section header line "[name]"; returns false for any other line.
bool SectionName(std::string_view line, std::string_view& name)
{
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return false;
    auto close = line.find(']');
    if (close == std::string_view::npos) return false;
    name = Trim(line.substr(1, close - 1));
    return true;
}

// A "key=value" line; comments (';') and lines without '=' are not keys.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value)
{
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') return false;
    auto eq = t.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                              (value.front() == '\'' && value.back() == '\''))) {
        value = value.substr(1, value.size() - 2);
    }
    return !key.empty();
}

// One line of the file: its text and the ending it had ("\n", "\r\n", or
// nothing for a last line without one). Lines are written back with their
// own endings, so a file edited on another system keeps its form.
struct Line {
    std::string text;
    std::string ending;
};

std::vector<Line> SplitLines(const std::string& bytes)
{
    std::vector<Line> lines;
    std::string_view rest(bytes);
    while (!rest.empty()) {
        const auto nl = rest.find('\n');
        if (nl == std::string_view::npos) {
            lines.push_back({std::string(rest), {}});
            break;
        }
        std::string_view text = rest.substr(0, nl);
        const bool crlf = !text.empty() && text.back() == '\r';
        if (crlf) text.remove_suffix(1);
        lines.push_back({std::string(text), crlf ? "\r\n" : "\n"});
        rest.remove_prefix(nl + 1);
    }
    return lines;
}

// The ending new lines get: that of the file's first ended line.
std::string UsualEnding(const std::vector<Line>& lines)
{
    for (const Line& line : lines)
        if (!line.ending.empty()) return line.ending;
    return "\n";
}

// Each trouble with a settings file is reported once per file and run: the
// holders write many keys in a row, and one line says it.
void ReportOnce(const std::string& path, const QString& what)
{
    static std::set<std::string> reported; // under FileMutex()
    if (!reported.insert(path).second) return;
    ks::OutputDebugString(QStringLiteral("Settings file %1: %2").arg(QString::fromLocal8Bit(path.c_str()), what));
}

// Reads the file under FileMutex(). False (and `lines` empty) when there is
// nothing to read; `readable` false when the file exists but was not read whole.
bool LoadLines(const std::string& path, std::vector<Line>& lines, bool& readable)
{
    lines.clear();
    std::string bytes;
    switch (ReadRegularFile(path, bytes)) {
    case FileRead::Ok:
        readable = true;
        lines = SplitLines(bytes);
        return true;
    case FileRead::Absent:
        readable = true;
        return false;
    case FileRead::NotRegular:
    case FileRead::Failed:
        break;
    }
    readable = false;
    ReportOnce(path, QStringLiteral("cannot be read; defaults are used and the file is left as it is, "
                                    "so the settings of this run are not kept"));
    return false;
}

// Finds the value of section/key. Only the first section of a name counts, as
// with the platform's own profile reader.
bool Lookup(const std::string& path, const char* section, const char* key, std::string& out)
{
    std::vector<Line> lines;
    bool readable = true;
    if (!LoadLines(path, lines, readable)) return false;
    bool inSection = false, seenSection = false;
    for (const auto& line : lines) {
        std::string_view name;
        if (SectionName(line.text, name)) {
            if (inSection) return false;
            inSection = !seenSection && SameName(name, section);
            seenSection = seenSection || inSection;
            continue;
        }
        std::string_view k, v;
        if (inSection && KeyValue(line.text, k, v) && SameName(k, key)) {
            out.assign(v);
            return true;
        }
    }
    return false;
}

} // namespace

int ParseLeadingInt(const char* text, std::size_t length)
{
    std::size_t i = 0;
    while (i < length && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

int GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                          const std::string& path)
{
    std::string value;
    {
        std::lock_guard lock(FileMutex());
        if (!Lookup(path, section, key, value)) return defaultValue;
    }
    if (value.empty()) return defaultValue;
    return ParseLeadingInt(value.data(), value.size());
}

std::size_t GetPrivateProfileStringA(const char* section, const char* key,
                                     const char* defaultText, char* buffer,
                                     std::size_t size, const std::string& path)
{
    if (buffer == nullptr || size == 0) return 0;
    std::string value;
    bool found;
    {
        std::lock_guard lock(FileMutex());
        found = Lookup(path, section, key, value);
    }
    if (!found) value = defaultText ? defaultText : "";
    const std::size_t n = std::min(value.size(), size - 1);
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return n;
}

std::string GetPrivateProfileString(const char* section, const char* key,
                                    const std::string& defaultText, std::size_t maxChars,
                                    const std::string& path)
{
    std::vector<char> buffer(maxChars + 1);
    const std::size_t n = GetPrivateProfileStringA(section, key, defaultText.c_str(),
                                                   buffer.data(), buffer.size(), path);
    return std::string(buffer.data(), n);
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* text,
                                const std::string& path)
{
    if (section == nullptr || key == nullptr || path.empty()) return false;
    const std::string value = text ? text : "";
    // A line break would split the line and read back as something else (a
    // folder's name may hold one): such a value is refused, and said.
    if (value.find_first_of("\r\n") != std::string::npos) {
        ks::ReportMessage(QStringLiteral("The setting %1 in [%2] holds a line break and cannot be stored in %3.")
                              .arg(QString::fromUtf8(key), QString::fromUtf8(section), QString::fromLocal8Bit(path.c_str())));
        return false;
    }
    // The whole read, modify, replace cycle under the lock: two writers of
    // different keys must not each replace the file with their own copy.
    std::lock_guard lock(FileMutex());
    std::vector<Line> lines;
    bool readable = true;
    LoadLines(path, lines, readable);
    // A file that exists but was not read whole is never written: what would
    // be written is not what the file holds.
    if (!readable) return false;

    // Locate the first section of this name and the key inside it.
    const std::size_t none = lines.size();
    std::size_t sectionLine = none, lastInSection = none, keyLine = none;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (SectionName(lines[i].text, name)) {
            if (sectionLine != none) break;
            if (SameName(name, section)) sectionLine = lastInSection = i;
            continue;
        }
        if (sectionLine == none) continue;
        std::string_view k, v;
        if (KeyValue(lines[i].text, k, v)) {
            lastInSection = i;
            if (SameName(k, key)) {
                keyLine = i;
                break;
            }
        }
    }

    std::string newLine(key);
    newLine += '=';
    newLine += value;
    const std::string eol = UsualEnding(lines);
    if (keyLine != none) {
        lines[keyLine].text = std::move(newLine); // its ending stays
    } else if (sectionLine != none) {
        Line& after = lines[lastInSection];
        // A last line without an ending gets one before a line follows it.
        Line added{std::move(newLine), after.ending.empty() ? std::string() : after.ending};
        if (after.ending.empty()) after.ending = eol;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastInSection + 1), std::move(added));
    } else {
        if (!lines.empty() && lines.back().ending.empty()) lines.back().ending = eol;
        std::string header("[");
        header += section;
        header += ']';
        lines.push_back({std::move(header), eol});
        lines.push_back({std::move(newLine), eol});
    }

    std::string out;
    for (const Line& line : lines) {
        out += line.text;
        out += line.ending;
    }
    int error = 0;
    if (!ReplaceFile(path, out, error)) {
        ReportOnce(path, QStringLiteral("cannot be written (%1); the settings of this run are not kept")
                             .arg(QString::fromLocal8Bit(std::strerror(error))));
        return false;
    }
    return true;
}

} // namespace ks
