// The "Find" section: defaults, a full round trip, values no control can
// show, and search texts the file's reader would otherwise change.
#include "CFindSettings.h"
#include "Profile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

TEST(FindSettings, MissingKeysGiveTheDefaults)
{
    TempDir dir;
    CFindSettings s;
    s.page = 2;
    s.Load(dir.Path("none.ini"));
    EXPECT_EQ(s.page, 0);
    EXPECT_EQ(s.direction, 1);
    EXPECT_EQ(s.highlightColour, 8453888);
    EXPECT_EQ(s.findText, QString());
    EXPECT_EQ(s.directionFilter, 2);
    EXPECT_EQ(s.conditions, (std::array<int, 5>{}));
    EXPECT_EQ(s.value, 0u);
}

TEST(FindSettings, EveryFieldComesBackAsWritten)
{
    TempDir dir;
    const std::string path = dir.Path("ks-settings.ini");
    CFindSettings s;
    s.page = 2;
    s.direction = 0;
    s.highlightColour = 0x123456;
    s.findText = QStringLiteral("x0Dx0A");
    s.format = 1;
    s.directionFilter = 1;
    s.conditions = {3, 2, 1, 5, 4};
    s.compare = 2;
    s.value = 4000000000u;
    s.unit = 3;
    s.Save(path);
    const std::string text = ReadFileText(path);
    EXPECT_NE(text.find("[Find]"), std::string::npos);
    EXPECT_NE(text.find("crHightLight=1193046"), std::string::npos);
    EXPECT_NE(text.find("RTS=3"), std::string::npos);
    EXPECT_NE(text.find("CD=4"), std::string::npos);

    CFindSettings back;
    back.Load(path);
    EXPECT_EQ(back.page, 2);
    EXPECT_EQ(back.direction, 0);
    EXPECT_EQ(back.highlightColour, 0x123456);
    EXPECT_EQ(back.findText, QStringLiteral("x0Dx0A"));
    EXPECT_EQ(back.format, 1);
    EXPECT_EQ(back.directionFilter, 1);
    EXPECT_EQ(back.conditions, (std::array<int, 5>{3, 2, 1, 5, 4}));
    EXPECT_EQ(back.compare, 2);
    EXPECT_EQ(back.value, 4000000000u);
    EXPECT_EQ(back.unit, 3);
    EXPECT_EQ(back.Query().pattern, (std::vector<uint8_t>{0x0D, 0x0A}));
}

TEST(FindSettings, ValuesNoControlCanShowTakeTheirDefaults)
{
    TempDir dir;
    const std::string path = dir.Path("ks-settings.ini");
    WriteFileText(path, "[Find]\nData=7\nDirection=-1\nFormat=2\nTxd=3\nRTS=6\nCTS=-2\nDTR=5\nCompare=9\nUnit=4\n");
    CFindSettings s;
    s.Load(path);
    EXPECT_EQ(s.page, 0);
    EXPECT_EQ(s.direction, 1);
    EXPECT_EQ(s.format, 0);
    EXPECT_EQ(s.directionFilter, 2);
    EXPECT_EQ(s.conditions, (std::array<int, 5>{0, 0, 5, 0, 0}));
    EXPECT_EQ(s.compare, 0);
    EXPECT_EQ(s.unit, 0);
}

TEST(FindSettings, SearchTextsKeepTheirSpacesAndQuotes)
{
    TempDir dir;
    const std::string path = dir.Path("ks-settings.ini");
    for (const QString& text : {QStringLiteral(" AT "), QStringLiteral("\"x\""), QStringLiteral("'"), QStringLiteral("a=b;c")}) {
        CFindSettings s;
        s.findText = text;
        s.Save(path);
        CFindSettings back;
        back.Load(path);
        EXPECT_EQ(back.findText, text);
    }
    // A hand-edited text longer than the edit takes is cut to 259 characters.
    WriteFileText(path, "[Find]\nFindStr=" + std::string(300, 'a') + "\n");
    CFindSettings s;
    s.Load(path);
    EXPECT_EQ(s.findText.size(), 259);
}
