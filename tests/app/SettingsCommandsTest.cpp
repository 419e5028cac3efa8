// The settings dialogs run from the live program: the communication settings
// reach the setting and the COM pane, the display settings reach the document
// through OK and Apply, and both follow the capture's state. Dialogs are run
// through the document's replaceable runner, never modally.
#include "AppFixture.h"

#include "CCommDlg.h"
#include "CCommSetting.h"
#include "CDisplayDlg.h"
#include "CToolBarStatus.h"
#include "CommandIds.h"
#include "LocalStrings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTest>

namespace {

void Click(QDialog& dialog, QWidget* control)
{
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(control->isEnabled());
    (void)dialog;
    QTest::mouseClick(control, Qt::LeftButton);
}

} // namespace

using SettingsCommands = AppFixture;

TEST_F(SettingsCommands, CommOkStoresTheChoiceAndShowsItCancelChangesNothing)
{
    StartApp();
    ASSERT_TRUE(Doc()->IsConnected());
    const uint32_t before = Doc()->CommSetting().PackLineParameters();

    // Cancel after changing every list: nothing moves.
    Doc()->runDialog = [](QDialog& dialog) {
        auto& dlg = static_cast<CCommDlg&>(dialog);
        for (int id : {116, 118, 120, 122}) static_cast<QComboBox*>(dlg.Control(id))->setCurrentIndex(0);
        Click(dialog, dlg.Control(2));
        return dialog.result();
    };
    EXPECT_TRUE(Frame()->RunCommand(ID_COM_SETTINGS));
    EXPECT_EQ(Doc()->CommSetting().PackLineParameters(), before);

    // OK: the setting takes the lists and the COM pane shows them.
    Doc()->runDialog = [](QDialog& dialog) {
        auto& dlg = static_cast<CCommDlg&>(dialog);
        static_cast<QComboBox*>(dlg.Control(118))->setCurrentIndex(0); // 7 data bits
        static_cast<QComboBox*>(dlg.Control(120))->setCurrentIndex(2); // even parity
        Click(dialog, dlg.Control(1));
        return dialog.result();
    };
    EXPECT_TRUE(Frame()->RunCommand(ID_COM_SETTINGS));
    const uint32_t after = Doc()->CommSetting().PackLineParameters();
    EXPECT_NE(after, before);
    const QString expected = QString::fromStdString(FormatLineParameters(after));
    EXPECT_TRUE(expected.contains(QStringLiteral("-7-E-"))) << expected.toStdString();
    EXPECT_TRUE(WaitUntil([&] { return Pane(3) == expected; })) << Pane(3).toStdString();
}

TEST_F(SettingsCommands, CommSettingsAreOfferedOnlyWhileNoCaptureRunsAndByTheComPane)
{
    StartApp();
    int runs = 0;
    Doc()->runDialog = [&runs](QDialog& dialog) {
        ++runs;
        return dialog.result();
    };
    // A double click on the COM pane asks for the dialog as the menu does.
    CToolBarStatus* bar = Frame()->StatusBar();
    QTest::mouseDClick(bar, Qt::LeftButton, {}, bar->Pane(3)->geometry().center());
    EXPECT_TRUE(WaitUntil([&] { return runs == 1; }));

    ASSERT_TRUE(Frame()->RunCommand(ID_ANALYZER_START));
    EXPECT_FALSE(Frame()->Router().Query(ID_COM_SETTINGS).enabled);
    EXPECT_TRUE(Frame()->Router().Query(ID_DISPLAY_SETTINGS).enabled);
    EXPECT_FALSE(Frame()->RunCommand(ID_COM_SETTINGS));
    EXPECT_EQ(runs, 1);
    ASSERT_TRUE(Frame()->RunCommand(ID_ANALYZER_STOP));
    EXPECT_TRUE(Frame()->Router().Query(ID_COM_SETTINGS).enabled);
}

TEST_F(SettingsCommands, DisplayApplyTakesEffectAtOnceAndCancelKeepsIt)
{
    StartApp();
    ASSERT_EQ(Doc()->DisplayMode().DataMode, 0);
    ASSERT_EQ(Doc()->DisplayMode().Stamp, 0);
    int modeSeenAfterApply = -1;
    Doc()->runDialog = [&](QDialog& dialog) {
        auto& dlg = static_cast<CDisplayDlg&>(dialog);
        EXPECT_TRUE(dlg.Editable());
        Click(dialog, dlg.Control(127)); // HEX horizontal
        Click(dialog, dlg.Control(157)); // Apply
        modeSeenAfterApply = Doc()->DisplayMode().DataMode;
        Click(dialog, dlg.Control(142)); // Time Stamp, not applied
        Click(dialog, dlg.Control(2));
        return dialog.result();
    };
    EXPECT_TRUE(Frame()->RunCommand(ID_DISPLAY_SETTINGS));
    EXPECT_EQ(modeSeenAfterApply, 1);
    EXPECT_EQ(Doc()->DisplayMode().DataMode, 1) << "Cancel keeps what Apply applied";
    EXPECT_EQ(Doc()->DisplayMode().Stamp, 0) << "Cancel drops what was not applied";
    Frame()->UpdateCommandUI();
    EXPECT_TRUE(Frame()->Action(ID_MODE_HEX_H)->isChecked());

    // OK takes everything, Default included.
    Doc()->runDialog = [](QDialog& dialog) {
        auto& dlg = static_cast<CDisplayDlg&>(dialog);
        Click(dialog, dlg.Control(142));
        Click(dialog, dlg.Control(156)); // Default: ASCII, no stamps
        Click(dialog, dlg.Control(141)); // Line Status on
        Click(dialog, dlg.Control(1));
        return dialog.result();
    };
    EXPECT_TRUE(Frame()->RunCommand(ID_DISPLAY_SETTINGS));
    EXPECT_EQ(Doc()->DisplayMode().DataMode, 0);
    EXPECT_EQ(Doc()->DisplayMode().Stamp, 0);
    EXPECT_EQ(Doc()->DisplayMode().Status, 1);
}

TEST_F(SettingsCommands, DuringACaptureTheDialogChangesOnlyColoursAndNoDisplay)
{
    StartApp();
    ASSERT_TRUE(Frame()->RunCommand(ID_ANALYZER_START));
    const CDisplayMode before = Doc()->DisplayMode();
    Doc()->runDialog = [](QDialog& dialog) {
        auto& dlg = static_cast<CDisplayDlg&>(dialog);
        EXPECT_FALSE(dlg.Editable());
        for (int id : {124, 126, 127, 128, 135, 141, 142, 152}) EXPECT_FALSE(dlg.Control(id)->isEnabled()) << id;
        Click(dialog, dlg.Control(153)); // No Display
        Click(dialog, dlg.Control(1));
        return dialog.result();
    };
    EXPECT_TRUE(Frame()->RunCommand(ID_DISPLAY_SETTINGS));
    EXPECT_TRUE(Doc()->IsRunning()) << "the capture goes on";
    EXPECT_EQ(Doc()->DisplayMode().NoDisplay, before.NoDisplay ? 0 : 1);
    EXPECT_EQ(Doc()->DisplayMode().DataMode, before.DataMode);
    EXPECT_EQ(Doc()->DisplayMode().Status, before.Status);
    EXPECT_EQ(Doc()->DisplayMode().Data, before.Data);
    ASSERT_TRUE(Frame()->RunCommand(ID_ANALYZER_STOP));
}

TEST_F(SettingsCommands, TextFileConvertStartsTheConverterOrSaysWhyNot)
{
    StartApp();
    QStringList started;
    bool canStart = true;
    Frame()->startProcess = [&](const QString& program) {
        started << program;
        return canStart;
    };
    EXPECT_TRUE(Frame()->RunCommand(ID_TEXT_CONVERT));
    ASSERT_EQ(started.size(), 1);
    EXPECT_TRUE(started[0].endsWith(QStringLiteral("/ks-convert"))) << started[0].toStdString();
    EXPECT_TRUE(messages.Shown().empty());

    canStart = false;
    EXPECT_TRUE(Frame()->RunCommand(ID_TEXT_CONVERT));
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown()[0], QStringLiteral("Can not open the TextFile Converter."));

    ASSERT_TRUE(Frame()->RunCommand(ID_ANALYZER_START));
    EXPECT_FALSE(Frame()->RunCommand(ID_TEXT_CONVERT)) << "not while a capture runs";
    EXPECT_EQ(started.size(), 2);
    ASSERT_TRUE(Frame()->RunCommand(ID_ANALYZER_STOP));
}

TEST_F(SettingsCommands, HelpHandsTheManualToTheBrowserOrSaysWhereItIs)
{
    StartApp();
    TempDir dir;
    const std::string asked = dir.Path("asked");
    const auto opener = [&](int status) {
        const std::string script = dir.Path("opener-" + std::to_string(status));
        WriteFileText(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + asked + "'\nexit " + std::to_string(status) + "\n");
        QFile::setPermissions(QString::fromStdString(script), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return QString::fromStdString(script);
    };
    const auto pumpUntilAsked = [&] {
        for (int i = 0; i < 250 && !QFile::exists(QString::fromStdString(asked)); ++i) Pump(20);
        Pump(200); // the opener's end reaches the frame
    };

    // A browser took it: the manual's address, and not a word.
    Frame()->pageOpener = opener(0);
    EXPECT_TRUE(Frame()->RunCommand(ID_HELP_FINDER));
    pumpUntilAsked();
    EXPECT_TRUE(QString::fromStdString(ReadFileText(asked)).endsWith(QStringLiteral("/help/top.htm")));
    EXPECT_TRUE(messages.Shown().empty());

    // No browser (the desktop's opener ends with "no method available"):
    // F1 must not just do nothing.
    QFile::remove(QString::fromStdString(asked));
    Frame()->pageOpener = opener(3);
    EXPECT_TRUE(Frame()->RunCommand(ID_HELP_FINDER));
    pumpUntilAsked();
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_TRUE(messages.Shown()[0].contains(QStringLiteral("/help/top.htm"))) << messages.Shown()[0].toStdString();

    // No opener at all.
    Frame()->pageOpener = QString::fromStdString(dir.Path("no-such-opener"));
    EXPECT_TRUE(Frame()->RunCommand(ID_HELP_FINDER));
    for (int i = 0; i < 100 && messages.Shown().size() < 2; ++i) Pump(20);
    EXPECT_EQ(messages.Shown().size(), 2u);
}
