#pragma once
// The print preview: one page at a time as it will come out of the printer,
// with page navigation, zoom, orientation, page setup and Print. A page is
// drawn only when it is shown, by the same job that prints, so the first page
// of a long capture is on screen at once, however many pages follow it.
#include "CPrintJob.h"

#include <QDialog>
#include <QImage>

#include <functional>

class CAnalyzerView;
class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;

class CPrintPreviewDlg : public QDialog {
public:
    CPrintPreviewDlg(CAnalyzerView& view, QPrinter& printer, QWidget* parent = nullptr);
    ~CPrintPreviewDlg() override;

    // The Print button (the preview closes after it) and the page setup
    // button (true when the page changed).
    std::function<void()> onPrint;
    std::function<bool()> onPageSetup;

    int CurrentPage() const { return page; }
    int PageCount() const { return job.PageCount(); }
    const CPrintJob& Job() const { return job; }
    // "Page 3 of 12", or why nothing can be shown.
    QString StatusText() const;

    void SetPage(int page);
    void SetLandscape(bool landscape);
    void FitWidth();
    void FitPage();
    void ZoomBy(double factor);
    double Zoom() const { return zoom; }

    // The whole sheet of paper of page `page` at `zoom` screen pixels per
    // printer pixel, with the page drawn on it exactly as printed.
    QImage RenderPage(int page, double zoom);
    // What the preview shows now.
    const QImage& ShownImage() const { return shown; }

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    enum class Fit { Width, Page, Fixed };
    void BuildToolBar();
    // Lays the job out again after the paper or orientation changed.
    void Relayout();
    void Refresh();
    void ApplyFit();

    QPrinter& printer;
    CPrintJob job;
    int page = 1;
    double zoom = 0.1;
    Fit fit = Fit::Page;
    QImage shown;
    QScrollArea* scroll = nullptr;
    QLabel* sheet = nullptr;
    QSpinBox* pageBox = nullptr;
    QLabel* pageTotal = nullptr;
    QLabel* status = nullptr;
};
