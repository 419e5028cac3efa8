#include "CPrintJob.h"

#include "CAnalyzerDoc.h"
#include "CAnalyzerView.h"
#include "CDisplayFonts.h"
#include "CLines.h"
#include "ColorRef.h"
#include "ViewGeometry.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>

using namespace printgeo;

namespace {
constexpr int32_t kPaperWhite = 0xFFFFFF;
} // namespace

CPrintJob::CPrintJob(CAnalyzerView& view) : view(view) {}

CPrintJob::~CPrintJob() = default;

int CPrintJob::BandHeight() const
{
    return viewgeo::BandLayout{settings.cxChar, settings.cyChar, settings.Data != 0, settings.DataMode,
                               settings.Status != 0}
        .BandHeight();
}

CPrintJob::State CPrintJob::Begin(const QPrinter& printer)
{
    const int dpi = printer.resolution();
    return Begin(dpi, printer.pageLayout().paintRectPixels(dpi).size());
}

CPrintJob::State CPrintJob::Begin(int dpi, QSize printable)
{
    {
        CStoreGuard guard(view.StoreLock());
        settings = view.Doc().DisplayMode();
        lineCount = view.Doc().Lines().GetLineCount();
    }
    fonts.reset();
    linesPerPage = 0;
    pages = 0;
    scale = ComputeScale(dpi, printable.width(), settings.cxLine);
    if (!scale.Usable()) {
        // Not even a one-pixel font fits across the page.
        state = State::PageTooSmall;
        return state;
    }
    fonts = std::make_unique<CDisplayFonts>(scale.fontHeight, scale.stampFontHeight);
    pens[0] = QPen(ColorFromRef(settings.crDataTXD), scale.unit, Qt::SolidLine);
    pens[1] = QPen(ColorFromRef(settings.crDataRXD), scale.unit, Qt::SolidLine);
    const CharCell cell = fonts->MeasurePrintCell();
    settings.cxChar = cell.cxChar;
    settings.cyChar = cell.cyChar;
    settings.crBkColor = kPaperWhite;

    const Edges area = PageArea(Edges{0, 0, printable.width(), printable.height()}, scale.margin);
    linesPerPage = printgeo::LinesPerPage(BandHeight(), scale.lineGap, area.top, area.bottom);
    if (linesPerPage == 0) {
        state = State::PageTooSmall;
        return state;
    }
    pages = printgeo::PageCount(lineCount, linesPerPage);
    state = pages == 0 ? State::Empty : State::Ready;
    return state;
}

void CPrintJob::PrintPage(QPainter& dc, int page, const QRect& drawing)
{
    if (state != State::Ready || page < 1 || page > pages) return;
    const int h = BandHeight();
    const Edges area = PageArea(Edges{drawing.left(), drawing.top(), drawing.left() + drawing.width(),
                                      drawing.top() + drawing.height()},
                                scale.margin);
    const int c = scale.captionWidth;
    const int perPage = printgeo::LinesPerPage(h, scale.lineGap, area.top, area.bottom);
    int line = FirstLineOfPage(page, perPage);
    const DrawTools tools{fonts.get(), pens, &lineState};
    CStatus(0x5F, 0x5F).CopyLevelsTo(lineState);

    dc.save();
    view.DrawCaptions(dc, QRect(area.left, area.top, c, area.Height()), settings, true, scale.lineGap, *fonts);
    QRect band(area.left + c, area.top, area.right - (area.left + c), h);
    {
        CStoreGuard guard(view.StoreLock());
        const int count = view.Doc().Lines().GetLineCount();
        for (; band.top() + h <= area.bottom && line < count; ++line) {
            view.DrawLine(dc, band, line, 0, settings, scale.unit, tools);
            band.translate(0, h + scale.lineGap);
        }
    }
    dc.restore();
}

CPrintJob::Outcome CPrintJob::PrintTo(QPrinter& printer)
{
    switch (Begin(printer)) {
    case State::Empty: return Outcome::Empty;
    case State::PageTooSmall: return Outcome::PageTooSmall;
    default: break;
    }
    int first = 1;
    int last = pages;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::max(printer.fromPage(), 1);
        last = std::min(printer.toPage() > 0 ? printer.toPage() : pages, pages);
        if (first > last) return Outcome::Empty;
    }
    const bool reverse = printer.pageOrder() == QPrinter::LastPageFirst;
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(printer.copyCount(), 1);
    const bool collate = printer.collateCopies();
    const int dpi = printer.resolution();
    const QRect paint = printer.pageLayout().paintRectPixels(dpi);
    const QRect drawing(0, 0, paint.width(), paint.height());

    QPainter dc;
    if (!dc.begin(&printer)) return Outcome::Failed;
    bool firstSheet = true;
    auto sheet = [&](int page) {
        if (!firstSheet && !printer.newPage()) return false;
        firstSheet = false;
        PrintPage(dc, page, drawing);
        return printer.printerState() != QPrinter::Error;
    };
    const int outer = collate ? copies : 1;
    const int inner = collate ? 1 : copies;
    bool ok = true;
    for (int copy = 0; ok && copy < outer; ++copy) {
        for (int i = 0; ok && i <= last - first; ++i) {
            const int page = reverse ? last - i : first + i;
            for (int repeat = 0; ok && repeat < inner; ++repeat) ok = sheet(page);
        }
    }
    ok = dc.end() && ok;
    return ok && printer.printerState() != QPrinter::Error ? Outcome::Printed : Outcome::Failed;
}
