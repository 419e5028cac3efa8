// The Frames pane over a million frames: showing it, and scrolling its list
// to the end and back, each with the table drawn (rows are made only when
// they are shown). Run: QT_QPA_PLATFORM=offscreen build/bin/ks-bench-FramesPane
#include "CAnalyzerDoc.h"
#include "CAnalyzerView.h"
#include "CFrameTableModel.h"
#include "CFramesPane.h"
#include "ModbusRules.h"

#include <QApplication>
#include <QImage>
#include <QTableView>

#include "../ModbusRecords.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

struct MillionFrames {
    CAnalyzerDoc doc{std::string()};
    std::unique_ptr<CAnalyzerView> view;
    std::unique_ptr<CFramesPane> pane;
    QImage target{1200, 400, QImage::Format_RGB32};

    MillionFrames()
    {
        view = std::make_unique<CAnalyzerView>(&doc);
        doc.SetView(view.get());
        doc.Frames().Configure({DecodeProtocol::ModbusRtu, MasterSide::Txd});
        std::vector<uint8_t> block;
        for (unsigned poll = 0; poll < 500000; ++poll) {
            block.clear();
            PutRtuFrame(block, {1, 3, 0, static_cast<uint8_t>(poll), 0, 2}, false);
            PutRtuFrame(block, {1, 3, 4, static_cast<uint8_t>(poll >> 8), static_cast<uint8_t>(poll), 0, 9}, true);
            doc.Frames().AddLiveBlock(block.data(), block.size());
        }
        pane = std::make_unique<CFramesPane>(*view);
        pane->resize(1200, 400);
    }
    void Draw() { pane->render(&target); }
};

void ShowMillionFrames(benchmark::State& state)
{
    MillionFrames m;
    for (auto _ : state) {
        m.pane->Refresh();
        m.pane->show();
        m.Draw();
        state.PauseTiming();
        m.pane->hide();
        state.ResumeTiming();
    }
    state.counters["frames"] = m.pane->Model().rowCount();
}
BENCHMARK(ShowMillionFrames)->Unit(benchmark::kMillisecond);

void ScrollMillionFrames(benchmark::State& state)
{
    MillionFrames m;
    m.pane->show();
    m.pane->Refresh();
    m.Draw();
    for (auto _ : state) {
        if (state.range(0)) m.pane->Table().scrollToBottom();
        else m.pane->Table().scrollToTop();
        m.Draw();
        state.PauseTiming();
        if (state.range(0)) m.pane->Table().scrollToTop();
        else m.pane->Table().scrollToBottom();
        m.Draw();
        state.ResumeTiming();
    }
}
BENCHMARK(ScrollMillionFrames)->Arg(1)->Arg(0)->ArgName("to_end")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
