#include "Profile.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>
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

std::vector<std::string> ReadLines(const std::string& path, bool& exists, bool& endsWithNewline)
{
    std::vector<std::string> lines;
    exists = false;
    endsWithNewline = true;
    QFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::ReadOnly)) return lines;
    exists = true;
    const QByteArray all = file.readAll();
    std::string_view rest(all.constData(), static_cast<std::size_t>(all.size()));
    endsWithNewline = rest.empty() || rest.back() == '\n';
    while (!rest.empty()) {
        auto nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (nl == std::string_view::npos) break;
        rest.remove_prefix(nl + 1);
    }
    return lines;
}

// Finds the value of section/key. Only the first section of a name counts, as
// with the platform's own profile reader.
bool Lookup(const std::string& path, const char* section, const char* key, std::string& out)
{
    bool exists = false, nl = true;
    const auto lines = ReadLines(path, exists, nl);
    bool inSection = false, seenSection = false;
    for (const auto& line : lines) {
        std::string_view name;
        if (SectionName(line, name)) {
            if (inSection) return false;
            inSection = !seenSection && SameName(name, section);
            seenSection = seenSection || inSection;
            continue;
        }
        std::string_view k, v;
        if (inSection && KeyValue(line, k, v) && SameName(k, key)) {
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
    std::lock_guard lock(FileMutex());
    bool exists = false, endsWithNewline = true;
    auto lines = ReadLines(path, exists, endsWithNewline);

    // Locate the first section of this name and the key inside it.
    std::size_t sectionLine = lines.size(), lastInSection = lines.size(), keyLine = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (SectionName(lines[i], name)) {
            if (sectionLine != lines.size()) break;
            if (SameName(name, section)) sectionLine = lastInSection = i;
            continue;
        }
        if (sectionLine == lines.size()) continue;
        std::string_view k, v;
        if (KeyValue(lines[i], k, v)) {
            lastInSection = i;
            if (SameName(k, key)) {
                keyLine = i;
                break;
            }
        }
    }

    const std::string newLine = std::string(key) + "=" + value;
    if (keyLine != lines.size()) {
        lines[keyLine] = newLine;
    } else if (sectionLine != lines.size()) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastInSection + 1), newLine);
    } else {
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(newLine);
    }

    QByteArray out;
    for (const auto& line : lines) {
        out.append(line.data(), static_cast<qsizetype>(line.size()));
        out.append('\n');
    }
    QSaveFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(out) != out.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace ks
