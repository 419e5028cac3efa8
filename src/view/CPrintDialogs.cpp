#include "CPrintDialogs.h"

#include <QDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

bool CPrintDialogs::ChoosePrinter(QPrinter& printer, int pageCount, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    // The whole capture or a range of pages: there is no selection to print.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, pageCount > 0);
    if (pageCount > 0) dialog.setMinMax(1, pageCount);
    return dialog.exec() == QDialog::Accepted;
}

bool CPrintDialogs::PageSetup(QPrinter& printer, QWidget* parent)
{
    QPageSetupDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void CPrintDialogs::RunPreview(QDialog& preview) { preview.exec(); }
