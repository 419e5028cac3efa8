#pragma once
// The view's print commands: Print (the print dialog first), Print directly
// (the current printer, no dialog), Print Preview, and the page setup the
// application's Print Setup opens. One printer object lives for the run, so
// the printer, paper and orientation chosen once stay chosen.
#include "CPrintJob.h"

#include <memory>

class CAnalyzerView;
class CPrintDialogs;
class CPrintPreviewDlg;
class QPrinter;

class CViewPrinting {
public:
    explicit CViewPrinting(CAnalyzerView& view);
    ~CViewPrinting();

    // Made at first use.
    QPrinter& Printer();
    // Replaces the dialogs (tests); null restores Qt's.
    void SetDialogs(CPrintDialogs* dialogs);

    void OnFilePrint();
    void OnFilePrintDirect();
    void OnFilePrintPreview();
    void OnFilePrintSetup();

    // The preview while it is open, else null.
    CPrintPreviewDlg* Preview() const { return preview; }

    // String ids of what printing tells the user.
    enum Message : int {
        MSG_NOTHING_TO_PRINT = 340,
        MSG_PAGE_TOO_SMALL = 341,
        MSG_PRINT_FAILED = 342,
        MSG_NO_PRINTER = 343,
    };

private:
    // Prints to the printer as it is set up now and reports what went wrong.
    void PrintAndReport();

    CAnalyzerView& view;
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<CPrintDialogs> ownDialogs;
    CPrintDialogs* dialogs = nullptr;
    CPrintPreviewDlg* preview = nullptr;
};
