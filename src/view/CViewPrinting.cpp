#include "CViewPrinting.h"

#include "CAnalyzerView.h"
#include "CPrintDialogs.h"
#include "CPrintPreviewDlg.h"
#include "LocalStrings.h"
#include "MessageService.h"

#include <QPrinter>

CViewPrinting::CViewPrinting(CAnalyzerView& view)
    : view(view), ownDialogs(std::make_unique<CPrintDialogs>()), dialogs(ownDialogs.get())
{
}

CViewPrinting::~CViewPrinting() = default;

QPrinter& CViewPrinting::Printer()
{
    // At the printer's full resolution: positions and strokes on paper are
    // then exact, not rounded to screen pixels.
    if (!printer) printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer;
}

void CViewPrinting::SetDialogs(CPrintDialogs* replacement) { dialogs = replacement ? replacement : ownDialogs.get(); }

void CViewPrinting::PrintAndReport()
{
    QPrinter& p = Printer();
    CPrintJob job(view);
    int message = 0;
    switch (job.PrintTo(p)) {
    case CPrintJob::Outcome::Printed: return;
    case CPrintJob::Outcome::Empty: message = MSG_NOTHING_TO_PRINT; break;
    case CPrintJob::Outcome::PageTooSmall: message = MSG_PAGE_TOO_SMALL; break;
    case CPrintJob::Outcome::Failed: message = MSG_PRINT_FAILED; break;
    }
    QString text = LoadLocalString(message);
    if (message == MSG_PRINT_FAILED) {
        const QString target = p.outputFileName().isEmpty() ? p.printerName() : p.outputFileName();
        text = text.replace(QStringLiteral("%s"), target);
    }
    ks::Messages().Show(text, ks::MessageButtons::Ok);
    view.Invalidate();
}

void CViewPrinting::OnFilePrint()
{
    QPrinter& p = Printer();
    CPrintJob estimate(view);
    estimate.Begin(p);
    p.setPrintRange(QPrinter::AllPages);
    QWidget* parent = preview ? static_cast<QWidget*>(preview) : view.window();
    if (!dialogs->ChoosePrinter(p, estimate.PageCount(), parent)) return;
    PrintAndReport();
}

void CViewPrinting::OnFilePrintDirect()
{
    QPrinter& p = Printer();
    // With no printer installed there is nowhere to print without asking:
    // a file must be chosen in the print dialog first.
    if (p.outputFormat() == QPrinter::PdfFormat && p.outputFileName().isEmpty()) {
        ks::Messages().Show(LoadLocalString(MSG_NO_PRINTER), ks::MessageButtons::Ok);
        return;
    }
    p.setPrintRange(QPrinter::AllPages);
    PrintAndReport();
}

void CViewPrinting::OnFilePrintPreview()
{
    CPrintPreviewDlg dialog(view, Printer(), view.window());
    dialog.onPrint = [this] { OnFilePrint(); };
    dialog.onPageSetup = [this] { return dialogs->PageSetup(Printer(), preview); };
    preview = &dialog;
    dialogs->RunPreview(dialog);
    preview = nullptr;
    // The screen was never drawn with the paper's fonts; a repaint only
    // brings back anything the dialog covered.
    view.Invalidate();
}

void CViewPrinting::OnFilePrintSetup() { dialogs->PageSetup(Printer(), view.window()); }
