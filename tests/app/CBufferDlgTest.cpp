// The buffer dialog's widgets on their own: what it shows when it opens, the
// folder chooser, the clock while a series runs, where the focus goes after a
// refused Start, and the close request when nothing runs. Its work with the
// document is in SeriesCommandsTest.
#include "CBufferDlg.h"
#include "DialogServices.h"

#include "FolderChooser.h"
#include "LocalStrings.h"
#include "MessageService.h"
#include "support/DiskTempDir.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class Chooser : public ks::FolderChooser {
public:
    Chooser() { previous = ks::SetFolderChooser(this); }
    ~Chooser() override { ks::SetFolderChooser(previous); }
    std::optional<QString> ChooseFolder(const QString& t, const QString& s, QWidget*) override
    {
        title = t;
        start = s;
        return answer;
    }
    std::optional<QString> answer;
    QString title, start;

private:
    ks::FolderChooser* previous = nullptr;
};

QString Text(CBufferDlg& dlg, int id) { return static_cast<QLabel*>(dlg.Control(id))->text(); }

} // namespace

TEST(CBufferDlg, OpensWithTheLastValuesAndAFileSizeWithinTheSlider)
{
    DiskTempDir disk;
    CBufferSetup values;
    values.directory = disk.Path();
    values.fileName = QStringLiteral("night");
    values.fileNumberText = QStringLiteral("3");
    values.buffersPerFile = 9; // edited by hand in the settings file
    values.overwrite = 1;
    LanguageCatalogue().LoadFromText(QStringLiteral("189=&Begin\n316=Ended:\n"));
    CBufferDlg dlg(values);
    LanguageCatalogue().Clear();
    EXPECT_EQ(static_cast<QPushButton*>(dlg.Control(189))->text(), QStringLiteral("&Begin"));
    EXPECT_EQ(Text(dlg, 193), QStringLiteral("Ended:"));
    auto* slider = static_cast<QSlider*>(dlg.Control(202));
    EXPECT_EQ(slider->minimum(), 2);
    EXPECT_EQ(slider->maximum(), 7);
    EXPECT_EQ(values.buffersPerFile, 7) << "taken back from the slider";
    EXPECT_EQ(Text(dlg, 209), CBufferSetup::FormatByteSize(7 * 3 * CBufferSetup::kBytesPerBuffer));
    EXPECT_TRUE(static_cast<QCheckBox*>(dlg.Control(205))->isChecked());
    EXPECT_EQ(static_cast<QLineEdit*>(dlg.Control(200))->text(), QStringLiteral("night"));
    EXPECT_TRUE(Text(dlg, 192).isEmpty());
    EXPECT_FALSE(dlg.Control(190)->isEnabled());
    EXPECT_TRUE(dlg.Control(195)->isHidden());

    // Typing a number of files updates the estimate at once.
    auto* files = static_cast<QLineEdit*>(dlg.Control(204));
    files->selectAll();
    QTest::keyClicks(files, QStringLiteral("10x"));
    EXPECT_EQ(files->text(), QStringLiteral("10")) << "digits only";
    EXPECT_EQ(Text(dlg, 209), CBufferSetup::FormatByteSize(7 * 10 * CBufferSetup::kBytesPerBuffer));
    slider->setValue(2);
    EXPECT_EQ(Text(dlg, 209), CBufferSetup::FormatByteSize(2 * 10 * CBufferSetup::kBytesPerBuffer)) << "and so does the slider";
}

TEST(CBufferDlg, ReferenceTakesTheChosenFolderAndCancelKeepsTheOld)
{
    DiskTempDir disk;
    CBufferSetup values;
    values.directory = QStringLiteral("/no/such/place");
    CBufferDlg dlg(values);
    EXPECT_EQ(Text(dlg, 207), QStringLiteral("0 B")) << "no file system answers for a missing folder";
    Chooser chooser;
    static_cast<QPushButton*>(dlg.Control(198))->click();
    EXPECT_EQ(chooser.title, QStringLiteral("Select folder"));
    EXPECT_EQ(chooser.start, QStringLiteral("/no/such/place"));
    EXPECT_EQ(values.directory, QStringLiteral("/no/such/place"));
    chooser.answer = disk.Path();
    static_cast<QPushButton*>(dlg.Control(198))->click();
    EXPECT_EQ(static_cast<QLineEdit*>(dlg.Control(197))->text(), disk.Path());
    EXPECT_NE(Text(dlg, 207), QStringLiteral("0 B"));
}

TEST(CBufferDlg, ARefusedStartSaysWhyAndPointsAtTheField)
{
    DiskTempDir disk;
    CBufferSetup values;
    values.directory = disk.Path();
    values.fileName = QStringLiteral("x");
    values.fileNumberText = QStringLiteral("0");
    CBufferDlg dlg(values);
    MessageLog messages;
    bool connected = false;
    int starts = 0;
    dlg.isConnected = [&] { return connected; };
    dlg.startSeries = [&] { return ++starts, true; };
    static_cast<QPushButton*>(dlg.Control(189))->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], QStringLiteral("Open Device Failed!"));
    connected = true;
    static_cast<QPushButton*>(dlg.Control(189))->click();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1], LoadLocalString(323));
    EXPECT_EQ(dlg.focusWidget(), dlg.Control(204));
    EXPECT_EQ(starts, 0);
    EXPECT_FALSE(dlg.IsRunning());
}

TEST(CBufferDlg, NotEnoughSpaceShowsTheFiguresItWasDecidedOn)
{
    DiskTempDir disk;
    CBufferSetup values;
    values.directory = disk.Path();
    values.fileName = QStringLiteral("x");
    values.fileNumberText = QStringLiteral("1");
    CBufferDlg dlg(values);
    MessageLog messages;
    dlg.isConnected = [] { return true; };
    dlg.startSeries = [] { return true; };
    const QString small = Text(dlg, 209);
    // A number put in without an edit of the field (as a paste the edit
    // did not report): no estimate was shown for it yet.
    static_cast<QLineEdit*>(dlg.Control(204))->setText(QStringLiteral("999999"));
    EXPECT_EQ(Text(dlg, 209), small);
    static_cast<QPushButton*>(dlg.Control(189))->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], LoadLocalString(302));
    EXPECT_EQ(Text(dlg, 209), CBufferSetup::FormatByteSize(2 * 999999 * CBufferSetup::kBytesPerBuffer));
    EXPECT_EQ(Text(dlg, 211), QStringLiteral("-"));
}

TEST(CBufferDlg, TheClockRunsWhileASeriesRecords)
{
    DiskTempDir disk;
    CBufferSetup values;
    values.directory = disk.Path();
    values.fileName = QStringLiteral("clock");
    CBufferDlg dlg(values);
    dlg.isConnected = [] { return true; };
    dlg.startSeries = [] { return true; };
    int stops = 0;
    dlg.stopSeries = [&] { ++stops; };
    dlg.show();
    static_cast<QPushButton*>(dlg.Control(189))->click();
    ASSERT_TRUE(dlg.IsRunning());
    const QString started = Text(dlg, 192);
    EXPECT_EQ(started.size(), 19) << started.toStdString(); // yyyy/MM/dd HH:mm:ss
    EXPECT_EQ(Text(dlg, 194), started);
    QTest::qWait(2100);
    EXPECT_GT(Text(dlg, 194), started) << "the clock ticked";
    EXPECT_LE(Text(dlg, 194), QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    dlg.ShowReadingIndicator();
    EXPECT_TRUE(dlg.ReadingShown());
    static_cast<QPushButton*>(dlg.Control(190))->click();
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(dlg.ReadingShown());
    const QString stopped = Text(dlg, 194);
    QTest::qWait(1100);
    EXPECT_EQ(Text(dlg, 194), stopped) << "the clock stopped with the series";
    dlg.reject();
    EXPECT_FALSE(dlg.isVisible()) << "nothing runs: the close request closes";
}
