#pragma once
// The data page's text and the bytes it stands for. A text is either ASCII
// (one byte per character) or HEX ("x41x42": one byte per token between runs
// of 'x'). Switching the format rebuilds the text from the bytes.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

enum FindTextFormat : int { FORMAT_ASCII = 0, FORMAT_HEX = 1 };

// The longest pattern, in bytes (and the longest ASCII text the find edit
// takes).
inline constexpr int kMaxFindBytes = 260;
// The longest HEX text the find edit takes: room for the longest pattern
// written "x41" or "0x41 " per byte, so that a switch from ASCII never cuts
// the text mid-token.
inline constexpr int kMaxFindHexText = 5 * kMaxFindBytes;

struct ParsedFindText {
    std::vector<uint8_t> bytes;
    // HEX tokens that did not begin with a hexadecimal digit; they give no
    // byte. Only pasted text or a hand-edited settings file has them.
    int skippedTokens = 0;
    // The text held more than kMaxFindBytes bytes; the rest was left out.
    bool truncated = false;
    // HEX words that are not one clear byte sequence: neither one or two
    // digits nor whole pairs of them ("414", "41zz"). The find edit reads
    // them as before (the number at the start, modulo 256); a command line
    // refuses them.
    QStringList unclearTokens;
};

// ASCII: every character is one byte (Latin-1; a character beyond it, which
// no serial byte can be, counts as '?'). HEX: tokens are separated by 'x'
// and by white space, a word may begin with "0x"; a token of one or two
// digits is one byte, a run of whole pairs is one byte per pair ("4142",
// "41 42", "x41x42" and "0x41 0x42" are all 0x41 0x42).
ParsedFindText ParseFindText(const QString& text, int format);

// The text for `bytes` in a format: ASCII keeps only 0x20..0x7E, HEX writes
// "x%X" per byte (0x41 0x0A gives "x41xA").
QString FormatFindBytes(const std::vector<uint8_t>& bytes, int format);

// The format switch of the data page: `text` read as `from`, written as `to`.
QString ConvertFindText(const QString& text, int from, int to);
