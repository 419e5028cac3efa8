// The Frames pane in the running program offscreen: Settings, Decoding...
// decodes the open capture, the pane lists its frames (bad ones in the error
// colour), selecting one scrolls the view to it and marks its characters,
// and Ctrl+C copies the selected rows.
#include "LogAtRest.h"

#include "CDecodingDlg.h"
#include "CDataChar.h"
#include "CFrameTableModel.h"
#include "CFramesPane.h"
#include "ColorRef.h"
#include "CommandIds.h"
#include "ModbusRules.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDockWidget>
#include <QTableView>
#include <QTest>

#include <fstream>

namespace {

void Put(std::vector<uint8_t>& body, std::vector<uint8_t> frame, bool rxd, bool damage = false)
{
    const uint16_t crc = modbus::Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc));
    frame.push_back(static_cast<uint8_t>(crc >> 8 ^ (damage ? 1 : 0)));
    for (uint8_t b : frame) {
        body.push_back(rxd ? 0x28 : 0x20);
        body.push_back(b);
    }
}

// The marked data characters: (rxd, character).
std::vector<std::pair<bool, int>> FramesPaneMarked(CAnalyzerView& view, CAnalyzerDoc& doc)
{
    std::vector<std::pair<bool, int>> marked;
    CStoreGuard guard(view.StoreLock());
    const CLines& lines = doc.Lines();
    for (int l = 0; l < lines.GetLineCount(); ++l) {
        for (int i = 0; i < lines.GetLine(l)->GetItemCount(); ++i) {
            const CShape* item = lines.GetLine(l)->GetItem(i);
            if (item->mark && item->GetKind() == KIND_DATA) {
                const auto* c = static_cast<const CDataChar*>(item);
                marked.emplace_back(c->IsRxd(), c->Character());
            }
        }
    }
    return marked;
}

class FramesPane : public LogAtRest {
protected:
    // Polls of two registers and their answers; the answer to poll `damaged`
    // has a wrong CRC.
    std::string WriteCapture(int polls, int damaged)
    {
        std::ifstream sample(KS_SOURCE_DIR "/samples/modem-session.ksf", std::ios::binary);
        std::vector<char> header(94);
        sample.read(header.data(), 94);
        std::vector<uint8_t> body;
        for (int i = 0; i < polls; ++i) {
            Put(body, {1, 3, 0, static_cast<uint8_t>(i), 0, 2}, false);
            Put(body, {1, 3, 4, 0, static_cast<uint8_t>(i), 0, 9}, true, i == damaged);
        }
        const std::string path = dir.Path("polls.ksf");
        std::ofstream out(path, std::ios::binary);
        out.write(header.data(), 94);
        out.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
        return path;
    }
    void ChooseModbusRtu()
    {
        Doc()->runDialog = [](QDialog& dialog) {
            auto& decoding = static_cast<CDecodingDlg&>(dialog);
            decoding.ProtocolBox().setCurrentIndex(1);
            decoding.MasterBox().setCurrentIndex(0);
            return int(QDialog::Accepted);
        };
        Frame()->RunCommand(ID_DECODING_SETTINGS);
    }
};

} // namespace

TEST_F(FramesPane, ListsTheDecodedCaptureAndASelectedFrameIsMarkedAndScrolledTo)
{
    ASSERT_TRUE(Doc()->OnOpenDocument(WriteCapture(2000, 1500)));
    ChooseModbusRtu();
    CFramesPane& pane = *Frame()->FramesPane();
    EXPECT_TRUE(Frame()->FramesDock()->isVisible());
    ASSERT_EQ(pane.Model().rowCount(), 4000);

    // The answer to poll 1500: its 9 characters, RXD, marked; the view there.
    pane.SelectRow(3001);
    const std::vector<std::pair<bool, int>> marked = FramesPaneMarked(*View(), *Doc());
    ASSERT_EQ(marked.size(), 9u);
    for (const auto& [rxd, character] : marked) EXPECT_TRUE(rxd);
    EXPECT_EQ(marked[4].second, 1500 % 256);
    EXPECT_GT(View()->FirstVisibleLine(), 0);
    EXPECT_EQ(pane.Message(), QString());

    // Its CRC is wrong: the row is drawn in the error colour; its neighbour not.
    const QModelIndex bad = pane.Model().index(3001, CFrameTableModel::Check);
    EXPECT_EQ(pane.Model().data(bad, Qt::ForegroundRole).value<QColor>(),
              ColorFromRef(Doc()->DisplayMode().crErrFrame));
    EXPECT_FALSE(pane.Model().data(pane.Model().index(3003, 0), Qt::ForegroundRole).isValid());

    // Copy: the selected rows as text.
    pane.Table().selectRow(1);
    QTest::keyClick(&pane.Table(), Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("2\t")) && copied.contains(QStringLiteral("values 0 9")) &&
                copied.contains(QStringLiteral("reply to 1")))
        << copied.toStdString();

    // The choice is kept in the settings file.
    EXPECT_EQ(ReadDecodeSettings(Doc()->SettingsPath()).protocol, DecodeProtocol::ModbusRtu);
    EXPECT_EQ(ReadDecodeSettings(Doc()->SettingsPath()).master, MasterSide::Txd);

    // A new capture empties the list.
    Doc()->OnNewDocument();
    pane.Refresh();
    EXPECT_EQ(pane.Model().rowCount(), 0);
}

namespace {

class LiveFrames : public AppFixture {};

} // namespace

TEST_F(LiveFrames, ALiveModbusCaptureIsDecodedAsItComesAndItsFramesFoundInTheView)
{
    Setup setup;
    setup.scenario = "modbus-mix";
    ASSERT_TRUE(StartApp(setup));
    Doc()->runDialog = [](QDialog& dialog) {
        static_cast<CDecodingDlg&>(dialog).ProtocolBox().setCurrentIndex(1);
        static_cast<CDecodingDlg&>(dialog).MasterBox().setCurrentIndex(0);
        return int(QDialog::Accepted);
    };
    Frame()->RunCommand(ID_DECODING_SETTINGS);
    CFramesPane& pane = *Frame()->FramesPane();
    Frame()->RunCommand(ID_ANALYZER_START);
    // Frames arrive while the capture runs, and the list follows them.
    ASSERT_TRUE(WaitUntil([&pane] { return pane.Model().rowCount() >= 12; }, 20000));
    Pump(2 * CFramesPane::kRefreshMs);
    const int rows = pane.Model().rowCount();
    const QModelIndex last = pane.Model().index(rows - 1, 0);
    EXPECT_TRUE(pane.Table().viewport()->rect().intersects(pane.Table().visualRect(last)));
    Frame()->RunCommand(ID_ANALYZER_STOP);
    pane.Refresh();

    // A response paired with its request: its characters are the ones marked.
    int row = -1;
    CFrame frame;
    for (int r = pane.Model().rowCount() - 1; r >= 0 && row < 0; --r) {
        if (pane.Model().FrameAt(r, frame) && frame.kind == FrameKind::Response && !frame.IsBad() &&
            frame.requestNumber != 0)
            row = r;
    }
    ASSERT_GE(row, 0);
    pane.SelectRow(row);
    EXPECT_EQ(pane.Message(), QString());
    const std::vector<std::pair<bool, int>> marked = FramesPaneMarked(*View(), *Doc());
    ASSERT_EQ(marked.size(), frame.bytes.size());
    for (std::size_t i = 0; i < marked.size(); ++i) {
        EXPECT_TRUE(marked[i].first);
        EXPECT_EQ(marked[i].second, frame.bytes[i]) << i;
    }
}
