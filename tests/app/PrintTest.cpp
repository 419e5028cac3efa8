// Printing through the real print path: the commands, a PDF written by Qt's
// PDF printer and looked at as pictures, the preview, and what the user is
// told when there is nothing to print.
#include "AppFixture.h"
#include "PdfPictures.h"

#include "CDisplayFonts.h"
#include "CLineInfo.h"
#include "CLines.h"
#include "CPrintDialogs.h"
#include "CPrintJob.h"
#include "CPrintPreviewDlg.h"
#include "CViewPrinting.h"
#include "ColorRef.h"
#include "CommandIds.h"
#include "LocalStrings.h"
#include "WindowMessages.h"

#include <QAction>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include <functional>

namespace {

// Dialogs that answer at once: the print dialog chooses "Print to File (PDF)".
class ScriptedPrintDialogs : public CPrintDialogs {
public:
    bool ChoosePrinter(QPrinter& printer, int pageCount, QWidget*) override
    {
        ++printDialogs;
        offeredPages = pageCount;
        if (!pdf.isEmpty()) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        }
        return acceptPrint;
    }
    bool PageSetup(QPrinter& printer, QWidget*) override
    {
        ++pageSetups;
        if (setUpPage) setUpPage(printer);
        return true;
    }
    void RunPreview(QDialog& preview) override
    {
        preview.show();
        if (inPreview) inPreview(static_cast<CPrintPreviewDlg&>(preview));
        preview.close();
    }

    QString pdf;
    bool acceptPrint = true;
    int printDialogs = 0;
    int pageSetups = 0;
    int offeredPages = -1;
    std::function<void(QPrinter&)> setUpPage;
    std::function<void(CPrintPreviewDlg&)> inPreview;
};

constexpr int32_t kHighlight = 0x00FFFF; // yellow
const QColor kCaptionGrey(0xD4, 0xD0, 0xC8);

bool Near(QRgb a, QColor b, int tolerance = 40)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance
           && std::abs(qBlue(a) - b.blue()) <= tolerance;
}

QRgb Pixel(const QImage& image, int x, int y) { return reinterpret_cast<const QRgb*>(image.constScanLine(y))[x]; }

// Runs of rows of a picture that hold a colour near `colour` between x0 and
// x1; runs apart by no more than two rows (where two cells meet and the
// renderer blends their edges) count as one.
struct Stripe {
    int top;
    int bottom; // inclusive
};
std::vector<Stripe> Stripes(const QImage& image, QColor colour, int x0, int x1)
{
    std::vector<Stripe> stripes;
    for (int y = 0; y < image.height(); ++y) {
        bool hit = false;
        for (int x = std::max(x0, 0); x < std::min(x1, image.width()) && !hit; ++x) hit = Near(Pixel(image, x, y), colour);
        if (!hit) continue;
        if (stripes.empty() || y - stripes.back().bottom > 3) stripes.push_back({y, y});
        stripes.back().bottom = y;
    }
    return stripes;
}

int CountNear(const QImage& image, QColor colour, QRect area, int tolerance = 40)
{
    int n = 0;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += Near(Pixel(image, x, y), colour, tolerance) ? 1 : 0;
    return n;
}

class Printing : public AppFixture {
protected:
    void SetUp() override
    {
        Setup setup;
        setup.unplugged = true;
        ASSERT_TRUE(StartApp(setup));
        pdf = QString::fromStdString(dir.Path("capture.pdf"));
        dialogs.pdf = pdf;
        View()->Printing().SetDialogs(&dialogs);
        QPrinter& printer = View()->Printing().Printer();
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Portrait);
        printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    }
    void TearDown() override
    {
        View()->Printing().SetDialogs(nullptr);
        AppFixture::TearDown();
    }
    // `lineCount` full lines of characters alternating TXD and RXD; every
    // character marked as a find match when `marked`.
    void Fill(int lineCount, bool marked)
    {
        {
            CStoreGuard guard(View()->StoreLock());
            CDisplayMode& mode = Doc()->DisplayMode();
            mode.crHighlight = kHighlight;
            const int perLine = mode.cxLine / mode.cxChar;
            for (int i = 0; i < lineCount * perLine; ++i)
                Doc()->Lines().AddDataChar(static_cast<uint8_t>("KESTRANE"[i % 8]), (i % 2) ? 0x28 : 0x20, mode);
            CLines& lines = Doc()->Lines();
            for (int l = 0; marked && l < lines.GetLineCount(); ++l)
                for (int i = 0; i < lines.GetLine(l)->GetItemCount(); ++i)
                    if (CShape* item = lines.GetLine(l)->GetItem(i)) item->mark = 1;
        }
        SendMessage(View(), WM_VIEW_STATE, VIEW_LOG_REPLACED);
        SendMessage(View(), WM_VIEW_STATE, VIEW_CAPTURE_STOPPED);
    }
    int LineCount()
    {
        CStoreGuard guard(View()->StoreLock());
        return Doc()->Lines().GetLineCount();
    }

    ScriptedPrintDialogs dialogs;
    QString pdf;
};

} // namespace

TEST_F(Printing, APdfShowsEveryLineOnceWithCaptionsAndNothingCutOff)
{
    Fill(150, true);
    ASSERT_TRUE(Frame()->RunCommand(ID_FILE_PRINT));
    EXPECT_EQ(dialogs.printDialogs, 1);
    ASSERT_TRUE(QFileInfo::exists(pdf)) << "no PDF written";
    if (!HavePdfRenderer()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed: the PDF is not looked at";

    CPrintJob job(*View());
    ASSERT_EQ(job.Begin(View()->Printing().Printer()), CPrintJob::State::Ready);
    const int perPage = job.LinesPerPage();
    ASSERT_GT(perPage, 10);
    constexpr int dpi = 100;
    const std::vector<QImage> pages = RenderPdf(pdf, dpi);
    ASSERT_EQ(static_cast<int>(pages.size()), (150 + perPage - 1) / perPage);
    EXPECT_EQ(dialogs.offeredPages, static_cast<int>(pages.size())) << "the dialog offers the job's pages";

    // Where the page area ends on the paper: 10 mm of printer margin and
    // the job's own 30/96 inch.
    const double pxPerMm = dpi / 25.4;
    const int pageLeft = static_cast<int>(10 * pxPerMm + 30.0 * dpi / 96);
    const int pageRight = static_cast<int>(pages[0].width() - 10 * pxPerMm - 30.0 * dpi / 96);
    const int cell = job.Settings().cxChar * dpi / 1200;
    const QColor txd = ColorFromRef(Doc()->DisplayMode().crDataTXD);
    const QColor rxd = ColorFromRef(Doc()->DisplayMode().crDataRXD);

    int printed = 0;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const QImage& page = pages[p];
        SCOPED_TRACE(testing::Message() << "page " << p + 1);
        const std::vector<Stripe> bands = Stripes(page, ColorFromRef(kHighlight), 0, page.width());
        const int expected = p + 1 < pages.size() ? perPage : 150 - perPage * static_cast<int>(p);
        ASSERT_EQ(static_cast<int>(bands.size()), expected);
        printed += static_cast<int>(bands.size());
        for (const Stripe& band : bands) {
            const QRect rows(0, band.top, page.width(), band.bottom - band.top + 1);
            int left = page.width(), right = -1;
            for (int y = rows.top(); y <= rows.bottom(); ++y)
                for (int x = 0; x < page.width(); ++x)
                    if (Near(Pixel(page, x, y), ColorFromRef(kHighlight))) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                    }
            // The whole line is on the paper, ending at the right edge of
            // the page area, not beyond it and not short of it.
            EXPECT_LE(right, pageRight + 1);
            EXPECT_GE(right, pageRight - 2 * cell - 2);
            // The caption column is on its left, grey, with the row names.
            const QRect captions(pageLeft - 1, rows.top(), left - pageLeft + 1, rows.height());
            EXPECT_GT(CountNear(page, kCaptionGrey, captions, 12), captions.width() * captions.height() / 3);
            EXPECT_GT(CountNear(page, txd, captions.adjusted(0, 0, 0, -rows.height() / 2)), 0) << "TXD caption";
            // The characters in their direction's colour, TXD above RXD.
            const QRect data(left, rows.top(), right - left + 1, rows.height());
            EXPECT_GT(CountNear(page, txd, data.adjusted(0, 0, 0, -rows.height() / 2)), 20);
            EXPECT_GT(CountNear(page, rxd, data.adjusted(0, rows.height() / 2, 0, 0)), 20);
            EXPECT_EQ(CountNear(page, txd, data.adjusted(0, rows.height() / 2 + 1, 0, 0), 20), 0);
        }
        // Nothing at all in the right margin.
        EXPECT_EQ(CountNear(page, Qt::white, QRect(pageRight + 2, 0, page.width(), page.height()), 30),
                  (page.width() - pageRight - 2) * page.height());
    }
    EXPECT_EQ(printed, 150);
}

TEST_F(Printing, APageRangeFromTheDialogPrintsOnlyThosePages)
{
    Fill(150, true);
    dialogs.setUpPage = nullptr;
    CPrintJob job(*View());
    ASSERT_EQ(job.Begin(View()->Printing().Printer()), CPrintJob::State::Ready);
    ASSERT_GE(job.PageCount(), 4);
    struct RangeDialogs : ScriptedPrintDialogs {
        bool ChoosePrinter(QPrinter& printer, int pageCount, QWidget* parent) override
        {
            ScriptedPrintDialogs::ChoosePrinter(printer, pageCount, parent);
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(2, 3);
            return true;
        }
    } range;
    range.pdf = pdf;
    View()->Printing().SetDialogs(&range);
    ASSERT_TRUE(Frame()->RunCommand(ID_FILE_PRINT));
    if (!HavePdfRenderer()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed: the PDF is not looked at";
    const std::vector<QImage> pages = RenderPdf(pdf, 60);
    ASSERT_EQ(pages.size(), 2u);
    for (const QImage& page : pages)
        EXPECT_EQ(static_cast<int>(Stripes(page, ColorFromRef(kHighlight), 0, page.width()).size()), job.LinesPerPage());
}

TEST_F(Printing, PaperFontsArePrintJobsOwnAndTheScreenKeepsItsFonts)
{
    Fill(10, false);
    {
        CStoreGuard guard(View()->StoreLock());
        Doc()->DisplayMode().cxLine = 770;
        Doc()->DisplayMode().crBkColor = 0; // a black screen
    }
    CPrintJob job(*View());
    // 600 dpi, 8 inches of printable width.
    ASSERT_EQ(job.Begin(600, QSize(4800, 6600)), CPrintJob::State::Ready);
    ASSERT_NE(job.Fonts(), nullptr);
    EXPECT_EQ((*job.Fonts())[CDisplayFonts::SPC].pixelSize(), 88);
    EXPECT_LT((*job.Fonts())[CDisplayFonts::STAMP].pixelSize(), (*job.Fonts())[CDisplayFonts::CAPTION].pixelSize())
        << "stamps are smaller on paper";
    EXPECT_EQ(job.Settings().cxChar, QFontMetrics((*job.Fonts())[CDisplayFonts::SPC]).maxWidth());
    EXPECT_EQ(job.Settings().crBkColor, 0xFFFFFF) << "paper is white whatever the screen's background";
    EXPECT_EQ(View()->Fonts()[CDisplayFonts::SPC].pixelSize(), 16);
    EXPECT_EQ(Doc()->DisplayMode().cxChar, View()->Fonts().MeasureCell().cxChar) << "the document keeps the screen cell";
}

TEST_F(Printing, ThePreviewDrawsAnyPageOnItsOwnAsOnPaperAndLeavesTheScreenAlone)
{
    Fill(150, true);
    {
        CStoreGuard guard(View()->StoreLock());
        Doc()->DisplayMode().Status = 1;
    }
    SendMessage(View(), WM_VIEW_STATE, VIEW_SETTINGS_CHANGED);
    View()->RenderNow();
    const QImage screen = View()->BackingImage().copy();
    bool ran = false;
    dialogs.inPreview = [&](CPrintPreviewDlg& preview) {
        ran = true;
        const int perPage = preview.Job().LinesPerPage();
        ASSERT_GT(perPage, 0);
        EXPECT_EQ(preview.PageCount(), (150 + perPage - 1) / perPage);
        EXPECT_EQ(preview.CurrentPage(), 1);
        EXPECT_EQ(preview.StatusText(), QStringLiteral("Page 1 of %1, %2 lines per page").arg(preview.PageCount()).arg(perPage));
        // The sheet at 100 dpi shows the bands the paper has.
        const QImage first = preview.RenderPage(1, 100.0 / 1200);
        EXPECT_EQ(static_cast<int>(Stripes(first, ColorFromRef(kHighlight), 0, first.width()).size()), perPage);
        preview.SetPage(3);
        EXPECT_EQ(preview.CurrentPage(), 3);
        EXPECT_NE(preview.RenderPage(3, 100.0 / 1200), first);
        EXPECT_EQ(preview.RenderPage(1, 100.0 / 1200), first) << "a page does not depend on the page drawn before it";
        preview.SetPage(1000);
        EXPECT_EQ(preview.CurrentPage(), preview.PageCount());
        const QImage last = preview.ShownImage();
        EXPECT_EQ(static_cast<int>(Stripes(preview.RenderPage(preview.PageCount(), 100.0 / 1200), ColorFromRef(kHighlight), 0,
                                           last.width() * 2)
                                       .size()),
                  150 - perPage * (preview.PageCount() - 1));
        // Turning the page round lays the job out again.
        const int portraitPages = preview.PageCount();
        preview.SetLandscape(true);
        EXPECT_GT(preview.PageCount(), portraitPages);
        EXPECT_LE(preview.CurrentPage(), preview.PageCount());
        // Behind the preview the screen paints exactly as before, with its
        // own fonts and pens.
        View()->RenderNow();
        EXPECT_EQ(View()->BackingImage(), screen);
    };
    ASSERT_TRUE(Frame()->RunCommand(ID_FILE_PRINT_PREVIEW));
    EXPECT_TRUE(ran);
    EXPECT_EQ(View()->Printing().Preview(), nullptr);
    EXPECT_EQ(View()->Printing().Printer().pageLayout().orientation(), QPageLayout::Landscape)
        << "the orientation chosen in the preview stays chosen";
}

TEST_F(Printing, NothingToPrintIsSaidAndNoFileIsWritten)
{
    // An empty capture.
    ASSERT_TRUE(Frame()->RunCommand(ID_FILE_PRINT));
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown().back(), LoadLocalString(CViewPrinting::MSG_NOTHING_TO_PRINT));
    EXPECT_TRUE(messages.Shown().back().startsWith(QStringLiteral("There is nothing to print")));
    EXPECT_FALSE(QFileInfo::exists(pdf));

    // A page on which not even one band fits: a strip of paper with the
    // control-line rows on.
    Fill(20, false);
    {
        CStoreGuard guard(View()->StoreLock());
        Doc()->DisplayMode().Status = 1;
    }
    QPrinter& printer = View()->Printing().Printer();
    printer.setPageSize(QPageSize(QSizeF(200, 17), QPageSize::Millimeter, QStringLiteral("strip")));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    ASSERT_TRUE(Frame()->RunCommand(ID_FILE_PRINT));
    ASSERT_EQ(messages.Shown().size(), 2u);
    EXPECT_EQ(messages.Shown().back(), LoadLocalString(CViewPrinting::MSG_PAGE_TOO_SMALL));
    EXPECT_TRUE(messages.Shown().back().startsWith(QStringLiteral("Not even one line fits")));
    EXPECT_FALSE(QFileInfo::exists(pdf));
    dialogs.inPreview = [&](CPrintPreviewDlg& preview) {
        EXPECT_EQ(preview.PageCount(), 0);
        EXPECT_TRUE(preview.StatusText().startsWith(QStringLiteral("Not even one line fits")));
        EXPECT_FALSE(preview.ShownImage().isNull()) << "the empty sheet is shown";
    };
    ASSERT_TRUE(Frame()->RunCommand(ID_FILE_PRINT_PREVIEW));

    // A file that cannot be written is a failure, not a silent success.
    printer.setPageSize(QPageSize(QPageSize::A4));
    dialogs.pdf = QString::fromStdString(dir.Path("no-such-folder/capture.pdf"));
    ASSERT_TRUE(Frame()->RunCommand(ID_FILE_PRINT));
    ASSERT_EQ(messages.Shown().size(), 3u);
    EXPECT_TRUE(messages.Shown().back().startsWith(QStringLiteral("Printing failed")));
    EXPECT_TRUE(messages.Shown().back().contains(dialogs.pdf));
}

TEST_F(Printing, PrintDirectlyUsesTheCurrentPrinterWithoutADialog)
{
    Fill(30, false);
    QPrinter& printer = View()->Printing().Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString());
    ASSERT_TRUE(Frame()->RunCommand(ID_FILE_PRINT_DIRECT));
    ASSERT_EQ(messages.Shown().size(), 1u);
    EXPECT_EQ(messages.Shown().back(), LoadLocalString(CViewPrinting::MSG_NO_PRINTER));
    EXPECT_TRUE(messages.Shown().back().startsWith(QStringLiteral("There is no printer")));

    printer.setOutputFileName(pdf);
    ASSERT_TRUE(Frame()->RunCommand(ID_FILE_PRINT_DIRECT));
    EXPECT_EQ(dialogs.printDialogs, 0);
    EXPECT_EQ(messages.Shown().size(), 1u);
    EXPECT_TRUE(QFileInfo(pdf).size() > 0);
}

TEST_F(Printing, PrintCommandsWaitUntilTheCaptureStops)
{
    Fill(5, false);
    const int ids[] = {ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_FILE_PRINT_SETUP};
    Frame()->UpdateCommandUI();
    for (int id : ids) EXPECT_TRUE(Frame()->Action(id)->isEnabled()) << id;
    Doc()->OnAnalyzerStart();
    Frame()->UpdateCommandUI();
    for (int id : ids) EXPECT_FALSE(Frame()->Action(id)->isEnabled()) << id;
    EXPECT_FALSE(Frame()->RunCommand(ID_FILE_PRINT_DIRECT));
    EXPECT_FALSE(Frame()->RunCommand(ID_FILE_PRINT_SETUP));
    EXPECT_EQ(dialogs.printDialogs + dialogs.pageSetups, 0);
    Doc()->OnAnalyzerStop();
    Frame()->UpdateCommandUI();
    for (int id : ids) EXPECT_TRUE(Frame()->Action(id)->isEnabled()) << id;
    ASSERT_TRUE(Frame()->RunCommand(ID_FILE_PRINT_SETUP));
    EXPECT_EQ(dialogs.pageSetups, 1) << "Print Setup opens the page setup of the printer the view prints on";
}

TEST_F(Printing, ABandEndingExactlyAtThePageBottomIsPrintedWithItsCaptions)
{
    Fill(10, false);
    // At 96 dpi with the line exactly as wide as the page area, paper and
    // screen pixels are the same size.
    const int cxLine = Doc()->DisplayMode().cxLine;
    const int width = 2 * 30 + cxLine + 30;
    CPrintJob job(*View());
    ASSERT_EQ(job.Begin(96, QSize(width, 5000)), CPrintJob::State::Ready);
    EXPECT_FLOAT_EQ(job.Scale().scale, 1.0f);
    const int h = job.BandHeight();
    const int gap = job.Scale().lineGap;
    const int height = 2 * 30 + 3 * h + 2 * gap;
    ASSERT_EQ(job.Begin(96, QSize(width, height - 1)), CPrintJob::State::Ready);
    EXPECT_EQ(job.LinesPerPage(), 2);
    ASSERT_EQ(job.Begin(96, QSize(width, height)), CPrintJob::State::Ready);
    ASSERT_EQ(job.LinesPerPage(), 3);
    EXPECT_EQ(job.PageCount(), 4);

    QImage page(width, height, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter dc(&page);
    job.PrintPage(dc, 1, page.rect());
    dc.end();
    const QRect lastBand(30, 30 + 2 * (h + gap), width - 60, h);
    const QRect captions(lastBand.left(), lastBand.top(), job.Scale().captionWidth, h);
    const QRect data(captions.right() + 1, lastBand.top(), lastBand.width() - captions.width(), h);
    EXPECT_GT(CountNear(page, kCaptionGrey, captions, 8), captions.width() * h / 2);
    EXPECT_GT(CountNear(page, ColorFromRef(Doc()->DisplayMode().crDataTXD), data, 60), 20);
    EXPECT_EQ(CountNear(page, Qt::white, QRect(0, height - 30, width, 30), 0), 30 * width) << "the bottom margin stays blank";
}
