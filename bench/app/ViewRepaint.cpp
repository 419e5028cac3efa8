// A full repaint of a 1920 x 1080 view filled with lines: rendering every
// band from the store into the view's image, and the whole paint (render plus
// the copy to the window), with the real document, view and fonts.
#include "CAnalyzerDoc.h"
#include "CAnalyzerView.h"
#include "WindowMessages.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct Filled {
    CAnalyzerDoc doc{std::string()};
    std::unique_ptr<CAnalyzerView> view;

    Filled(bool status, bool stamp)
    {
        view = std::make_unique<CAnalyzerView>(&doc);
        doc.SetView(view.get());
        view->resize(1920, 1080);
        view->show(); // offscreen: gives the viewport its size
        view->EnsureLineWidth(1920);
        CDisplayMode& mode = doc.DisplayMode();
        mode.Status = status ? 1 : 0;
        mode.Stamp = stamp ? 1 : 0;
        CStoreGuard guard(view->StoreLock());
        // Printable text both ways, a status change and a tick now and then.
        for (int i = 0; i < 60000; ++i) {
            doc.Lines().AddDataChar(static_cast<uint8_t>(0x20 + i % 95), (i % 3) ? 0x20 : 0x28, mode);
            if (i % 97 == 0) doc.Lines().AddStatus(static_cast<uint8_t>(0x40 | (i / 97) % 32), mode);
            if (i % 41 == 0) doc.Lines().AddTick(5, 0, mode);
        }
    }
};

void RenderAllBands(benchmark::State& state)
{
    Filled filled(state.range(0) != 0, state.range(0) != 0);
    SendMessage(filled.view.get(), WM_VIEW_STATE, VIEW_LOG_REPLACED);
    for (auto _ : state) {
        filled.view->RenderNow();
        benchmark::DoNotOptimize(filled.view->BackingImage().constBits());
    }
    state.counters["bands"] = filled.view->GetVisibleLineCount();
    state.counters["height"] = filled.view->viewport()->height();
    state.counters["cyChar"] = filled.doc.DisplayMode().cyChar;
}
BENCHMARK(RenderAllBands)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->ArgName("status_and_stamp");

void FullPaintToWindow(benchmark::State& state)
{
    Filled filled(false, false);
    SendMessage(filled.view.get(), WM_VIEW_STATE, VIEW_LOG_REPLACED);
    QImage target(1920, 1080, QImage::Format_RGB32);
    for (auto _ : state) {
        filled.view->Invalidate();
        filled.view->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(FullPaintToWindow)->Unit(benchmark::kMillisecond);

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
