#pragma once
// One print job over the capture. When it begins it takes a copy of the
// document's display settings (with the paper's character cell and a white
// background), lays the pages out for one printer's resolution and printable
// area, and makes fonts and pens scaled for paper. Any page can then be drawn
// on its own, in any order, so a preview draws only the pages it shows. The
// screen's fonts and pens are never touched.
#include "CDisplayMode.h"
#include "CStatus.h"
#include "PrintGeometry.h"

#include <QPen>
#include <QSize>

#include <memory>

class CAnalyzerView;
class CDisplayFonts;
class QPainter;
class QPrinter;
class QRect;

class CPrintJob {
public:
    enum class State {
        NotBegun,
        Ready,        // pages to print
        Empty,        // the store has no lines: no pages
        PageTooSmall, // not one line band fits on the page: nothing to print
    };
    // What printing to a printer came to.
    enum class Outcome { Printed, Empty, PageTooSmall, Failed };

    explicit CPrintJob(CAnalyzerView& view);
    ~CPrintJob();
    CPrintJob(const CPrintJob&) = delete;
    CPrintJob& operator=(const CPrintJob&) = delete;

    // Lays the job out for a device of `dpi` whose printable area is
    // `printable` pixels; the settings and the line count are taken now.
    State Begin(int dpi, QSize printable);
    // Begin with the printer's resolution and printable area.
    State Begin(const QPrinter& printer);

    State GetState() const { return state; }
    int PageCount() const { return pages; }
    int LinesPerPage() const { return linesPerPage; }
    int LineCount() const { return lineCount; }
    int BandHeight() const;
    const printgeo::PrintScale& Scale() const { return scale; }
    const CDisplayMode& Settings() const { return settings; }
    const CDisplayFonts* Fonts() const { return fonts.get(); }

    // Draws page `page` (from 1) into `drawing`, the printable area in the
    // painter's coordinates. Takes the store lock while it reads lines.
    void PrintPage(QPainter& dc, int page, const QRect& drawing);

    // Begins on `printer` and prints its page range (all pages unless the
    // printer names a range), with as many copies as the printer cannot make
    // itself.
    Outcome PrintTo(QPrinter& printer);

private:
    CAnalyzerView& view;
    State state = State::NotBegun;
    CDisplayMode settings;
    printgeo::PrintScale scale;
    std::unique_ptr<CDisplayFonts> fonts;
    QPen pens[2];
    CStatus lineState{0x5F, 0x5F};
    int lineCount = 0;
    int linesPerPage = 0;
    int pages = 0;
};
