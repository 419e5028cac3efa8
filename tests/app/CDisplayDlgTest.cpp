// The display settings dialog driven through its real widgets: the enabling
// rules, Default, Apply and Cancel, the form locked during a capture, the
// colour buttons with the picker replaced, and settings out of range.
#include "CButtonColor.h"
#include "CDisplayDlg.h"
#include "ColourPicker.h"
#include "LocalStrings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <vector>

namespace {

// Answers every request at once, as the user would have: `answer`, or
// Cancel when it is empty.
class FakePicker : public ks::ColourPicker {
public:
    FakePicker() { previous = ks::SetColourPicker(this); }
    ~FakePicker() override { ks::SetColourPicker(previous); }
    std::optional<int32_t> PickColour(int32_t initial, QWidget* parent) override
    {
        asked.push_back(initial);
        parents.push_back(parent);
        return answer;
    }
    std::optional<int32_t> answer;
    std::vector<int32_t> asked;
    std::vector<QWidget*> parents;

private:
    ks::ColourPicker* previous = nullptr;
};

class CatalogueScope {
public:
    explicit CatalogueScope(const QString& text) { LanguageCatalogue().LoadFromText(text); }
    ~CatalogueScope() { LanguageCatalogue().Clear(); }
};

// The 16 settings the dialog edits, for whole-record comparisons.
std::vector<int32_t> Settings(const CDisplayMode& m)
{
    return {m.Data,       m.DataMode,   m.crDataTXD, m.crDataRXD, m.crSpecChar,  m.Error,       m.crErrFrame, m.crErrParity,
            m.Status,     m.Stamp,      m.StampMode, m.crStampFore, m.crStampBack, m.DateTime, m.NoDisplay,  m.crBkColor};
}

// Everything switched away from the defaults.
CDisplayMode Unusual()
{
    CDisplayMode m;
    m.Data = 1;
    m.DataMode = 2;
    m.Error = 0;
    m.Status = 1;
    m.Stamp = 1;
    m.StampMode = 3;
    m.DateTime = 0;
    m.NoDisplay = 1;
    m.crDataTXD = 1;
    m.crDataRXD = 2;
    m.crSpecChar = 3;
    m.crErrFrame = 4;
    m.crErrParity = 5;
    m.crStampFore = 6;
    m.crStampBack = 7;
    m.crBkColor = 8;
    m.cxLine = 640;
    m.cxChar = 8;
    m.cyChar = 16;
    return m;
}

class DisplayDlgTest : public ::testing::Test {
protected:
    // The dialog as the document opens it: on a copy of its settings.
    void Open(bool editable, const CDisplayMode& mode, CDisplayMode* target = nullptr)
    {
        dlg = std::make_unique<CDisplayDlg>(editable, target);
        dlg->CopyFromMode(mode);
        QObject::connect(dlg.get(), &CDisplayDlg::applyRequested, [this](const CDisplayMode& m) { applied.push_back(m); });
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }

    QAbstractButton* Button(int id) const
    {
        auto* button = qobject_cast<QAbstractButton*>(dlg->Control(id));
        EXPECT_NE(button, nullptr) << "control " << id;
        return button;
    }
    // Radio buttons and check boxes take clicks on their mark and text only,
    // and a layout may make them wider than that: click on the mark.
    void Click(int id)
    {
        QAbstractButton* button = Button(id);
        const bool marked = qobject_cast<QRadioButton*>(button) || qobject_cast<QCheckBox*>(button);
        QTest::mouseClick(button, Qt::LeftButton, {}, marked ? QPoint(6, button->height() / 2) : QPoint());
    }
    bool Checked(int id) const { return Button(id)->isChecked(); }
    bool Enabled(int id) const { return dlg->Control(id)->isEnabled(); }
    void ExpectEnabled(std::initializer_list<int> ids, bool on, const char* why) const
    {
        for (int id : ids) EXPECT_EQ(Enabled(id), on) << "control " << id << ": " << why;
    }
    CDisplayMode Result() const
    {
        CDisplayMode m;
        dlg->CopyToMode(m);
        return m;
    }

    std::unique_ptr<CDisplayDlg> dlg;
    std::vector<CDisplayMode> applied;
};

} // namespace

TEST_F(DisplayDlgTest, ShowsTheSettingsItWasGiven)
{
    Open(true, Unusual());
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Display Settings"));
    EXPECT_TRUE(Checked(124));
    EXPECT_TRUE(Checked(128)) << "HEX vertical";
    EXPECT_FALSE(Checked(126));
    EXPECT_FALSE(Checked(135));
    EXPECT_TRUE(Checked(141));
    EXPECT_TRUE(Checked(142));
    EXPECT_TRUE(Checked(147)) << "1000 ms";
    EXPECT_FALSE(Checked(152));
    EXPECT_TRUE(Checked(153));
    for (int slot = 0; slot < kDisplayColourCount; ++slot) EXPECT_EQ(dlg->Swatch(slot)->Colour(), slot + 1) << slot;
    EXPECT_EQ(dlg->Control(130), dlg->Swatch(kColourTXD));
    EXPECT_EQ(dlg->Control(155), dlg->Swatch(kColourBackground));
    EXPECT_FALSE(Enabled(157)) << "Apply waits for a change";
    ExpectEnabled({137, 138, 139, 140}, false, "Error is off");
    ExpectEnabled({144, 145, 146, 147, 326, 148, 149, 150, 151}, true, "Time Stamp is on");

    // Opened and left at once: nothing changes.
    Click(1);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    const CDisplayMode back = Result();
    EXPECT_EQ(Settings(back), Settings(Unusual()));
    EXPECT_TRUE(applied.empty());
}

TEST_F(DisplayDlgTest, DataOffClearsErrorAndStatusAndDisablesWhatDependsOnData)
{
    CDisplayMode mode;
    mode.Status = 1;
    mode.Stamp = 1;
    Open(true, mode);
    ASSERT_TRUE(Checked(135));
    ASSERT_TRUE(Checked(141));

    Click(124);
    EXPECT_FALSE(Checked(124));
    EXPECT_FALSE(Checked(135));
    EXPECT_FALSE(Checked(141));
    EXPECT_TRUE(Checked(142)) << "Time Stamp is not touched";
    ExpectEnabled({126, 127, 128, 129, 130, 131, 132, 133, 134, 135, 137, 138, 139, 140, 141}, false, "Data off");
    ExpectEnabled({124, 142, 144, 148, 149, 152, 153, 154, 155, 156, 157}, true, "independent of Data");

    // Data back on: the choices stay off, their controls become usable again.
    Click(124);
    EXPECT_FALSE(Checked(135));
    EXPECT_FALSE(Checked(141));
    ExpectEnabled({126, 127, 128, 129, 130, 131, 132, 133, 134, 135, 141}, true, "Data on");
    ExpectEnabled({137, 138, 139, 140}, false, "Error still off");

    Click(135);
    ExpectEnabled({137, 138, 139, 140}, true, "Error on");
    Click(142);
    ExpectEnabled({144, 145, 146, 147, 326, 148, 149, 150, 151}, false, "Time Stamp off");

    Click(1);
    const CDisplayMode back = Result();
    EXPECT_EQ(back.Data, 1);
    EXPECT_EQ(back.Error, 1);
    EXPECT_EQ(back.Status, 0);
    EXPECT_EQ(back.Stamp, 0);
}

TEST_F(DisplayDlgTest, EveryChangeEnablesApplyAndApplyDisablesItAgain)
{
    CDisplayMode target;
    Open(true, target, &target);
    for (int id : {127, 145, 152, 153, 141, 135, 142, 124}) {
        ASSERT_FALSE(Enabled(157)) << id;
        if (id == 145) Click(142); // the resolutions need stamps on
        Click(id);
        EXPECT_TRUE(Enabled(157)) << "after clicking " << id;
        Click(157);
        EXPECT_FALSE(Enabled(157)) << id;
    }
    EXPECT_EQ(applied.size(), 8u);
}

TEST_F(DisplayDlgTest, ApplyWritesTheTargetAndCancelKeepsWhatWasApplied)
{
    FakePicker picker;
    CDisplayMode document = Unusual();
    const CDisplayMode before = document;
    Open(true, document, &document);

    Click(126);               // ASCII
    picker.answer = 0x123456;
    Click(155);               // background colour
    Click(157);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(document.DataMode, 0);
    EXPECT_EQ(document.crBkColor, 0x123456);
    EXPECT_EQ(applied[0].DataMode, 0);
    EXPECT_EQ(applied[0].crBkColor, 0x123456);
    EXPECT_EQ(applied[0].cxLine, 640) << "what the dialog does not edit travels along";
    EXPECT_EQ(applied[0].cxChar, 8);
    EXPECT_EQ(document.cxLine, 640);

    // A later change that is cancelled goes nowhere; the applied one stays.
    Click(127);
    Click(2);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_EQ(document.DataMode, 0);
    EXPECT_EQ(document.crBkColor, 0x123456);
    EXPECT_EQ(applied.size(), 1u);
    document.DataMode = before.DataMode;
    document.crBkColor = before.crBkColor;
    EXPECT_EQ(Settings(document), Settings(before)) << "nothing else was applied";
}

TEST_F(DisplayDlgTest, CancelEscapeAndCloseChangeNothing)
{
    FakePicker picker;
    picker.answer = 0xABCDEF;
    for (int way = 0; way < 3; ++way) {
        CDisplayMode document;
        Open(true, document, &document);
        Click(124);
        Click(142);
        Click(153);
        Click(156);
        Click(130);
        if (way == 0) Click(2);
        if (way == 1) QTest::keyClick(dlg.get(), Qt::Key_Escape);
        if (way == 2) dlg->close();
        EXPECT_EQ(dlg->result(), QDialog::Rejected) << way;
        EXPECT_EQ(Settings(document), Settings(CDisplayMode())) << way;
        EXPECT_TRUE(applied.empty()) << way;
    }
}

TEST_F(DisplayDlgTest, DefaultRestoresEverySettingWhenEditable)
{
    Open(true, Unusual());
    Click(156);
    EXPECT_TRUE(Enabled(157));
    Click(1);
    const CDisplayMode back = Result();
    EXPECT_EQ(Settings(back), (std::vector<int32_t>{1, 0, 16711680, 4236, 25856, 1, 8421631, 65535, 0, 0, 0, 12801315,
                                                    8629910, 1, 0, 16777215}));
    EXPECT_EQ(dlg->Swatch(kColourStampBack)->Colour(), 8629910);
    ExpectEnabled({144, 145, 146, 147, 326, 148, 149, 150, 151}, false, "stamps are off by default");
}

TEST_F(DisplayDlgTest, DuringACaptureOnlyColoursAndNoDisplayCanChange)
{
    FakePicker picker;
    picker.answer = 0x00FF00;
    CDisplayMode document = Unusual();
    Open(false, document, &document);
    EXPECT_FALSE(dlg->Editable());

    ExpectEnabled({124, 126, 127, 128, 135, 141, 142, 144, 145, 146, 147, 326, 152}, false, "locked");
    ExpectEnabled({129, 130, 131, 132, 133, 134, 148, 149, 150, 151, 153, 154, 155, 156, 1, 2}, true, "free");
    ExpectEnabled({137, 138, 139, 140}, false, "Error is off");

    // Clicks on locked controls do nothing.
    Click(124);
    Click(126);
    Click(152);
    EXPECT_TRUE(Checked(124));
    EXPECT_TRUE(Checked(128));
    EXPECT_FALSE(Checked(152));
    EXPECT_FALSE(Enabled(157));

    // No Display ticked off, a colour picked, then Default: only the colours
    // go back, and the No Display choice survives.
    Click(153);
    Click(130);
    EXPECT_EQ(dlg->Swatch(kColourTXD)->Colour(), 0x00FF00);
    Click(156);
    EXPECT_FALSE(Checked(153));
    EXPECT_EQ(dlg->Swatch(kColourTXD)->Colour(), 16711680);
    Click(157);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(document.NoDisplay, 0);
    EXPECT_EQ(document.crDataTXD, 16711680);
    EXPECT_EQ(document.crBkColor, 16777215);
    EXPECT_EQ(document.DataMode, 2);
    EXPECT_EQ(document.StampMode, 3);
    EXPECT_EQ(document.Status, 1);
    EXPECT_EQ(document.DateTime, 0);
}

TEST_F(DisplayDlgTest, TheLockedFormNeverChangesALockedSetting)
{
    // Line status on without data rows (the toolbar's switch allows it) and
    // modes no control can show: a capture must go on recording exactly as
    // it did when only a colour is changed.
    CDisplayMode mode;
    mode.Data = 0;
    mode.Error = 1;
    mode.Status = 1;
    mode.DataMode = 7;
    mode.StampMode = -2;
    mode.Stamp = -1;
    mode.NoDisplay = 2;
    Open(false, mode);
    ExpectEnabled({137, 138, 139, 140}, false, "no data rows, no error colours");
    Click(1);
    CDisplayMode expected = mode;
    expected.NoDisplay = 1; // its box is free, so it comes back as shown
    EXPECT_EQ(Settings(Result()), Settings(expected));

    // Editable, the same record is tidied: the rule applies, and switches
    // and modes come back as the buttons show them.
    Open(true, mode);
    EXPECT_FALSE(Checked(135));
    EXPECT_FALSE(Checked(141));
    EXPECT_TRUE(Checked(126));
    EXPECT_TRUE(Checked(144));
    EXPECT_TRUE(Checked(142));
    Click(1);
    const CDisplayMode tidy = Result();
    EXPECT_EQ(Settings(tidy), (std::vector<int32_t>{0, 0, mode.crDataTXD, mode.crDataRXD, mode.crSpecChar, 0,
                                                    mode.crErrFrame, mode.crErrParity, 0, 1, 0, mode.crStampFore,
                                                    mode.crStampBack, 1, 1, mode.crBkColor}));
}

TEST_F(DisplayDlgTest, ColourButtonsAskThePickerWithTheirColour)
{
    FakePicker picker;
    Open(true, Unusual());

    picker.answer.reset(); // the user cancels the picker
    Click(132);
    ASSERT_EQ(picker.asked.size(), 1u);
    EXPECT_EQ(picker.asked[0], 2);
    EXPECT_EQ(picker.parents[0], dlg.get());
    EXPECT_EQ(dlg->Swatch(kColourRXD)->Colour(), 2);
    EXPECT_FALSE(Enabled(157)) << "a cancelled pick is no change";

    // The framing swatch is disabled (Error off): it must not ask at all.
    picker.asked.clear();
    Click(138);
    EXPECT_TRUE(picker.asked.empty());

    const std::vector<std::pair<int, int>> swatches = {{130, kColourTXD},       {132, kColourRXD},
                                                       {134, kColourSpecChar},  {149, kColourStampFore},
                                                       {151, kColourStampBack}, {155, kColourBackground}};
    int32_t colour = 0x101010;
    for (const auto& [id, slot] : swatches) {
        picker.answer = ++colour;
        Click(id);
        EXPECT_EQ(picker.asked.back(), slot + 1) << id;
        EXPECT_EQ(dlg->Swatch(slot)->Colour(), colour) << id;
        EXPECT_TRUE(Enabled(157)) << id;
    }
    Click(1);
    const CDisplayMode back = Result();
    EXPECT_EQ(back.crDataTXD, 0x101011);
    EXPECT_EQ(back.crBkColor, 0x101016);
    EXPECT_EQ(back.crErrFrame, 4);
}

TEST_F(DisplayDlgTest, TextsAndAccessKeys)
{
    {
        CatalogueScope scope(QStringLiteral("123=Anzeige\n326=Datum && Zeit\n143=Zeitstempel\n157=Ü&bernehmen\n"));
        Open(true, CDisplayMode());
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Anzeige"));
        EXPECT_EQ(Button(326)->text(), QStringLiteral("Datum && Zeit"));
        EXPECT_EQ(qobject_cast<QGroupBox*>(dlg->Control(143))->title(), QStringLiteral("Zeitstempel"));
        EXPECT_EQ(Button(157)->text(), QStringLiteral("Ü&bernehmen"));
        EXPECT_EQ(Button(156)->text(), QStringLiteral("Defau&lt"));
    }
    Open(true, CDisplayMode());
    EXPECT_EQ(Button(326)->text(), QStringLiteral("Date && Time"));
    QApplication::setActiveWindow(dlg.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    // Alt+S is "No Di&splay": it toggles the box like a click.
    // (a button pressed by its key is released a moment later).
    QTest::keyClick(dlg.get(), Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return Checked(153); }, 2000));
    EXPECT_TRUE(Enabled(157));
    // Alt+X is the TXD colour's label: it leads to its swatch.
    QTest::keyClick(dlg.get(), Qt::Key_X, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), dlg->Swatch(kColourTXD));
}
