// The data page's text: HEX tokens, the 260-byte limit, and the conversion
// between the two formats.
#include "FindText.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Hex(const char* text) { return ParseFindText(QString::fromLatin1(text), FORMAT_HEX).bytes; }

} // namespace

TEST(FindText, HexTokensAreOneByteOrWholePairsAndOtherwiseTheirLeadingNumber)
{
    EXPECT_EQ(Hex("x41x42"), (Bytes{0x41, 0x42}));
    EXPECT_EQ(Hex("x4142"), (Bytes{0x41, 0x42})) << "pairs run together";
    EXPECT_EQ(Hex("01 03"), (Bytes{0x01, 0x03})) << "a space separates as x does";
    EXPECT_EQ(Hex("0x0D 0X0a"), (Bytes{0x0D, 0x0A})) << "0x is a prefix, not a zero byte";
    const ParsedFindText unclear = ParseFindText(QStringLiteral("x414x42"), FORMAT_HEX);
    EXPECT_EQ(unclear.bytes, (Bytes{0x14, 0x42})) << "an odd run keeps its last two digits";
    EXPECT_EQ(unclear.unclearTokens, QStringList{QStringLiteral("414")});
    EXPECT_EQ(Hex("xA"), (Bytes{0x0A}));
    EXPECT_EQ(Hex("0dx0A"), (Bytes{0x0D, 0x0A})) << "a leading x is not required";
    EXPECT_EQ(Hex("xx41xxx42xx"), (Bytes{0x41, 0x42})) << "runs of x make no empty tokens";
    EXPECT_EQ(Hex("x4G2"), (Bytes{0x04})) << "the number ends at the first other character";
    EXPECT_EQ(Hex("x41X42"), (Bytes{0x41})) << "only a lower-case x separates";
    EXPECT_EQ(Hex("xxx"), Bytes{});
}

TEST(FindText, HexTokensWithoutADigitGiveNoByteAndAreCounted)
{
    const ParsedFindText parsed = ParseFindText(QStringLiteral("x41xZZx42x"), FORMAT_HEX);
    EXPECT_EQ(parsed.bytes, (Bytes{0x41, 0x42}));
    EXPECT_EQ(parsed.skippedTokens, 1);
}

TEST(FindText, AsciiIsOneLatin1BytePerCharacterAndBothFormatsStopAt260Bytes)
{
    EXPECT_EQ(ParseFindText(QStringLiteral("A\r\u00E9\u20AC"), FORMAT_ASCII).bytes, (Bytes{'A', '\r', 0xE9, '?'}));

    const ParsedFindText longText = ParseFindText(QString(261, u'a'), FORMAT_ASCII);
    EXPECT_EQ(longText.bytes.size(), 260u);
    EXPECT_TRUE(longText.truncated);
    EXPECT_FALSE(ParseFindText(QString(260, u'a'), FORMAT_ASCII).truncated);

    QString hex;
    for (int i = 0; i < 300; ++i) hex += QStringLiteral("x%1").arg(i % 256, 0, 16);
    const ParsedFindText longHex = ParseFindText(hex, FORMAT_HEX);
    EXPECT_EQ(longHex.bytes.size(), 260u);
    EXPECT_EQ(longHex.bytes.back(), 259 % 256);
}

TEST(FindText, SwitchingFormatsRebuildsTheText)
{
    EXPECT_EQ(ConvertFindText(QStringLiteral("AB"), FORMAT_ASCII, FORMAT_HEX), QStringLiteral("x41x42"));
    EXPECT_EQ(ConvertFindText(QStringLiteral("x41x0Dx42"), FORMAT_HEX, FORMAT_ASCII), QStringLiteral("AB"));
    EXPECT_EQ(FormatFindBytes({0x41, 0x0A, 0x00, 0xFF}, FORMAT_HEX), QStringLiteral("x41xAx0xFF"));
    EXPECT_EQ(FormatFindBytes({0x1F, 0x20, 0x7E, 0x7F}, FORMAT_ASCII), QStringLiteral(" ~"));
    // There and back keeps every byte a HEX text can carry.
    EXPECT_EQ(ConvertFindText(QStringLiteral("x0x7Fx80xFF"), FORMAT_HEX, FORMAT_HEX), QStringLiteral("x0x7Fx80xFF"));
}
