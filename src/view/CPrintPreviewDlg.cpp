#include "CPrintPreviewDlg.h"

#include "CAnalyzerView.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {
// Room around the sheet inside the scroll area, in screen pixels.
constexpr int kSheetPad = 16;
constexpr double kMinZoom = 0.01;
constexpr double kMaxZoom = 1.0;
} // namespace

CPrintPreviewDlg::CPrintPreviewDlg(CAnalyzerView& view, QPrinter& printer, QWidget* parent)
    : QDialog(parent), printer(printer), job(view)
{
    setWindowTitle(QStringLiteral("Print Preview"));
    setObjectName(QStringLiteral("PrintPreview"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildToolBar();

    scroll = new QScrollArea(this);
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setBackgroundRole(QPalette::Dark);
    sheet = new QLabel(scroll);
    sheet->setAlignment(Qt::AlignCenter);
    sheet->setContentsMargins(kSheetPad, kSheetPad, kSheetPad, kSheetPad);
    scroll->setWidget(sheet);
    scroll->setWidgetResizable(false);
    layout->addWidget(scroll, 1);

    status = new QLabel(this);
    status->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(status);

    // Wide enough for the whole toolbar, most of the frame's height.
    const QWidget* top = parent ? parent->window() : nullptr;
    const int width = std::max(layout->sizeHint().width() + 80, top ? top->width() * 3 / 5 : 800);
    resize(width, top ? std::max(480, top->height() * 9 / 10) : 900);
    Relayout();
}

CPrintPreviewDlg::~CPrintPreviewDlg() = default;

void CPrintPreviewDlg::BuildToolBar()
{
    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout()->addWidget(bar);
    QStyle* st = style();
    // The page arrows are pictures only; everything else says what it does.
    auto arrow = [&](QStyle::StandardPixmap icon, const QString& name, auto&& slot) {
        QAction* action = bar->addAction(st->standardIcon(icon), name, this, slot);
        action->setToolTip(name);
        if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action)))
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    };

    bar->addAction(QStringLiteral("&Print..."), this, [this] {
        if (onPrint) onPrint();
        accept();
    });
    bar->addSeparator();
    arrow(QStyle::SP_MediaSkipBackward, QStringLiteral("First page"), [this] { SetPage(1); });
    arrow(QStyle::SP_MediaSeekBackward, QStringLiteral("Previous page"), [this] { SetPage(page - 1); });
    pageBox = new QSpinBox(bar);
    pageBox->setKeyboardTracking(false);
    pageBox->setAccessibleName(QStringLiteral("Page"));
    bar->addWidget(pageBox);
    pageTotal = new QLabel(bar);
    bar->addWidget(pageTotal);
    connect(pageBox, &QSpinBox::valueChanged, this, [this](int value) { SetPage(value); });
    arrow(QStyle::SP_MediaSeekForward, QStringLiteral("Next page"), [this] { SetPage(page + 1); });
    arrow(QStyle::SP_MediaSkipForward, QStringLiteral("Last page"), [this] { SetPage(job.PageCount()); });
    bar->addSeparator();
    bar->addAction(QStringLiteral("Fit &Width"), this, [this] { FitWidth(); });
    bar->addAction(QStringLiteral("Fit Pa&ge"), this, [this] { FitPage(); });
    bar->addAction(QStringLiteral("Zoom &In"), this, [this] { ZoomBy(1.25); });
    bar->addAction(QStringLiteral("Zoom &Out"), this, [this] { ZoomBy(1 / 1.25); });
    bar->addSeparator();
    bar->addAction(QStringLiteral("Portrait"), this, [this] { SetLandscape(false); });
    bar->addAction(QStringLiteral("Landscape"), this, [this] { SetLandscape(true); });
    bar->addAction(QStringLiteral("Page &Setup..."), this, [this] {
        if (onPageSetup && onPageSetup()) Relayout();
    });
    bar->addSeparator();
    bar->addAction(QStringLiteral("&Close"), this, [this] { reject(); });
}

QString CPrintPreviewDlg::StatusText() const
{
    switch (job.GetState()) {
    case CPrintJob::State::Empty:
        return QStringLiteral("The capture is empty: there is nothing to print.");
    case CPrintJob::State::PageTooSmall:
        return QStringLiteral("Not even one line fits on this page: choose a larger paper size or smaller margins.");
    case CPrintJob::State::Ready:
        return QStringLiteral("Page %1 of %2, %3 lines per page").arg(page).arg(job.PageCount()).arg(job.LinesPerPage());
    default:
        return {};
    }
}

void CPrintPreviewDlg::Relayout()
{
    job.Begin(printer);
    const int pages = job.PageCount();
    page = std::clamp(page, 1, std::max(pages, 1));
    {
        const QSignalBlocker block(pageBox);
        pageBox->setRange(pages > 0 ? 1 : 0, pages);
        pageBox->setValue(pages > 0 ? page : 0);
        pageBox->setEnabled(pages > 1);
    }
    pageTotal->setText(QStringLiteral(" of %1 ").arg(pages));
    ApplyFit();
}

void CPrintPreviewDlg::SetPage(int value)
{
    const int pages = job.PageCount();
    const int next = std::clamp(value, 1, std::max(pages, 1));
    if (next == page && !shown.isNull()) return;
    page = next;
    {
        const QSignalBlocker block(pageBox);
        if (pages > 0) pageBox->setValue(page);
    }
    Refresh();
    scroll->verticalScrollBar()->setValue(0);
}

void CPrintPreviewDlg::SetLandscape(bool landscape)
{
    const auto orientation = landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    if (printer.pageLayout().orientation() == orientation) return;
    printer.setPageOrientation(orientation);
    Relayout();
}

void CPrintPreviewDlg::FitWidth()
{
    fit = Fit::Width;
    ApplyFit();
}

void CPrintPreviewDlg::FitPage()
{
    fit = Fit::Page;
    ApplyFit();
}

void CPrintPreviewDlg::ZoomBy(double factor)
{
    fit = Fit::Fixed;
    zoom = std::clamp(zoom * factor, kMinZoom, kMaxZoom);
    Refresh();
}

void CPrintPreviewDlg::ApplyFit()
{
    const QRect paper = printer.pageLayout().fullRectPixels(printer.resolution());
    if (fit != Fit::Fixed && paper.width() > 0 && paper.height() > 0) {
        const QSize room = scroll->viewport()->size() - QSize(2 * kSheetPad + 2, 2 * kSheetPad + 2);
        const double byWidth = static_cast<double>(std::max(room.width(), 50)) / paper.width();
        const double byHeight = static_cast<double>(std::max(room.height(), 50)) / paper.height();
        zoom = std::clamp(fit == Fit::Width ? byWidth : std::min(byWidth, byHeight), kMinZoom, kMaxZoom);
    }
    Refresh();
}

QImage CPrintPreviewDlg::RenderPage(int pageNumber, double scaleFactor)
{
    const int dpi = printer.resolution();
    const QRect paper = printer.pageLayout().fullRectPixels(dpi);
    const QRect paint = printer.pageLayout().paintRectPixels(dpi);
    const QSize size(std::max(1, static_cast<int>(std::lround(paper.width() * scaleFactor))),
                     std::max(1, static_cast<int>(std::lround(paper.height() * scaleFactor))));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter dc(&image);
    dc.setRenderHint(QPainter::Antialiasing);
    dc.setRenderHint(QPainter::SmoothPixmapTransform);
    dc.scale(scaleFactor, scaleFactor);
    dc.translate(paint.topLeft() - paper.topLeft());
    job.PrintPage(dc, pageNumber, QRect(0, 0, paint.width(), paint.height()));
    return image;
}

void CPrintPreviewDlg::Refresh()
{
    shown = RenderPage(page, zoom);
    // A thin frame round the sheet so white paper shows against the backdrop.
    QImage framed(shown.size() + QSize(2, 2), QImage::Format_RGB32);
    framed.fill(Qt::black);
    {
        QPainter p(&framed);
        p.drawImage(1, 1, shown);
    }
    sheet->setPixmap(QPixmap::fromImage(framed));
    sheet->adjustSize();
    status->setText(StatusText());
}

void CPrintPreviewDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    // The room for the sheet is known only once the dialog is laid out.
    if (fit != Fit::Fixed) ApplyFit();
}

void CPrintPreviewDlg::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    if (fit != Fit::Fixed) ApplyFit();
}

void CPrintPreviewDlg::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_PageDown: SetPage(page + 1); break;
    case Qt::Key_PageUp: SetPage(page - 1); break;
    case Qt::Key_Home: SetPage(1); break;
    case Qt::Key_End: SetPage(job.PageCount()); break;
    default: QDialog::keyPressEvent(e); return;
    }
    e->accept();
}
