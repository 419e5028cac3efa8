// The communication settings dialog driven through its real widgets: what
// the lists offer and show, what OK hands back (down to the probe's parameter
// block and the status text), what Cancel leaves alone, and settings files
// with indexes outside their lists.
#include "CCommDlg.h"
#include "CCommSetting.h"
#include "LocalStrings.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <array>

namespace {

class CatalogueScope {
public:
    explicit CatalogueScope(const QString& text) { LanguageCatalogue().LoadFromText(text); }
    ~CatalogueScope() { LanguageCatalogue().Clear(); }
};

QComboBox* List(const CCommDlg& dlg, int id)
{
    auto* list = qobject_cast<QComboBox*>(dlg.Control(id));
    EXPECT_NE(list, nullptr) << "control " << id;
    return list;
}

QStringList Items(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
}

std::array<uint8_t, 8> Block(const CCommSetting& setting)
{
    std::array<uint8_t, 8> block{};
    setting.FillParameterBlock(block.data());
    return block;
}

} // namespace

TEST(CCommDlg, OffersTheFixedListsAndShowsTheDefaults)
{
    CCommSetting setting("");
    CCommDlg dlg(setting);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Communication settings"));

    const QStringList bauds = Items(List(dlg, 116));
    ASSERT_EQ(bauds.size(), 19);
    EXPECT_EQ(bauds.front(), QStringLiteral("50"));
    EXPECT_EQ(bauds[10], QStringLiteral("9600"));
    EXPECT_EQ(bauds.back(), QStringLiteral("230400"));
    EXPECT_EQ(Items(List(dlg, 118)), (QStringList{"7", "8"}));
    EXPECT_EQ(Items(List(dlg, 120)), (QStringList{"None", "Odd", "Even"}));
    EXPECT_EQ(Items(List(dlg, 122)), (QStringList{"1", "2"}));

    EXPECT_EQ(List(dlg, 116)->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(List(dlg, 118)->currentText(), QStringLiteral("8"));
    EXPECT_EQ(List(dlg, 120)->currentText(), QStringLiteral("None"));
    EXPECT_EQ(List(dlg, 122)->currentText(), QStringLiteral("1"));
    for (int id : {116, 118, 120, 122}) EXPECT_FALSE(List(dlg, id)->isEditable()) << id;

    // Each label's access key leads to its list.
    const std::array<std::pair<int, const char*>, 4> labels = {
        {{115, "&Baudrate:"}, {117, "&Data bits:"}, {119, "&Parity:"}, {121, "&Stop bits:"}}};
    for (const auto& [id, text] : labels) {
        auto* label = qobject_cast<QLabel*>(dlg.Control(id));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromLatin1(text));
        EXPECT_EQ(label->buddy(), dlg.Control(id + 1));
    }
    auto* ok = qobject_cast<QPushButton*>(dlg.Control(1));
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
}

TEST(CCommDlg, OkHandsBackTheChoiceDownToTheProbeBlockAndStatusText)
{
    CCommSetting setting("");
    CCommDlg dlg(setting);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));

    // The user picks with the keyboard: the last baud rate, 7 data bits,
    // odd parity, 2 stop bits.
    List(dlg, 116)->setFocus();
    QTest::keyClick(List(dlg, 116), Qt::Key_End);
    QTest::keyClick(List(dlg, 118), Qt::Key_Home);
    List(dlg, 120)->setCurrentIndex(1);
    QTest::keyClick(List(dlg, 122), Qt::Key_Down);
    EXPECT_EQ(setting.Baudrate, 10) << "the dialog edits a copy until the caller takes it";

    QTest::mouseClick(dlg.Control(1), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.BaudRate(), 18);
    EXPECT_EQ(dlg.DataBits(), 0);
    EXPECT_EQ(dlg.Parity(), 1);
    EXPECT_EQ(dlg.StopBits(), 1);

    dlg.CopyTo(setting);
    EXPECT_EQ(Block(setting), (std::array<uint8_t, 8>{0x12, 0x01, 0x01, 0x03, 0, 0, 0, 0}));
    EXPECT_EQ(setting.PackLineParameters(), 0xD2u);
    EXPECT_EQ(FormatLineParameters(setting.PackLineParameters()), "COM: 230400-7-O-2");

    // Even parity travels as code 2.
    CCommDlg again(setting);
    again.show();
    List(again, 120)->setCurrentIndex(2);
    QTest::keyClick(&again, Qt::Key_Return); // the default button
    EXPECT_EQ(again.result(), QDialog::Accepted);
    again.CopyTo(setting);
    EXPECT_EQ(Block(setting)[3], 2);
    EXPECT_EQ(FormatLineParameters(setting.PackLineParameters()), "COM: 230400-7-E-2");
}

TEST(CCommDlg, CancelEscapeAndCloseLeaveEverythingAsItWas)
{
    CCommSetting setting("");
    setting.Baudrate = 12;
    setting.Parity = 2;
    const auto before = Block(setting);

    for (int way = 0; way < 3; ++way) {
        CCommDlg dlg(setting);
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        List(dlg, 116)->setCurrentIndex(0);
        List(dlg, 118)->setCurrentIndex(0);
        List(dlg, 120)->setCurrentIndex(1);
        List(dlg, 122)->setCurrentIndex(1);
        if (way == 0) QTest::mouseClick(dlg.Control(2), Qt::LeftButton);
        if (way == 1) QTest::keyClick(&dlg, Qt::Key_Escape);
        if (way == 2) dlg.close();
        EXPECT_EQ(dlg.result(), QDialog::Rejected) << way;
        EXPECT_FALSE(dlg.isVisible()) << way;
        EXPECT_EQ(dlg.BaudRate(), 12) << way;
        EXPECT_EQ(dlg.DataBits(), 1) << way;
        EXPECT_EQ(dlg.Parity(), 2) << way;
        EXPECT_EQ(dlg.StopBits(), 0) << way;
    }
    EXPECT_EQ(Block(setting), before);
    EXPECT_EQ(FormatLineParameters(setting.PackLineParameters()), "COM: 19200-8-E-1");
}

TEST(CCommDlg, IndexesOutsideTheirListsShowAndReturnTheDefaults)
{
    // Values a hand-edited settings file can hold: none may reach a table.
    const std::array<std::array<int32_t, 4>, 3> garbage = {{{19, 2, 3, 2}, {-1, -1, -1, -1}, {40, 99, 7, -5}}};
    for (const auto& values : garbage) {
        CCommSetting setting("");
        setting.Baudrate = values[0];
        setting.Databit = values[1];
        setting.Parity = values[2];
        setting.Stopbit = values[3];
        CCommDlg dlg(setting);
        EXPECT_EQ(List(dlg, 116)->currentText(), QStringLiteral("9600")) << values[0];
        EXPECT_EQ(List(dlg, 118)->currentText(), QStringLiteral("8")) << values[1];
        EXPECT_EQ(List(dlg, 120)->currentText(), QStringLiteral("None")) << values[2];
        EXPECT_EQ(List(dlg, 122)->currentText(), QStringLiteral("1")) << values[3];

        dlg.show();
        QTest::mouseClick(dlg.Control(1), Qt::LeftButton);
        ASSERT_EQ(dlg.result(), QDialog::Accepted);
        dlg.CopyTo(setting);
        EXPECT_EQ(setting.Baudrate, 10);
        EXPECT_EQ(setting.Databit, 1);
        EXPECT_EQ(setting.Parity, 0);
        EXPECT_EQ(setting.Stopbit, 0);
    }

    // A choice filled in by hand is checked again before it is stored.
    CCommChoice wild;
    wild.baudRate = -1;
    wild.dataBits = 2;
    wild.parity = 3;
    wild.stopBits = 9;
    CCommSetting setting("");
    setting.Baudrate = 3;
    wild.CopyTo(setting);
    EXPECT_EQ(setting.Baudrate, 10);
    EXPECT_EQ(setting.Databit, 1);
    EXPECT_EQ(setting.Parity, 0);
    EXPECT_EQ(setting.Stopbit, 0);
}

TEST(CCommDlg, LanguageCatalogueReplacesOnlyTheTextsItHas)
{
    CatalogueScope scope(QStringLiteral("114=Schnittstelle\n115=&Baudrate (Bd):\n2=&Abbrechen\n"));
    CCommSetting setting("");
    CCommDlg dlg(setting);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Schnittstelle"));
    EXPECT_EQ(qobject_cast<QLabel*>(dlg.Control(115))->text(), QStringLiteral("&Baudrate (Bd):"));
    EXPECT_EQ(qobject_cast<QPushButton*>(dlg.Control(2))->text(), QStringLiteral("&Abbrechen"));
    EXPECT_EQ(qobject_cast<QLabel*>(dlg.Control(117))->text(), QStringLiteral("&Data bits:"));
    EXPECT_EQ(qobject_cast<QPushButton*>(dlg.Control(1))->text(), QStringLiteral("&OK"));
    EXPECT_EQ(List(dlg, 120)->itemText(0), QStringLiteral("None")) << "list items are not localised";
}

TEST(CCommDlg, AccessKeysMoveTheFocusToTheirLists)
{
    CCommSetting setting("");
    CCommDlg dlg(setting);
    dlg.show();
    QApplication::setActiveWindow(&dlg);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    const std::array<std::pair<Qt::Key, int>, 4> keys = {{{Qt::Key_P, 120}, {Qt::Key_B, 116}, {Qt::Key_S, 122}, {Qt::Key_D, 118}}};
    for (const auto& [key, id] : keys) {
        QTest::keyClick(&dlg, key, Qt::AltModifier);
        EXPECT_EQ(QApplication::focusWidget(), dlg.Control(id)) << id;
    }
}
