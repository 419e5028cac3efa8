// Find in the running program offscreen: the dialog opened by its command,
// matches stepped through with Enter, F3 and Shift+F3, the find position
// against the user's scrolling, HighLight All drawn on the highlight colour,
// the tool windows hidden when the log changes, and the Find settings
// written when the view goes.
#include "LogAtRest.h"

#include "CDisplayMode.h"
#include "CFindDlg.h"
#include "CFindDlgTab1.h"
#include "CFindDlgTab2.h"
#include "CGotoDlg.h"
#include "CMyEdit.h"
#include "CommandIds.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QTabWidget>
#include <QTest>

namespace {

using Places = std::vector<std::pair<int, int>>;

class FindInView : public LogAtRest {
protected:
    CFindDlg* OpenFind(const char* text = nullptr)
    {
        Frame()->Action(ID_FIND)->trigger();
        CFindDlg* dlg = Tools().FindDialog();
        EXPECT_NE(dlg, nullptr);
        if (dlg && text) {
            Edit()->clear();
            QTest::keyClicks(Edit(), text);
        }
        return dlg;
    }
    CMyEdit* Edit() const { return Tools().FindDialog()->DataPage()->FindEdit(); }
    void Next() { QTest::keyClick(Edit(), Qt::Key_Return); }
    void F3(Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(View(), Qt::Key_F3, modifiers); }
    QColor Pixel(int x, int y)
    {
        View()->RenderNow();
        return View()->BackingImage().pixelColor(x, y);
    }
    int Cx() const { return Doc()->DisplayMode().cxChar; }
    int Pitch() const { return View()->GetLineHeight() + 7; }
    std::vector<QString> Shown() { return messages.Shown(); }
};

const QColor kHighlight(0, 255, 128); // the default highlight colour

} // namespace

TEST_F(FindInView, EnterStepsThroughTheMatchesAndEachGoesToTheTop)
{
    const int p = PerLine();
    Lay(100, {{10 * p + 5, "AT"}, {49 * p + p - 1, "AT"}, {80 * p + 3, "A|qT"}, {97 * p + 10, "AT"}, {98 * p + 10, "AT"}});
    ASSERT_LT(80, LastPageStart());
    ASSERT_GT(97, LastPageStart());
    OpenFind("AT");
    Next();
    EXPECT_EQ(First(), 10);
    EXPECT_EQ(Marked(), (Places{{10, 6}, {10, 7}}));
    Next();
    EXPECT_EQ(First(), 49) << "the line of the match's first character";
    EXPECT_EQ(Marked(), (Places{{49, p}, {50, 1}}));
    Next();
    EXPECT_EQ(First(), 80);
    EXPECT_EQ(Marked(), (Places{{80, 4}, {80, 6}})) << "the RXD character between is not marked";
    // The last page cannot scroll its lines to the top; the search goes on
    // from the match all the same.
    Next();
    EXPECT_EQ(First(), LastPageStart());
    EXPECT_EQ(Tools().SearchPosition().line, 97);
    Next();
    EXPECT_EQ(Tools().SearchPosition().line, 98);
    Next();
    EXPECT_EQ(First(), 10) << "wrapped round";
    Pump(20);
    EXPECT_EQ(Pane(0), QStringLiteral("Ready"));

    F3(Qt::ShiftModifier);
    EXPECT_EQ(Tools().SearchPosition().line, 98) << "upwards from line 10 wraps to the end";
    F3();
    EXPECT_EQ(Tools().SearchPosition().line, 10);
    EXPECT_TRUE(Shown().empty());
}

TEST_F(FindInView, ScrollingAwayBetweenTwoSearchesStartsFromTheNewFirstLine)
{
    const int p = PerLine();
    Lay(100, {{10 * p, "AT"}, {49 * p, "AT"}, {80 * p, "AT"}});
    OpenFind("AT");
    Next();
    ASSERT_EQ(First(), 10);
    ScrollTo(60);
    Next();
    EXPECT_EQ(First(), 80);
    // A fresh search looks at the first visible character too.
    ScrollTo(49);
    Next();
    EXPECT_EQ(First(), 49);
    EXPECT_EQ(Marked(), (Places{{49, 1}, {49, 2}}));
}

TEST_F(FindInView, WithOneMatchTheSecondSearchSaysSoAndChangesNothing)
{
    Lay(30, {{5 * PerLine() + 3, "Z"}});
    OpenFind("Z");
    Next();
    ASSERT_EQ(First(), 5);
    Next();
    EXPECT_EQ(Shown(), (std::vector<QString>{QStringLiteral("Can not Find it")}));
    EXPECT_EQ(First(), 5);
    EXPECT_EQ(Marked(), (Places{{5, 4}}));
    EXPECT_EQ(Tools().SearchPosition(), (FindPosition{5, 4}));
}

TEST_F(FindInView, HighLightAllDrawsEveryMatchAndASecondPressClearsThem)
{
    const int p = PerLine();
    Lay(40, {{3 * p + 2, "AT"}, {12 * p, "AT"}, {12 * p + 2, "AT"}});
    CFindDlg* dlg = OpenFind("AT");
    ScrollTo(20);
    qobject_cast<QAbstractButton*>(dlg->Control(165))->click();
    EXPECT_EQ(Marked().size(), 6u);
    EXPECT_EQ(First(), 3) << "the first match goes to the top";
    const int x = 30 + 2 * Cx() + 1;
    EXPECT_EQ(Pixel(x, 1), kHighlight);
    EXPECT_EQ(Pixel(x + Cx(), 1), kHighlight);
    EXPECT_EQ(Pixel(x + 2 * Cx(), 1), QColor(Qt::white));

    qobject_cast<QAbstractButton*>(dlg->Control(165))->click();
    EXPECT_TRUE(Marked().empty());
    EXPECT_EQ(Pixel(x, 1), QColor(Qt::white));

    Edit()->setText(QStringLiteral("nowhere"));
    qobject_cast<QAbstractButton*>(dlg->Control(165))->click();
    EXPECT_EQ(Shown(), (std::vector<QString>{QStringLiteral("Can not Find it")}));
}

TEST_F(FindInView, AStatusMatchHighlightsTheRowsOfItsLines)
{
    {
        CStoreGuard guard(View()->StoreLock());
        Doc()->DisplayMode().Status = 1;
    }
    Append("ab");
    {
        CStoreGuard guard(View()->StoreLock());
        Doc()->Lines().AddStatus(0x57, Doc()->DisplayMode()); // RTS rises
    }
    Append("c");
    Replaced();
    CFindDlg* dlg = OpenFind();
    qobject_cast<QTabWidget*>(dlg->Control(160))->setCurrentIndex(1);
    qobject_cast<QComboBox*>(dlg->Control(176))->setCurrentIndex(3);
    qobject_cast<QAbstractButton*>(dlg->Control(164))->click();
    ASSERT_EQ(Marked(), (Places{{0, 3}}));
    const int cy = Doc()->DisplayMode().cyChar;
    const int x = 30 + 3 * Cx() - 2; // right of the edge in the status column
    const int rows = 2 * cy;         // the line rows start under the data rows
    EXPECT_EQ(Pixel(x, rows + cy / 2), kHighlight) << "RTS";
    EXPECT_EQ(Pixel(x, rows + cy + cy / 2), QColor(Qt::white)) << "CTS";
}

TEST_F(FindInView, F3OpensTheDialogEndsHighLightAllAndKeepsTheDialogsColour)
{
    const int p = PerLine();
    Lay(30, {{2 * p, "AT"}, {7 * p, "AT"}});
    F3();
    CFindDlg* dlg = Tools().FindDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    QTest::keyClicks(Edit(), "AT");
    qobject_cast<QAbstractButton*>(dlg->Control(165))->click();
    ASSERT_EQ(Marked().size(), 4u);

    // A display change clears the marks and the colour with them; F3 still
    // marks in the dialog's colour.
    SendMessage(View(), WM_SET_MARKS, 0, 0);
    EXPECT_EQ(Doc()->DisplayMode().crHighlight, 0);
    ScrollTo(0);
    F3();
    EXPECT_FALSE(dlg->HighlightAll());
    EXPECT_EQ(Marked().size(), 2u);
    EXPECT_EQ(Doc()->DisplayMode().crHighlight, dlg->HighlightColour());
    EXPECT_TRUE(dlg->Fields().Down());
    F3(Qt::ShiftModifier);
    EXPECT_FALSE(dlg->Fields().Down());
    EXPECT_TRUE(qobject_cast<QAbstractButton*>(dlg->Control(163))->isChecked()) << "the radio buttons keep the user's choice";

    // F3 in the dialog searches for what it shows.
    QAction* f3 = nullptr;
    for (QAction* action : dlg->actions())
        if (action->shortcut() == QKeySequence(Qt::Key_F3)) f3 = action;
    ASSERT_NE(f3, nullptr);
    Edit()->setText(QStringLiteral("TQ"));
    Append("TQ");
    Replaced();
    f3->trigger();
    EXPECT_EQ(dlg->Fields().findText, QStringLiteral("TQ"));
    EXPECT_EQ(Marked(), (Places{{30, 1}, {30, 2}}));
}

TEST_F(FindInView, TheToolWindowsHideWhenTheLogChangesAndTheSearchStartsAfresh)
{
    const int p = PerLine();
    Lay(100, {{80 * p, "AT"}});
    OpenFind("AT");
    Next();
    ASSERT_EQ(Tools().SearchPosition().line, 80);
    Frame()->Action(ID_GOTO_LINE)->trigger();
    ASSERT_TRUE(Tools().GotoDialog()->isVisible());

    SendMessage(View(), WM_HIDE_TOOL_WINDOWS, 3);
    EXPECT_FALSE(Tools().FindDialog()->isVisible());
    EXPECT_FALSE(Tools().GotoDialog()->isVisible());
    EXPECT_EQ(Tools().SearchPosition(), (FindPosition{80, -1}));

    // A new log, shorter than the line the search was at.
    Doc()->OnNewDocument();
    Pump(20);
    Lay(6, {{2 * p + 1, "AT"}});
    OpenFind();
    Next();
    EXPECT_EQ(Marked(), (Places{{2, 2}, {2, 3}}));

    Frame()->Action(ID_GOTO_LINE)->trigger();
    Doc()->OnAnalyzerStart();
    Pump(20);
    EXPECT_FALSE(Tools().FindDialog()->isVisible());
    EXPECT_FALSE(Tools().GotoDialog()->isVisible());
    EXPECT_TRUE(Marked().empty());
    F3();
    EXPECT_FALSE(Tools().FindDialog()->isVisible()) << "no searching while capturing";
    Doc()->OnAnalyzerStop();
}

TEST_F(FindInView, TheFindSettingsAreWrittenWhenTheViewGoesIfTheDialogWasOpened)
{
    const std::string path = dir.Path("ks-settings.ini");
    OpenFind("xyz");
    Next();
    QTest::keyClicks(Edit(), "w"); // not read: stays out of the file
    app.reset();
    const std::string text = ReadFileText(path);
    EXPECT_NE(text.find("[Find]"), std::string::npos);
    EXPECT_NE(text.find("FindStr=xyz\n"), std::string::npos);
    EXPECT_NE(text.find("crHightLight=8453888"), std::string::npos);
}

TEST_F(FindInView, WithoutTheDialogTheFileGetsNoFindSection)
{
    app.reset();
    EXPECT_EQ(ReadFileText(dir.Path("ks-settings.ini")).find("[Find]"), std::string::npos);
}
