#include "FindText.h"

namespace {

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

void Append(ParsedFindText& out, uint8_t byte)
{
    if (static_cast<int>(out.bytes.size()) >= kMaxFindBytes) {
        out.truncated = true;
        return;
    }
    out.bytes.push_back(byte);
}

} // namespace

ParsedFindText ParseFindText(const QString& text, int format)
{
    ParsedFindText out;
    if (format != FORMAT_HEX) {
        for (QChar c : text) Append(out, c.unicode() <= 0xFF ? static_cast<uint8_t>(c.unicode()) : uint8_t('?'));
        return out;
    }
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        while (i < n && text[i] == u'x') ++i;
        if (i >= n) break;
        const qsizetype start = i;
        while (i < n && text[i] != u'x') ++i;
        // Only the last two digits of the leading number matter, so keep
        // the value modulo 256 as the digits come.
        unsigned value = 0;
        qsizetype k = start;
        for (; k < i && HexDigit(text[k]) >= 0; ++k) value = ((value << 4) | static_cast<unsigned>(HexDigit(text[k]))) & 0xFF;
        if (k == start) {
            ++out.skippedTokens;
            continue;
        }
        Append(out, static_cast<uint8_t>(value));
    }
    return out;
}

QString FormatFindBytes(const std::vector<uint8_t>& bytes, int format)
{
    QString text;
    if (format == FORMAT_HEX) {
        for (uint8_t b : bytes) text += u'x' + QString::number(b, 16).toUpper();
        return text;
    }
    for (uint8_t b : bytes) {
        if (b >= 0x20 && b <= 0x7E) text += QChar(b);
    }
    return text;
}

QString ConvertFindText(const QString& text, int from, int to)
{
    return FormatFindBytes(ParseFindText(text, from).bytes, to);
}
