#pragma once
// The print dialog, the page setup dialog and the running of the preview,
// behind one replaceable service, so that no test ever blocks on a modal
// window. The default shows Qt's standard dialogs.
class QDialog;
class QPrinter;
class QWidget;

class CPrintDialogs {
public:
    virtual ~CPrintDialogs() = default;
    // The print dialog for `printer`, offering pages 1 to `pageCount` (none
    // when 0); true when the user chose to print.
    virtual bool ChoosePrinter(QPrinter& printer, int pageCount, QWidget* parent);
    // Paper, orientation and margins of `printer`; true when accepted.
    virtual bool PageSetup(QPrinter& printer, QWidget* parent);
    // Shows the preview until the user closes it.
    virtual void RunPreview(QDialog& preview);
};
