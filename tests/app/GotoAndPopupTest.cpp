// Go to line and the position popup in the running program offscreen: the
// dialog's line, total and clamping, Ctrl+G again, a refused line; the popup
// at a click with and without a character under it, in the caption column,
// near the window's edges, and hiding once the pointer has left it.
#include "LogAtRest.h"

#include "CDlgInfo.h"
#include "CGotoDlg.h"
#include "CommandIds.h"

#include <QAbstractButton>
#include <QAction>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

class GotoLine : public LogAtRest {
protected:
    CGotoDlg* Open()
    {
        Frame()->Action(ID_GOTO_LINE)->trigger();
        return Tools().GotoDialog();
    }
    void Go(CGotoDlg* dlg, const char* line)
    {
        dlg->LineEdit()->clear();
        QTest::keyClicks(dlg->LineEdit(), line);
        QTest::keyClick(dlg->LineEdit(), Qt::Key_Return);
    }
    QString Total(CGotoDlg* dlg) const { return static_cast<QLabel*>(dlg->Control(219))->text(); }
};

class PositionPopup : public LogAtRest {
protected:
    void Click(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, modifiers, at);
    }
    CDlgInfo* Popup() const { return Tools().PositionWindow(); }
    bool Shown() const { return Popup() && Popup()->isVisible(); }
    int Cx() const { return Doc()->DisplayMode().cxChar; }
    int Row() const { return Doc()->DisplayMode().cyChar; }
};

} // namespace

TEST_F(GotoLine, GoesToTheLineAndClampsToTheScrollRange)
{
    Lay(100, {});
    ScrollTo(12);
    CGotoDlg* dlg = Open();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->LineEdit()->text(), QStringLiteral("13"));
    EXPECT_EQ(dlg->LineEdit()->selectedText(), QStringLiteral("13"));
    EXPECT_EQ(Total(dlg), QStringLiteral("100"));

    Go(dlg, "40");
    EXPECT_EQ(First(), 39);
    EXPECT_TRUE(dlg->isVisible()) << "open for the next number";
    EXPECT_EQ(dlg->LineEdit()->selectedText(), QStringLiteral("40"));
    Go(dlg, "0");
    EXPECT_EQ(First(), 0);
    Go(dlg, "99999");
    EXPECT_EQ(First(), LastPageStart()) << "past the last page shows the last page";
    Go(dlg, "4294967295");
    EXPECT_EQ(First(), LastPageStart());
    Pump(20);
    EXPECT_EQ(Pane(0), QStringLiteral("Ready"));
}

TEST_F(GotoLine, ALogThatFitsTheViewDoesNotMove)
{
    Lay(10, {});
    ASSERT_GT(View()->GetVisibleLineCount(), 10);
    CGotoDlg* dlg = Open();
    EXPECT_EQ(Total(dlg), QStringLiteral("10"));
    Go(dlg, "7");
    EXPECT_EQ(First(), 0);
}

TEST_F(GotoLine, CtrlGAgainRefreshesTheLineAndTheTotal)
{
    Lay(50, {});
    CGotoDlg* dlg = Open();
    QTest::keyClicks(dlg->LineEdit(), "5"); // typed, never sent
    ScrollTo(20);
    Append(std::string(static_cast<std::size_t>(10 * PerLine()), '.'));
    Replaced();
    ScrollTo(20);
    // The dialog in front takes Ctrl+G itself (the frame's shortcut does not
    // reach another window); the offscreen platform leaves the frame active,
    // so the dialog's own shortcut is triggered here as the key would.
    QAction* ctrlG = nullptr;
    for (QAction* action : dlg->actions())
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_G)) ctrlG = action;
    ASSERT_NE(ctrlG, nullptr);
    ctrlG->trigger();
    EXPECT_EQ(dlg->LineEdit()->text(), QStringLiteral("21"));
    EXPECT_EQ(dlg->LineEdit()->selectedText(), QStringLiteral("21"));
    EXPECT_EQ(Total(dlg), QStringLiteral("60"));
}

TEST_F(GotoLine, AnEmptyLineIsRefusedAndTheLastLineIsUsedEscHidesWithoutReading)
{
    Lay(100, {});
    CGotoDlg* dlg = Open();
    Go(dlg, "30");
    ScrollTo(70);
    Go(dlg, "");
    EXPECT_EQ(messages.Shown(), (std::vector<QString>{QStringLiteral("Enter a positive integer.")}));
    EXPECT_EQ(dlg->Line(), 30u);
    EXPECT_EQ(First(), 29) << "the line in use is gone to";
    EXPECT_EQ(dlg->LineEdit()->text(), QStringLiteral("30"));

    QTest::keyClicks(dlg->LineEdit(), "8");
    QTest::keyClick(dlg->LineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->Line(), 30u);
    Open();
    static_cast<QLineEdit*>(dlg->Control(217))->setText(QStringLiteral("8"));
    static_cast<QAbstractButton*>(dlg->Control(167))->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->Line(), 8u) << "Close reads the edit";
    EXPECT_EQ(First(), 29) << "but goes nowhere";
}

TEST_F(PositionPopup, AClickShowsTheLineAndTheCharactersIndexAtThePointer)
{
    Lay(5, {});
    Append("|r"); // one RXD character on line 5
    Replaced();
    ASSERT_NE(Popup(), nullptr) << "made hidden when the view was first shown";
    EXPECT_FALSE(Popup()->isVisible());

    const int pitch = View()->GetLineHeight() + 7;
    const QPoint onSecondLine(30 + 2 * Cx() + 2, pitch + 3);
    Click(onSecondLine);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(Popup()->LineText(), QStringLiteral("2"));
    EXPECT_EQ(Popup()->IndexText(), QString::number(PerLine() + 3));
    EXPECT_EQ(Popup()->geometry(), QRect(View()->viewport()->mapToGlobal(onSecondLine), QSize(130, 70)));
    EXPECT_TRUE(Popup()->TimerActive());

    // The RXD row of line 6 holds a character, its TXD row none.
    Click(QPoint(30 + 2, 5 * pitch + 3));
    EXPECT_EQ(Popup()->LineText(), QStringLiteral("6"));
    EXPECT_EQ(Popup()->IndexText(), QString());
    Click(QPoint(30 + 2, 5 * pitch + Row() + 3));
    EXPECT_EQ(Popup()->IndexText(), QString::number(5 * PerLine() + 1));
}

TEST_F(PositionPopup, NothingInTheCaptionColumnWithAKeyHeldOrWhileCapturing)
{
    Lay(5, {});
    Click(QPoint(20, 5));
    EXPECT_FALSE(Shown()) << "caption column";
    Click(QPoint(40, 5), Qt::ShiftModifier);
    EXPECT_FALSE(Shown()) << "Shift held";
    Doc()->OnAnalyzerStart();
    Pump(20);
    Click(QPoint(40, 5));
    EXPECT_FALSE(Shown()) << "capturing";
    Doc()->OnAnalyzerStop();
    Pump(20);
    Click(QPoint(40, View()->GetLineHeight() + 2));
    EXPECT_FALSE(Shown()) << "in the gap between two bands";
    Click(QPoint(40, 5));
    EXPECT_TRUE(Shown());
}

TEST_F(PositionPopup, NearTheWindowsEdgesThePopupMovesInside)
{
    Lay(40, {});
    const QRect window(View()->mapToGlobal(QPoint(0, 0)), View()->size());
    const QPoint nearCorner(View()->viewport()->width() - 20, View()->viewport()->height() - 20);
    Click(nearCorner);
    ASSERT_TRUE(Shown());
    const QPoint at = View()->viewport()->mapToGlobal(nearCorner);
    EXPECT_EQ(Popup()->geometry().topLeft(), at - QPoint(129, 65));
    EXPECT_LE(Popup()->geometry().right(), window.right());
}

TEST_F(PositionPopup, ThePopupHidesOnceThePointerHasLeftIt)
{
    Lay(5, {});
    Click(QPoint(100, 5));
    ASSERT_TRUE(Shown());
    const QRect r = Popup()->geometry();
    QCursor::setPos(r.right() + 3, r.center().y());
    Pump(150);
    EXPECT_TRUE(Shown()) << "3 pixels beside it still counts as on it";
    QCursor::setPos(r.center().x(), r.bottom() + 1);
    Pump(150);
    EXPECT_TRUE(Shown()) << "1 pixel below it";
    QCursor::setPos(r.right() + 4, r.center().y());
    ASSERT_TRUE(WaitUntil([this] { return !Shown(); }, 1000));
    EXPECT_FALSE(Popup()->TimerActive());

    Click(QPoint(100, 5));
    ASSERT_TRUE(Shown()) << "the next click shows it again";
    QCursor::setPos(r.center().x(), r.top() - 2);
    EXPECT_TRUE(WaitUntil([this] { return !Shown(); }, 1000));
}
