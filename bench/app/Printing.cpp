// Printing speed with the real document, view, print job and Qt's PDF
// printer: a 10,000-line capture printed to a PDF file (target: under 10 s),
// and the print preview of a capture of 10 million records, from the command
// to page 1 on screen (target: within 1 s).
#include "CAnalyzerDoc.h"
#include "CAnalyzerView.h"
#include "CLines.h"
#include "CPrintJob.h"
#include "CPrintPreviewDlg.h"
#include "WindowMessages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

struct Capture {
    CAnalyzerDoc doc{std::string()};
    std::unique_ptr<CAnalyzerView> view;

    explicit Capture(bool statusAndStamps)
    {
        view = std::make_unique<CAnalyzerView>(&doc);
        doc.SetView(view.get());
        view->resize(1280, 900);
        view->show();
        view->EnsureLineWidth(1200);
        CDisplayMode& mode = doc.DisplayMode();
        mode.Status = statusAndStamps ? 1 : 0;
        mode.Stamp = statusAndStamps ? 1 : 0;
    }
    // Records as a capture file holds them: text both ways, a control-line
    // change and a tick now and then, loaded the way opening a file loads.
    void LoadRecords(std::size_t records)
    {
        std::vector<uint8_t> stream;
        stream.reserve(records * 2);
        for (std::size_t i = 0; stream.size() < records * 2; ++i) {
            if (i % 97 == 0) {
                stream.push_back(static_cast<uint8_t>(0x40 | (i / 97) % 32));
                stream.push_back(0);
            } else {
                stream.push_back((i % 3) ? 0x20 : 0x28);
                stream.push_back(static_cast<uint8_t>(0x20 + i % 95));
            }
        }
        CStoreGuard guard(view->StoreLock());
        doc.Lines().DecodeStoredStream(stream.data(), stream.size(), doc.DisplayMode());
    }
    // At least `lines` lines (a few more at most: records go in by the hundred).
    void LoadLines(int lines)
    {
        while (LineCount() < lines) LoadRecords(200);
    }
    int LineCount()
    {
        CStoreGuard guard(view->StoreLock());
        return doc.Lines().GetLineCount();
    }
};

void SetUpA4(QPrinter& printer)
{
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

void PrintToPdf(benchmark::State& state)
{
    Capture capture(state.range(0) != 0);
    capture.LoadLines(10000);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("bench.pdf"));
    int pages = 0;
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        SetUpA4(printer);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        CPrintJob job(*capture.view);
        if (job.PrintTo(printer) != CPrintJob::Outcome::Printed) state.SkipWithError("printing failed");
        pages = job.PageCount();
    }
    state.counters["lines"] = capture.LineCount();
    state.counters["pages"] = pages;
    state.counters["pdf_MB"] = static_cast<double>(QFileInfo(pdf).size()) / 1e6;
}
BENCHMARK(PrintToPdf)->Arg(0)->Arg(1)->ArgName("status_and_stamp")->Iterations(1)->Unit(benchmark::kSecond);

void PreviewFirstPageOf10MillionRecords(benchmark::State& state)
{
    Capture capture(true);
    capture.LoadRecords(10'000'000);
    QPrinter printer(QPrinter::HighResolution);
    SetUpA4(printer);
    int pages = 0;
    for (auto _ : state) {
        // From the command to page 1 painted on the screen.
        CPrintPreviewDlg preview(*capture.view, printer);
        preview.show();
        const QPixmap shown = preview.grab();
        benchmark::DoNotOptimize(shown.cacheKey());
        pages = preview.PageCount();
    }
    state.counters["lines"] = capture.LineCount();
    state.counters["pages"] = pages;
}
BENCHMARK(PreviewFirstPageOf10MillionRecords)->Unit(benchmark::kMillisecond)->Iterations(5);

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
