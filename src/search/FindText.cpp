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
    // White space separates tokens as 'x' does; "0x" before a word is its
    // prefix, not a zero byte.
    QString spaced = text;
    for (QChar& c : spaced)
        if (c.isSpace()) c = u' ';
    for (const QString& word : spaced.split(u' ', Qt::SkipEmptyParts)) {
        QString rest = word;
        if (rest.startsWith(QLatin1String("0x")) || rest.startsWith(QLatin1String("0X"))) rest = u'x' + rest.mid(2);
        for (const QString& token : rest.split(u'x', Qt::SkipEmptyParts)) {
            qsizetype digits = 0;
            while (digits < token.size() && HexDigit(token[digits]) >= 0) ++digits;
            if (digits == 0) {
                ++out.skippedTokens;
                continue;
            }
            if (digits == token.size() && (digits <= 2 || digits % 2 == 0)) {
                // One byte, or one byte per pair of digits.
                const qsizetype step = digits <= 2 ? digits : 2;
                for (qsizetype k = 0; k < digits; k += step) {
                    unsigned value = 0;
                    for (qsizetype d = k; d < k + step; ++d) value = (value << 4) | static_cast<unsigned>(HexDigit(token[d]));
                    Append(out, static_cast<uint8_t>(value));
                }
                continue;
            }
            // Not clear: the number at the start, modulo 256, as the find
            // edit always read it.
            out.unclearTokens << token;
            unsigned value = 0;
            for (qsizetype k = 0; k < digits; ++k) value = ((value << 4) | static_cast<unsigned>(HexDigit(token[k]))) & 0xFF;
            Append(out, static_cast<uint8_t>(value));
        }
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
