// The frame's status display, count bar and start-up with a file.
#include "AppFixture.h"

#include "CCoolBar.h"
#include "CLineInfo.h"
#include "CLines.h"
#include "CToolBarStatus.h"
#include "CommandIds.h"
#include "LocalStrings.h"
#include "WindowMessages.h"

#include <QAction>
#include <QMouseEvent>
#include <QScrollBar>

using MainFrame = AppFixture;

TEST_F(MainFrame, PaneTextsInEveryForm)
{
    Setup setup;
    setup.unplugged = true;
    ASSERT_TRUE(StartApp(setup));
    SendMessage(Frame(), WM_SET_PANE_TEXT, 296);
    SendMessage(Frame(), WM_SET_PANE_TEXT, 295);
    EXPECT_EQ(Pane(3), QStringLiteral("COM: Disconnect."));
    EXPECT_EQ(Pane(2), QStringLiteral("USB: Disconnect"));
    // 115200 baud (index 17), 8 data bits, even parity (bits 3), 2 stop bits.
    SendMessage(Frame(), WM_SET_PANE_TEXT, 293, 17 | (1 << 5) | (1 << 6) | (3 << 7));
    EXPECT_EQ(Pane(3), QStringLiteral("COM: 115200-8-E-2"));
    SendMessage(Frame(), WM_SET_PANE_TEXT, 293, 10 | (1 << 7));
    EXPECT_EQ(Pane(3), QStringLiteral("COM: 9600-7-O-1"));
    SendMessage(Frame(), WM_SET_PANE_TEXT, 301);
    EXPECT_EQ(Pane(0), QStringLiteral("ReadFile Error!!!!"));
    SendMessage(Frame(), WM_SET_PANE_TEXT, 291, 41);
    EXPECT_EQ(Pane(0), QStringLiteral("Scroll to: 41"));
    PostMessage(Frame(), WM_SET_PANE_TEXT, 298, 1, QStringLiteral("Ln: 3, Idx:7"));
    Pump(20);
    EXPECT_EQ(Pane(1), QStringLiteral("Ln: 3, Idx:7"));
    SendMessage(Frame(), WM_SET_PANE_TEXT, 298, 0);
    EXPECT_EQ(Pane(1), QStringLiteral(" "));
    // A link named by a stale message is never asked.
    SendMessage(Frame(), WM_SET_PANE_TEXT, 297, 0x1234);
    EXPECT_EQ(Pane(4), QStringLiteral("Firmware Version: Unknown."));
    const uint32_t counters[13] = {15, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    SendMessage(Frame(), WM_SET_PANE_TEXT, 264, reinterpret_cast<intptr_t>(counters));
    EXPECT_EQ(CounterLabel(0), QStringLiteral("TXD:15"));
    EXPECT_EQ(CounterLabel(12), QStringLiteral("ERR:13"));
}

TEST_F(MainFrame, CountBarTogglesAndItsCloseButtonClearsTheCheck)
{
    StartApp();
    CCoolBar* bar = Frame()->CountBar();
    EXPECT_EQ(Frame()->dockWidgetArea(bar), Qt::RightDockWidgetArea);
    Frame()->UpdateCommandUI();
    EXPECT_TRUE(Frame()->Action(ID_VIEW_COUNTBAR)->isChecked());
    Frame()->RunCommand(ID_VIEW_COUNTBAR);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_FALSE(Frame()->Action(ID_VIEW_COUNTBAR)->isChecked());
    Frame()->RunCommand(ID_VIEW_COUNTBAR);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(Frame()->dockWidgetArea(bar), Qt::RightDockWidgetArea) << "back where it was docked";

    // The close button in the gripper band.
    QWidget* title = bar->titleBarWidget();
    const QPoint centre = bar->CloseButtonRect().center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, title->mapToGlobal(centre), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, title->mapToGlobal(centre), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(title, &press);
    QCoreApplication::sendEvent(title, &release);
    EXPECT_TRUE(bar->isHidden());
    Frame()->UpdateCommandUI();
    EXPECT_FALSE(Frame()->Action(ID_VIEW_COUNTBAR)->isChecked());
}

TEST_F(MainFrame, CounterLabelsAreGroupedInPairs)
{
    const int tops[13] = {0, 22, 48, 70, 96, 118, 144, 166, 192, 214, 240, 262, 288};
    for (int i = 0; i < 13; ++i) EXPECT_EQ(CounterLabelTop(i), tops[i]) << i;
}

TEST_F(MainFrame, MenuIsRelabelledFromTheCatalogue)
{
    StartApp();
    // Without a catalogue the menu keeps its own texts.
    EXPECT_EQ(Frame()->Action(ID_VIEW_COUNTBAR)->text(), QStringLiteral("&Count Bar"));
    EXPECT_EQ(Frame()->Action(ID_ANALYZER_START)->shortcuts().size(), 2) << "Ctrl+B and F5";
    LanguageCatalogue().LoadFromText(QStringLiteral("254=&Zähler\n240=&Datei\n"));
    Frame()->RelabelMenu();
    LanguageCatalogue().Clear();
    EXPECT_EQ(Frame()->Action(ID_VIEW_COUNTBAR)->text(), QStringLiteral("&Zähler"));
    EXPECT_EQ(Frame()->Action(ID_VIEW_TOOLBAR)->text(), QStringLiteral("&Toolbar"));
}

namespace {

// A capture file of `lines` text lines written with the core's own writers.
std::string WriteCaptureFile(TempDir& dir, int characters)
{
    CDisplayMode mode;
    mode.cxChar = 8;
    mode.cyChar = 16;
    mode.cxLine = 800;
    CLines lines;
    for (int i = 0; i < characters; ++i) lines.AddDataChar(static_cast<uint8_t>('a' + i % 26), i % 2 ? 0x28 : 0x20, mode);
    const std::string path = dir.Path("sample.ksf");
    EXPECT_TRUE(mode.WriteHeader(path));
    EXPECT_TRUE(lines.SaveCaptureBody(path));
    return path;
}

} // namespace

TEST_F(MainFrame, ACaptureFileOnTheCommandLineOpensWithASensibleLineWidth)
{
    const std::string path = WriteCaptureFile(dir, 500);
    Setup setup;
    setup.unplugged = true;
    setup.arguments = {QString::fromStdString(path)};
    ASSERT_TRUE(StartApp(setup));
    EXPECT_FALSE(app->NoFileGiven());
    EXPECT_EQ(Doc()->PathName(), path);
    EXPECT_TRUE(Frame()->windowTitle().contains(QStringLiteral("sample.ksf")));
    EXPECT_GT(Doc()->DisplayMode().cxLine, 100) << "never laid out with an unset width";
    CStoreGuard guard(View()->StoreLock());
    EXPECT_EQ(Doc()->Lines().GetCounters()[CNT_TXD] + Doc()->Lines().GetCounters()[CNT_RXD], 500u);
    EXPECT_LT(Doc()->Lines().GetLineCount(), 50) << "many characters per line";
}

TEST_F(MainFrame, AFileOfTheWrongTypeEndsStartUpWithAMessage)
{
    WriteFileText(dir.Path("notes.txt"), "hello");
    Setup setup;
    setup.unplugged = true;
    setup.arguments = {QString::fromStdString(dir.Path("notes.txt"))};
    EXPECT_FALSE(StartApp(setup));
    ASSERT_FALSE(messages.Shown().empty());
    EXPECT_EQ(messages.Shown().back(), QStringLiteral("File type error!"));
}

TEST_F(MainFrame, OpenFileFiltersListCaptureFilesFirst)
{
    const QStringList filters = CAnalyzerApp::OpenFileFilters();
    ASSERT_EQ(filters.size(), 3);
    EXPECT_EQ(filters[0], QStringLiteral("Kestrane files (*.ksf)"));
    EXPECT_EQ(filters[1], QStringLiteral("Old files (*.df)"));
    EXPECT_TRUE(filters[2].startsWith(QStringLiteral("All Files")));
}
