// The Find dialog driven through its real widgets offscreen: the settings it
// starts from, the format switch and the hex-only edit, the messages its
// buttons and keys send, a refused stamp value, the colour, Reset All and
// the localised texts.
#include "CButtonColor.h"
#include "CFindDlg.h"
#include "FindText.h"
#include "CFindDlgTab1.h"
#include "CFindDlgTab2.h"
#include "CFindDlgTab3.h"
#include "CMyEdit.h"
#include "DialogServices.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr intptr_t kDefaultColour = 8453888;

class FindDlgTest : public ::testing::Test {
protected:
    void Open(const std::string& settings = {})
    {
        dlg = std::make_unique<CFindDlg>(&owner, settings);
        dlg->Present();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }
    CMyEdit* Edit() const { return dlg->DataPage()->FindEdit(); }
    QComboBox* List(int id) const { return qobject_cast<QComboBox*>(dlg->Control(id)); }
    QAbstractButton* Button(int id) const { return qobject_cast<QAbstractButton*>(dlg->Control(id)); }
    QLineEdit* Value() const { return dlg->StampPage()->ValueEdit(); }
    void Click(int id) { Button(id)->click(); }
    void Page(int index) { qobject_cast<QTabWidget*>(dlg->Control(160))->setCurrentIndex(index); }

    TempDir dir;
    MessageRecorder owner;
    MessageLog messages;
    std::unique_ptr<CFindDlg> dlg;
};

} // namespace

TEST_F(FindDlgTest, StartsFromTheFindSettingsAndShowsThemAll)
{
    const std::string path = dir.Path("ks-settings.ini");
    WriteFileText(path, "[Find]\nData=2\nDirection=0\ncrHightLight=255\nFindStr=x41x42\nFormat=1\nTxd=1\n"
                        "RTS=3\nCTS=2\nCD=5\nCompare=1\nStamp=2500\nUnit=1\n");
    Open(path);
    EXPECT_EQ(qobject_cast<QTabWidget*>(dlg->Control(160))->currentIndex(), 2);
    EXPECT_TRUE(Button(162)->isChecked()) << "up";
    EXPECT_EQ(static_cast<CButtonColor*>(dlg->Control(166))->Colour(), 255);
    EXPECT_EQ(Edit()->text(), QStringLiteral("x41x42"));
    EXPECT_EQ(List(170)->currentIndex(), 1);
    EXPECT_TRUE(Edit()->HexOnly());
    EXPECT_EQ(Edit()->maxLength(), kMaxFindHexText) << "room for a HEX text of the longest pattern";
    EXPECT_TRUE(Button(173)->isChecked()) << "RXD";
    // The CD list is the third row but the fifth condition.
    EXPECT_EQ(List(176)->currentIndex(), 3);
    EXPECT_EQ(List(177)->currentIndex(), 2);
    EXPECT_EQ(List(178)->currentIndex(), 5);
    EXPECT_EQ(List(179)->currentIndex(), 0);
    EXPECT_EQ(List(176)->currentText(), QStringLiteral("Low => High"));
    EXPECT_TRUE(Button(183)->isChecked()) << "=";
    EXPECT_EQ(Value()->text(), QStringLiteral("2500"));
    EXPECT_EQ(List(186)->currentText(), QStringLiteral("Seconds"));
    EXPECT_EQ(Value(), QApplication::focusWidget()) << "the stamp page's value takes the focus";

    ASSERT_TRUE(dlg->ReadControls());
    const FindQuery q = dlg->Query();
    EXPECT_EQ(q.page, FIND_STAMP);
    EXPECT_EQ(q.pattern, (std::vector<uint8_t>{0x41, 0x42}));
    EXPECT_EQ(q.directionFilter, FIND_RXD);
    EXPECT_EQ(q.conditions, (std::array<int, 5>{3, 2, 0, 0, 5}));
    EXPECT_EQ(q.compare, STAMP_EQUAL);
    EXPECT_EQ(q.value, 2500u);
    EXPECT_EQ(q.unit, UNIT_S);
    EXPECT_FALSE(dlg->Fields().Down());
}

TEST_F(FindDlgTest, TheFormatSwitchRewritesTheTextAndHexTypingTakesOnlyHex)
{
    Open();
    EXPECT_EQ(Edit(), QApplication::focusWidget());
    QTest::keyClicks(Edit(), "AB");
    List(170)->setCurrentIndex(1);
    EXPECT_EQ(Edit()->text(), QStringLiteral("x41x42"));
    EXPECT_TRUE(Edit()->HexOnly());
    EXPECT_EQ(Edit()->cursorPosition(), 6) << "the caret at the end";
    QTest::keyClicks(Edit(), "g x0D_");
    EXPECT_EQ(Edit()->text(), QStringLiteral("x41x42x0D"));
    QTest::keyClick(Edit(), Qt::Key_Backspace);
    QTest::keyClicks(Edit(), "A");
    EXPECT_EQ(Edit()->text(), QStringLiteral("x41x42x0A"));

    List(170)->setCurrentIndex(0);
    EXPECT_EQ(Edit()->text(), QStringLiteral("AB")) << "LF has no ASCII text";
    EXPECT_FALSE(Edit()->HexOnly());
    QTest::keyClicks(Edit(), "g x");
    EXPECT_EQ(Edit()->text(), QStringLiteral("ABg x"));

    // The longest ASCII text fits whole into HEX, and comes back whole.
    const QString longest(kMaxFindBytes, u'A');
    Edit()->setText(longest);
    List(170)->setCurrentIndex(1);
    EXPECT_EQ(Edit()->text().size(), 3 * kMaxFindBytes) << "not cut mid-token";
    List(170)->setCurrentIndex(0);
    EXPECT_EQ(Edit()->text(), longest);

    // A character no serial byte can be is refused; the search keeps its text.
    Edit()->setText(QStringLiteral("AT"));
    Click(164);
    Edit()->setText(QStringLiteral("\u20AC"));
    Click(164);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(dlg->Fields().findText, QStringLiteral("AT"));
    EXPECT_EQ(Edit()->text(), QStringLiteral("AT"));
}

TEST_F(FindDlgTest, FindNextAndHighLightAllSendTheirMessagesAfterReadingTheControls)
{
    Open();
    QString textWhenSent;
    owner.onMessage = [&](const Received& r) {
        if (r.message == WM_FIND_NEXT) textWhenSent = dlg->Fields().findText;
    };
    QTest::keyClicks(Edit(), "AT");
    Click(164);
    EXPECT_EQ(textWhenSent, QStringLiteral("AT"));
    Click(165);
    EXPECT_TRUE(dlg->HighlightAll());
    EXPECT_TRUE(Button(165)->isChecked());
    Click(164); // ends HighLight All first
    EXPECT_FALSE(Button(165)->isChecked());
    Click(165);
    Click(165); // the second press clears
    EXPECT_FALSE(Button(165)->isChecked());
    EXPECT_EQ(owner.received, (std::vector<Received>{{WM_FIND_NEXT, 0, kDefaultColour},
                                                     {WM_SET_MARKS, 1, kDefaultColour},
                                                     {WM_SET_MARKS, 0, kDefaultColour},
                                                     {WM_FIND_NEXT, 0, kDefaultColour},
                                                     {WM_SET_MARKS, 1, kDefaultColour},
                                                     {WM_SET_MARKS, 0, kDefaultColour}}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(FindDlgTest, EnterFindsEscHidesWithoutReadingCloseReadsAndHides)
{
    Open();
    QTest::keyClicks(Edit(), "X");
    QTest::keyClick(Edit(), Qt::Key_Return);
    ASSERT_EQ(owner.received.size(), 1u);
    EXPECT_EQ(owner.received[0].message, WM_FIND_NEXT);
    EXPECT_EQ(dlg->Fields().findText, QStringLiteral("X"));

    QTest::keyClicks(Edit(), "Y");
    QTest::keyClick(Edit(), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->Fields().findText, QStringLiteral("X"));

    dlg->Present();
    EXPECT_EQ(Edit()->text(), QStringLiteral("XY")) << "hiding keeps what the controls hold";
    Click(167);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->Fields().findText, QStringLiteral("XY"));

    // Enter on another page is not that page's: it finds too.
    dlg->Present();
    Page(2);
    QTest::keyClick(Value(), Qt::Key_Enter);
    EXPECT_EQ(owner.received.size(), 2u);
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(FindDlgTest, AStampValueThatIsNoNumberIsRefusedAndTheSearchKeepsTheOldQuery)
{
    Open();
    Page(2);
    Value()->setText(QStringLiteral("2"));
    List(186)->setCurrentIndex(1);
    Click(164);
    ASSERT_EQ(dlg->Fields().value, 2u);
    ASSERT_EQ(dlg->Fields().unit, UNIT_S);

    for (const char* bad : {"", "4294967296"}) {
        Value()->setText(QString::fromLatin1(bad));
        List(186)->setCurrentIndex(3);
        Button(182 + 2)->click(); // "<"
        Click(164);
        EXPECT_EQ(messages.shown.back(), QStringLiteral("Enter a positive integer.")) << bad;
        EXPECT_EQ(owner.received.back().message, WM_FIND_NEXT) << "the search runs all the same";
        EXPECT_EQ(dlg->Fields().value, 2u);
        EXPECT_EQ(dlg->Fields().unit, UNIT_S) << "the unit is not read past a refused value";
        EXPECT_EQ(dlg->Fields().compare, STAMP_LESS) << "what comes before the value is";
        EXPECT_EQ(Value()->text(), QStringLiteral("2")) << "the page shows what is searched for";
        EXPECT_EQ(List(186)->currentIndex(), 1);
    }
    EXPECT_EQ(messages.shown.size(), 2u);

    Value()->setText(QStringLiteral("4294967295"));
    Click(164);
    EXPECT_EQ(dlg->Fields().value, 4294967295u);

    Value()->clear();
    Click(167);
    EXPECT_TRUE(dlg->isVisible()) << "Close does not leave a refused value behind";
    EXPECT_EQ(messages.shown.size(), 3u);
}

TEST_F(FindDlgTest, TheColourButtonPicksTheHighlightAndResetAllClearsTheConditions)
{
    AnsweringPicker picker;
    Open();
    picker.answer = 0x112233;
    Click(166);
    EXPECT_EQ(picker.asked, std::vector<int32_t>{8453888});
    EXPECT_EQ(static_cast<CButtonColor*>(dlg->Control(166))->Colour(), 0x112233);
    picker.answer.reset();
    Click(166);
    EXPECT_EQ(dlg->HighlightColour(), 0x112233) << "cancelled";
    Click(164);
    EXPECT_EQ(owner.received.back().lParam, 0x112233);

    Page(1);
    List(176)->setCurrentIndex(3);
    List(180)->setCurrentIndex(5);
    Click(187);
    for (int id = 176; id <= 180; ++id) EXPECT_EQ(List(id)->currentIndex(), 0) << id;
    ASSERT_TRUE(dlg->ReadControls());
    EXPECT_EQ(dlg->Fields().conditions, (std::array<int, 5>{}));
}

TEST_F(FindDlgTest, TextsComeFromTheLanguageCatalogueWhereItHasThem)
{
    CatalogueForTest catalogue(QStringLiteral("159=Suchen\n164=&Weiter\n175=Leitungen\n169=&Text:\n187=&Alle zurück\n317=ms\n"));
    Open();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Suchen"));
    EXPECT_EQ(Button(164)->text(), QStringLiteral("&Weiter"));
    EXPECT_EQ(Button(167)->text(), QStringLiteral("&Close")) << "not in the catalogue";
    auto* tabs = qobject_cast<QTabWidget*>(dlg->Control(160));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Leitungen"));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("Stamp"));
    EXPECT_EQ(Button(187)->text(), QStringLiteral("&Alle zurück"));
    Page(2);
    EXPECT_EQ(List(186)->itemText(0), QStringLiteral("ms"));
    EXPECT_EQ(List(186)->itemText(1), QStringLiteral("Seconds"));
}
