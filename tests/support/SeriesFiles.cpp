#include "SeriesFiles.h"

#include "CDataChar.h"
#include "CLines.h"
#include "support/TempDir.h"

namespace {

uint32_t Group(const std::vector<uint8_t>& b, std::size_t at, uint8_t marker, bool& ok)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t p = at + 2 * static_cast<std::size_t>(i);
        if (p + 1 >= b.size() || b[p] != marker) {
            ok = false;
            return v;
        }
        v = (v << 8) | b[p + 1];
    }
    return v;
}

} // namespace

SeriesFileContent ReadSeriesFile(const std::string& path)
{
    SeriesFileContent c;
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    if (bytes.size() >= kCurrentHeaderSize) c.body.assign(bytes.begin() + kCurrentHeaderSize, bytes.end());

    // The program's reader, as Open uses it.
    c.mode.cxChar = 8;
    c.mode.cyChar = 16;
    c.mode.cxLine = 800;
    CLines lines;
    c.opened = c.mode.ReadHeader(path) && lines.OpenCaptureBody(path, c.mode);
    for (int l = 0; l < lines.GetLineCount(); ++l) {
        const CLineInfo* line = lines.GetLine(l);
        for (int i = 0; i < line->GetItemCount(); ++i) {
            const CShape* item = line->GetItem(i);
            if (item->GetKind() != KIND_DATA) continue;
            const auto* d = static_cast<const CDataChar*>(item);
            c.readerData.push_back(static_cast<uint16_t>((d->Flags() << 8) | d->Character()));
        }
    }

    // The layout walk: whole groups only; anything else is a test failure.
    const std::vector<uint8_t>& b = c.body;
    for (std::size_t i = 0; i + 1 < b.size();) {
        SeriesToken t{};
        bool ok = true;
        if (b[i] == 0xA0) {
            t.kind = SeriesToken::Mark;
            t.value = Group(b, i, 0xA0, ok);
            i += 8;
        } else if ((b[i] >> 5) == 4) {
            t.kind = SeriesToken::Stamp;
            t.value = Group(b, i, 0x80, ok);
            t.time = Group(b, i + 8, 0xC0, ok);
            i += 16;
        } else {
            t.kind = (b[i] >> 5) == 2 ? SeriesToken::Status : SeriesToken::Data;
            t.b0 = b[i];
            t.b1 = b[i + 1];
            i += 2;
        }
        if (!ok) {
            c.opened = false;
            break;
        }
        c.tokens.push_back(t);
    }
    if (b.size() % 2 != 0) c.opened = false;
    return c;
}

std::vector<uint16_t> DataOf(const std::vector<SeriesToken>& tokens)
{
    std::vector<uint16_t> out;
    for (const SeriesToken& t : tokens)
        if (t.IsData()) out.push_back(static_cast<uint16_t>((t.b0 << 8) | t.b1));
    return out;
}

std::vector<uint8_t> NumberedData(uint32_t first, uint32_t count)
{
    std::vector<uint8_t> out;
    out.reserve(2 * static_cast<std::size_t>(count));
    for (uint32_t k = first; k < first + count; ++k) {
        out.push_back(static_cast<uint8_t>(0x20 | ((k & 1) ? 0x08 : 0) | (((k >> 8) & 1) ? 0x04 : 0)));
        out.push_back(static_cast<uint8_t>(k & 0xFF));
    }
    return out;
}

std::vector<uint16_t> NumberedWords(uint32_t first, uint32_t count)
{
    const std::vector<uint8_t> bytes = NumberedData(first, count);
    std::vector<uint16_t> out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) out.push_back(static_cast<uint16_t>((bytes[i] << 8) | bytes[i + 1]));
    return out;
}

std::vector<uint8_t> Tick(uint32_t ms)
{
    const uint32_t v = ms >= 8192 ? 0 : ms;
    return {static_cast<uint8_t>(0x80 | ((v >> 8) & 0x1F)), static_cast<uint8_t>(v & 0xFF)};
}

bool PairChecker::Take(const std::vector<SeriesToken>& tokens)
{
    for (const SeriesToken& t : tokens) {
        if (!t.IsData() || !problem.empty()) continue;
        if (synchronising) {
            // A file may begin between the two records of a pair.
            if (t.b0 == 0x20) {
                low = t.b1;
                haveLow = true;
            } else if (t.b0 == 0x28 && haveLow) {
                next = (static_cast<uint64_t>(t.b1) << 8 | low) + 1;
                synchronising = haveLow = false;
            }
            continue;
        }
        if (!haveLow) {
            if (t.b0 == 0x20 && t.b1 == (next & 0xFF)) {
                haveLow = true;
                continue;
            }
        } else if (t.b0 == 0x28 && t.b1 == ((next >> 8) & 0xFF)) {
            haveLow = false;
            ++next;
            continue;
        }
        problem = "pair " + std::to_string(next) + ": record " + std::to_string(t.b0) + "," + std::to_string(t.b1);
    }
    return problem.empty();
}
