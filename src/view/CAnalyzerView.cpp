#include "CAnalyzerView.h"

#include "CDataChar.h"
#include "CDisplayFonts.h"
#include "CLineInfo.h"
#include "CLines.h"
#include "CShape.h"
#include "CAnalyzerDoc.h"
#include "CDisplayMode.h"
#include "CToolWindows.h"
#include "CViewPrinting.h"
#include "CommandIds.h"
#include "LocalStrings.h"
#include "WindowMessages.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstring>

using namespace viewgeo;

namespace {

QColor ColourOf(int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

// The caption column's band colour.
const QColor kCaptionGrey(0xD4, 0xD0, 0xC8);

} // namespace

CAnalyzerView::CAnalyzerView(CAnalyzerDoc* doc, QWidget* parent)
    : QAbstractScrollArea(parent), doc(doc)
{
    CDisplayFonts::InstallDisplayFonts();
    fonts = std::make_unique<CDisplayFonts>(16);
    const CharCell cell = fonts->MeasureCell();
    {
        CStoreGuard guard(storeLock);
        doc->DisplayMode().cxChar = cell.cxChar > 0 ? cell.cxChar : 8;
        doc->DisplayMode().cyChar = cell.cyChar > 0 ? cell.cyChar : 16;
    }
    RecreatePens(1);

    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setRange(0, 0);
    horizontalScrollBar()->setRange(0, 0);
    // The thumb moves the view only when it is let go.
    verticalScrollBar()->setTracking(false);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) { OnVerticalValue(value); });
    connect(verticalScrollBar(), &QScrollBar::sliderMoved, this, [this](int value) {
        PostMessage(frame, WM_SET_PANE_TEXT, 291, value + 1);
    });
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, [this] { PostMessage(frame, WM_SET_PANE_TEXT, 290); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int) { viewport()->update(); });

    tools = std::make_unique<CToolWindows>(*this, *doc);
    // Searching and jumping need a log at rest.
    auto atRest = [this](CCmdUI& ui) { ui.Enable(!Capturing()); };
    OnCommand(ID_FIND, [this] { tools->OnFind(); }, atRest);
    OnCommand(ID_GOTO_LINE, [this] { tools->OnGotoLine(); }, atRest);

    // Printing reads the whole store: not while a capture is filling it.
    printing = std::make_unique<CViewPrinting>(*this);
    const auto notRunning = [this](CCmdUI& ui) { ui.Enable(!this->doc->IsRunning()); };
    OnCommand(ID_FILE_PRINT, [this] { printing->OnFilePrint(); }, notRunning);
    OnCommand(ID_FILE_PRINT_DIRECT, [this] { printing->OnFilePrintDirect(); }, notRunning);
    OnCommand(ID_FILE_PRINT_PREVIEW, [this] { printing->OnFilePrintPreview(); }, notRunning);
}

CAnalyzerView::~CAnalyzerView()
{
    for (auto& [id, timer] : timers) timer->stop();
    tools->SaveAndDestroy();
}

// --- Timers -----------------------------------------------------------------------

void CAnalyzerView::SetTimer(int id, int milliseconds)
{
    QTimer*& timer = timers[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->start(milliseconds);
}

void CAnalyzerView::KillTimer(int id)
{
    auto it = timers.find(id);
    if (it != timers.end()) it->second->stop();
}

bool CAnalyzerView::IsTimerActive(int id) const
{
    auto it = timers.find(id);
    return it != timers.end() && it->second->isActive();
}

void CAnalyzerView::OnTimer(int id)
{
    switch (id) {
    case TIMER_BLINK:
        blink = !blink;
        viewport()->update();
        break;
    case TIMER_SHOW_TAIL: {
        KillTimer(TIMER_SHOW_TAIL);
        ScrollToTail();
        Invalidate();
        break;
    }
    case TIMER_IDLE:
        doc->OnIdleTick();
        Invalidate();
        break;
    default:
        break;
    }
}

// --- Messages -----------------------------------------------------------------------

bool CAnalyzerView::event(QEvent* e)
{
    ReceivePostedMessages();
    const int type = static_cast<int>(e->type());
    if (type < WM_SET_PANE_TEXT || type > WM_VSCROLL_BOTTOM) return QAbstractScrollArea::event(e);
    auto* msg = static_cast<CWindowMessage*>(e);
    switch (type) {
    case WM_VIEW_STATE:
        OnViewState(static_cast<int>(msg->wParam));
        msg->result = 1;
        return true;
    case WM_VIEW_RESET:
        OnViewReset();
        msg->result = 1;
        return true;
    case WM_FIND_NEXT:
        msg->result = tools->OnFindNext(msg->lParam);
        return true;
    case WM_SET_MARKS:
        msg->result = tools->OnSetMarks(msg->wParam, msg->lParam);
        return true;
    case WM_GOTO_LINE:
        msg->result = tools->OnGotoLineMessage();
        return true;
    case WM_HIDE_TOOL_WINDOWS:
        tools->OnHideToolWindows(msg->wParam);
        msg->result = 1;
        return true;
    case WM_VSCROLL_BOTTOM: {
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(bar->maximum());
        return true;
    }
    default:
        return QAbstractScrollArea::event(e);
    }
}

void CAnalyzerView::OnViewState(int state)
{
    switch (state) {
    case VIEW_SETTINGS_CHANGED:
        UpdateScrollRanges();
        break;
    case VIEW_CAPTURE_STOPPED:
        UpdateScrollRanges();
        SetScrollBarsEnabled(true);
        scrollingEnabled = true;
        break;
    case VIEW_CAPTURE_STARTED:
        UpdateScrollRanges();
        ScrollToTail();
        horizontalScrollBar()->setValue(0);
        SetScrollBarsEnabled(false);
        scrollingEnabled = false;
        break;
    case VIEW_LOG_REPLACED: {
        UpdateScrollRanges();
        {
            CStoreGuard guard(storeLock);
            cursor = DrawCursor{};
            removedLine = -1;
            firstVisibleLine = 0;
        }
        adjustingRanges = true;
        verticalScrollBar()->setValue(0);
        horizontalScrollBar()->setValue(0);
        adjustingRanges = false;
        UpdateVerticalRange();
        break;
    }
    default:
        break;
    }
    Invalidate();
    SendCounters();
}

void CAnalyzerView::OnViewReset()
{
    if (lineWidthSet) return;
    EnsureLineWidth();
}

void CAnalyzerView::EnsureLineWidth(int windowWidth)
{
    if (lineWidthSet) return;
    const int width = windowWidth > 0 ? windowWidth : viewport()->width();
    {
        CStoreGuard guard(storeLock);
        doc->DisplayMode().cxLine = std::clamp(width - kCaptionWidth, 0, CAnalyzerDoc::kMaxLineWidth);
    }
    lineWidthSet = true;
    backing = QImage();
    UpdateHorizontalRange();
    Invalidate();
}

// --- Scrolling ----------------------------------------------------------------------

int CAnalyzerView::ClientBottom() const { return viewport()->height(); }

bool CAnalyzerView::Capturing() const { return doc->IsRunning(); }

viewgeo::BandLayout CAnalyzerView::Layout() const
{
    const CDisplayMode& m = doc->DisplayMode();
    return BandLayout{m.cxChar, m.cyChar, m.Data != 0, m.DataMode, m.Status != 0};
}

int CAnalyzerView::GetLineHeight() const { return Layout().BandHeight(); }

int CAnalyzerView::GetVisibleLineCount() const { return VisibleLineCount(GetLineHeight(), 0, ClientBottom()); }

void CAnalyzerView::UpdateScrollRanges()
{
    UpdateVerticalRange();
    UpdateHorizontalRange();
}

void CAnalyzerView::UpdateVerticalRange()
{
    int lastIndex = 0;
    {
        CStoreGuard guard(storeLock);
        lastIndex = doc->Lines().GetLastLineIndex();
    }
    const ScrollRange range = VerticalRange(lastIndex, GetVisibleLineCount());
    QScrollBar* bar = verticalScrollBar();
    adjustingRanges = true;
    bar->setRange(range.minimum, range.MaxPosition());
    bar->setPageStep(std::max(range.page, 1));
    bar->setSingleStep(1);
    bar->setValue(range.Clamp(firstVisibleLine));
    adjustingRanges = false;
    if (bar->value() != firstVisibleLine) {
        firstVisibleLine = bar->value();
        Invalidate();
    }
}

void CAnalyzerView::UpdateHorizontalRange()
{
    const ScrollRange range = HorizontalRange(doc->DisplayMode().cxLine, viewport()->width());
    QScrollBar* bar = horizontalScrollBar();
    bar->setRange(range.minimum, range.MaxPosition());
    bar->setPageStep(std::max(range.page, 1));
    bar->setSingleStep(std::max(doc->DisplayMode().cxChar, 1));
}

void CAnalyzerView::SetScrollBarsEnabled(bool on)
{
    verticalScrollBar()->setEnabled(on);
    horizontalScrollBar()->setEnabled(on);
}

void CAnalyzerView::ScrollToTail()
{
    QScrollBar* bar = verticalScrollBar();
    int lineCount = 0;
    {
        CStoreGuard guard(storeLock);
        lineCount = doc->Lines().GetLineCount();
    }
    const int visible = GetVisibleLineCount();
    const int first = std::max(0, lineCount - visible);
    UpdateVerticalRange();
    adjustingRanges = true;
    bar->setValue(first);
    adjustingRanges = false;
    firstVisibleLine = first;
    Invalidate();
}

void CAnalyzerView::OnVerticalValue(int value)
{
    if (adjustingRanges) return;
    if (value != firstVisibleLine) {
        firstVisibleLine = value;
        Invalidate();
    }
}

void CAnalyzerView::scrollContentsBy(int, int)
{
    // Scrolling is done by re-rendering from the store (vertical) or by the
    // offset of the image copy (horizontal), never by moving pixels here.
}

void CAnalyzerView::keyPressEvent(QKeyEvent* e)
{
    if (!scrollingEnabled) return;
    if (e->key() == Qt::Key_F3) {
        tools->RepeatFind((e->modifiers() & Qt::ShiftModifier) != 0);
        return;
    }
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    switch (e->key()) {
    case Qt::Key_PageUp: v->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: v->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_Up: v->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: v->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_Home: v->setValue(v->minimum()); break;
    case Qt::Key_End: v->setValue(v->maximum()); break;
    case Qt::Key_Left: h->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: h->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    default: QAbstractScrollArea::keyPressEvent(e); return;
    }
    e->accept();
}

void CAnalyzerView::wheelEvent(QWheelEvent* e)
{
    e->accept();
    if (!scrollingEnabled) return;
    const int delta = e->angleDelta().y();
    if (delta == 0) return;
    verticalScrollBar()->triggerAction(delta < 0 ? QAbstractSlider::SliderSingleStepAdd
                                                 : QAbstractSlider::SliderSingleStepSub);
}

// --- Mouse ----------------------------------------------------------------------------

QString CAnalyzerView::PositionText(int line, int index)
{
    if (line < 0) return OwnString(298);
    if (index < 0) return QStringLiteral("Ln: %1").arg(line + 1);
    return QStringLiteral("Ln: %1, Idx:%2").arg(line + 1).arg(index + 1);
}

void CAnalyzerView::mouseMoveEvent(QMouseEvent* e)
{
    if (Capturing()) return;
    const auto [line, index] = HitTest(e->position().toPoint());
    PostMessage(frame, WM_SET_PANE_TEXT, 298, 1, PositionText(line, index));
}

void CAnalyzerView::mousePressEvent(QMouseEvent* e)
{
    // The left button alone, no other button or key held.
    if (e->button() != Qt::LeftButton || e->buttons() != Qt::LeftButton || e->modifiers() != Qt::NoModifier) return;
    if (Capturing()) return;
    tools->OnLeftButton(e->position().toPoint());
}

void CAnalyzerView::ScrollToLine(int line)
{
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(std::clamp(line, bar->minimum(), bar->maximum()));
    PostMessage(frame, WM_SET_PANE_TEXT, 290);
}

std::pair<int, int> CAnalyzerView::HitTest(QPoint point)
{
    const int h = GetLineHeight();
    const int band = BandAt(point.y(), h);
    if (band < 0 || point.y() >= ClientBottom()) return {-1, -1};
    const int bandTop = band * (h + kBandGap);
    const int line = band + firstVisibleLine;

    CStoreGuard guard(storeLock);
    const CLines& lines = doc->Lines();
    const CDisplayMode& mode = doc->DisplayMode();
    if (line >= lines.GetLineCount()) return {line, -1};
    int index = 0;
    for (int i = 0; i < line; ++i) {
        const CLineInfo* before = lines.GetLine(i);
        if (!before) return {line, -1};
        index += before->GetDataCount();
    }
    const CLineInfo* info = lines.GetLine(line);
    if (!info || point.x() < kCaptionWidth) return {line, -1};
    int x = kCaptionWidth - horizontalScrollBar()->value();
    for (int i = 0; i < info->GetItemCount(); ++i) {
        const CShape* item = info->GetItem(i);
        if (!item) continue;
        const Extent ext = item->GetExtent(mode, 1);
        if (item->GetKind() == KIND_DATA) {
            const bool rxd = static_cast<const CDataChar*>(item)->IsRxd();
            const int top = bandTop + (rxd ? ext.cy : 0);
            if (point.x() >= x && point.x() < x + ext.cx && point.y() >= top && point.y() < top + ext.cy)
                return {line, index};
            ++index;
        }
        x += ext.cx;
    }
    return {line, -1};
}

// --- Drawing ----------------------------------------------------------------------------

void CAnalyzerView::RecreatePens(int width)
{
    const CDisplayMode& mode = doc->DisplayMode();
    pens[0] = QPen(ColourOf(mode.crDataTXD), width, Qt::SolidLine);
    pens[1] = QPen(ColourOf(mode.crDataRXD), width, Qt::SolidLine);
}

void CAnalyzerView::Invalidate()
{
    renderNeeded = true;
    viewport()->update();
}

void CAnalyzerView::SendCounters() { doc->SendCounters(); }

DrawTools CAnalyzerView::ScreenTools() { return DrawTools{fonts.get(), pens, &runningLineState}; }

QPoint CAnalyzerView::DrawLine(QPainter& dc, const QRect& band, int lineIndex, int firstItem, const CDisplayMode& mode, int d)
{
    return DrawLine(dc, band, lineIndex, firstItem, mode, d, ScreenTools());
}

QPoint CAnalyzerView::DrawLine(QPainter& dc, const QRect& band, int lineIndex, int firstItem, const CDisplayMode& mode, int d,
                               const DrawTools& drawTools)
{
    const CDisplayFonts& itemFonts = *drawTools.fonts;
    CStatus& lineState = *drawTools.lineState;
    dc.fillRect(band, ColourOf(mode.crBkColor));
    int x = band.left();
    const int y = band.top();
    const CLineInfo* info = doc->Lines().GetLine(lineIndex);
    if (!info) return {x, y};
    // Between two changes the control lines run flat under every item, so
    // the rows are drawn once for the whole run rather than once per item:
    // the same picture with a fraction of the strokes, which matters most
    // on paper, where every stroke is written out.
    int runStart = x;
    const int rowsTop = y + 2 * mode.DataRowHeight();
    auto flushRun = [&] {
        if (x > runStart) lineState.PaintLineRows(dc, drawTools.pens, runStart, rowsTop, x - runStart, mode, d);
    };
    // Characters are drawn onto the band as it is, setting the painter up
    // only when they need another font: the painter is saved once for the
    // line, not once a character.
    dc.save();
    CDataChar::RunState run;
    for (int i = std::max(firstItem, 0); i < info->GetItemCount(); ++i) {
        const CShape* item = info->GetItem(i);
        if (!item) continue;
        switch (item->GetKind()) {
        case KIND_DATA: {
            const Extent e = item->GetExtent(mode, 1);
            static_cast<const CDataChar*>(item)->DrawOnBand(dc, QRect(x, y, e.cx, e.cy), itemFonts, mode, run);
            x += e.cx;
            break;
        }
        case KIND_STATUS: {
            const auto* status = static_cast<const CStatus*>(item);
            const Extent e = item->GetExtent(mode, d);
            flushRun();
            item->Draw(dc, QRect(x, y, e.cx, e.cy), itemFonts, mode);
            status->PaintLineRows(dc, drawTools.pens, x, y + e.cy, e.cx, mode, d);
            status->CopyLevelsTo(lineState);
            x += e.cx;
            runStart = x;
            break;
        }
        case KIND_STAMP: {
            const Extent e = item->GetExtent(mode, d);
            item->Draw(dc, QRect(x, y, e.cx, e.cy), itemFonts, mode);
            x += e.cx;
            break;
        }
        case KIND_STAMPTIME: {
            // No line rows under a date-time.
            const Extent e = item->GetExtent(mode, d);
            flushRun();
            item->Draw(dc, QRect(x, y, e.cx, e.cy), itemFonts, mode);
            x += e.cx;
            runStart = x;
            break;
        }
        default:
            break;
        }
    }
    flushRun();
    dc.restore();
    return {x, y};
}

void CAnalyzerView::DrawCaptions(QPainter& dc, const QRect& rect, const CDisplayMode& mode, bool printing, int printGap)
{
    DrawCaptions(dc, rect, mode, printing, printGap, *fonts);
}

void CAnalyzerView::DrawCaptions(QPainter& dc, const QRect& rect, const CDisplayMode& mode, bool printing, int printGap,
                                 const CDisplayFonts& captionFonts)
{
    if (!mode.Data && !mode.Stamp && !mode.Status) return;
    const BandLayout layout{mode.cxChar, mode.cyChar, mode.Data != 0, mode.DataMode, mode.Status != 0};
    const int r = layout.RowHeight();
    const int h = layout.BandHeight();
    const int cy = mode.cyChar;
    const int gap = printing ? printGap : kBandGap;
    // On the screen a band cut by the bottom edge still gets its captions. On
    // paper only whole bands do, and a band that ends exactly at the bottom
    // of the page is printed, so it gets its captions too.
    const int bottom = rect.bottom() + 1;
    auto moreBands = [&](int y) { return printing ? y + h <= bottom : y < bottom; };
    if (h <= 0) return;
    dc.save();
    dc.setFont(captionFonts[CDisplayFonts::CAPTION]);
    const int x = rect.left() + 2;
    auto text = [&](int y, const char* caption, int32_t colour) {
        dc.setPen(ColourOf(colour));
        dc.drawText(QRect(x, y, rect.width() - 2, cy), Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(caption));
    };
    for (int y = rect.top(); moreBands(y);) {
        dc.fillRect(QRect(rect.left(), y, rect.width(), h), kCaptionGrey);
        if (mode.Data) {
            text(y + (r - cy) / 2, "TXD", mode.crDataTXD);
            text(y + r + (r - cy) / 2, "RXD", mode.crDataRXD);
            y += 2 * r;
        } else if (mode.Stamp) {
            text(y + (2 * r - cy) / 2, "STM", mode.crStampFore);
            y += 2 * r;
        } else {
            y += 2 * r;
        }
        if (mode.Status) {
            text(y, "RTS", mode.crDataTXD);
            text(y + cy, "CTS", mode.crDataRXD);
            text(y + 2 * cy, "CD", mode.crDataRXD);
            text(y + 3 * cy, "DTR", mode.crDataTXD);
            text(y + 4 * cy, "DSR", mode.crDataRXD);
            y += 5 * cy;
        }
        dc.fillRect(QRect(rect.left(), y, rect.width(), gap), ColourOf(mode.crBkColor));
        y += gap;
    }
    dc.restore();
}

void CAnalyzerView::DrawCaptionColumn(QPainter& dc, int height, const CDisplayMode& mode)
{
    // The column repeats the same few captions down the window and changes
    // only with the settings or the height: drawn once, then copied, since
    // a live capture renders the window afresh many times a second.
    const CaptionKey key{height, mode.Data, mode.DataMode, mode.Status, mode.Stamp, mode.cxChar, mode.cyChar,
                         mode.crDataTXD, mode.crDataRXD, mode.crStampFore, mode.crBkColor};
    if (captionColumn.isNull() || !(key == captionKey)) {
        captionColumn = QImage(kCaptionWidth, std::max(height, 1), QImage::Format_RGB32);
        captionColumn.fill(ColourOf(mode.crBkColor));
        QPainter painter(&captionColumn);
        DrawCaptions(painter, QRect(0, 0, kCaptionWidth, height), mode, false);
        captionKey = key;
    }
    dc.drawImage(QPoint(0, 0), captionColumn);
}

void CAnalyzerView::EnsureBacking()
{
    const int width = kCaptionWidth + std::max(doc->DisplayMode().cxLine, 0);
    const int height = std::max(viewport()->height(), 1);
    if (backing.isNull() || backing.width() != width || backing.height() != height) {
        backing = QImage(width, height, QImage::Format_RGB32);
        renderNeeded = true;
    }
}

void CAnalyzerView::RenderNow()
{
    CStoreGuard guard(storeLock);
    RenderAllLocked();
}

void CAnalyzerView::RenderAllLocked()
{
    EnsureBacking();
    renderNeeded = false;
    ++fullRenderCount;
    removedLine = -1;
    const CDisplayMode& mode = doc->DisplayMode();
    const CLines& lines = doc->Lines();
    const int h = GetLineHeight();
    const int bottom = ClientBottom();
    QPainter dc(&backing);
    dc.fillRect(backing.rect(), ColourOf(mode.crBkColor));
    DrawCaptionColumn(dc, bottom, mode);
    // Items never spill into the caption column.
    dc.setClipRect(QRect(kCaptionWidth, 0, backing.width() - kCaptionWidth, backing.height()));
    cursor = DrawCursor{};
    if (h <= 0) return;
    CStatus(0x5F, 0x5F).CopyLevelsTo(runningLineState);
    const int n = lines.GetLineCount();
    const int visible = GetVisibleLineCount();
    int first = CorrectFirstLine(firstVisibleLine, n, visible);
    firstVisibleLine = first;
    const bool capturing = Capturing();
    const int right = kCaptionWidth + std::max(mode.cxLine, 0);
    for (int top = 0; BandPainted(top, h, bottom, capturing); top += h + kBandGap, ++first) {
        const QRect band(kCaptionWidth, top, right - kCaptionWidth, h);
        if (first < n) {
            const QPoint end = DrawLine(dc, band, first, 0, mode, 1);
            cursor = DrawCursor{first, lines.GetLine(first)->GetItemCount() - 1, end.x(), end.y()};
        } else {
            dc.fillRect(band, ColourOf(mode.crBkColor));
        }
    }
}

void CAnalyzerView::NoteItemRemovedLocked(int line) { removedLine = line; }

void CAnalyzerView::ShiftFirstLineLocked(int n)
{
    if (n <= 0) return;
    firstVisibleLine -= n;
    cursor.line -= n;
    if (removedLine >= 0) removedLine -= n;
}

void CAnalyzerView::ScrollBackingUp(int pixels, int height)
{
    // Moves the data area's rows [pixels, height) up to row 0; the caption
    // column repeats every band and stays as it is.
    const int rows = std::min(height, backing.height()) - pixels;
    if (rows <= 0) return;
    const int bytesPerPixel = 4;
    const std::size_t offset = static_cast<std::size_t>(kCaptionWidth) * bytesPerPixel;
    const std::size_t length = static_cast<std::size_t>(backing.width() - kCaptionWidth) * bytesPerPixel;
    for (int y = 0; y < rows; ++y)
        std::memmove(backing.scanLine(y) + offset, backing.constScanLine(y + pixels) + offset, length);
}

void CAnalyzerView::DrawNewDataLocked()
{
    if (renderNeeded || backing.isNull()) return; // the next paint renders everything
    const CLines& lines = doc->Lines();
    const CDisplayMode& mode = doc->DisplayMode();
    const int n = lines.GetLineCount();
    if (n == 0) return;
    const int lastLine = n - 1;
    const int h = GetLineHeight();
    const int pitch = h + kBandGap;
    const int visible = GetVisibleLineCount();
    const int right = kCaptionWidth + std::max(mode.cxLine, 0);

    // A provisional stamp the cursor had drawn was taken away: that line is
    // drawn again from its start.
    if (removedLine >= 0 && removedLine == cursor.line) {
        cursor.item = 0;
        cursor.x = kCaptionWidth;
    }
    removedLine = -1;

    const bool cursorOnScreen = cursor.line >= firstVisibleLine && cursor.line < firstVisibleLine + visible
                                && cursor.line <= lastLine && cursor.y == (cursor.line - firstVisibleLine) * pitch;
    if (h <= 0 || visible <= 0 || !cursorOnScreen || lastLine - cursor.line >= visible) {
        // Too much is new (or nothing was drawn yet): show the tail afresh.
        firstVisibleLine = std::max(0, n - visible);
        RenderAllLocked();
        viewport()->update();
        return;
    }

    QPainter dc(&backing);
    dc.setClipRect(QRect(kCaptionWidth, 0, backing.width() - kCaptionWidth, backing.height()));
    int updateTop = cursor.y;
    // Finish the line the cursor is on.
    const CLineInfo* current = lines.GetLine(cursor.line);
    if (current && cursor.item < current->GetItemCount() - 1) {
        const QPoint end = DrawLine(dc, QRect(cursor.x, cursor.y, right - cursor.x, h), cursor.line, cursor.item + 1, mode, 1);
        cursor.x = end.x();
        cursor.item = current->GetItemCount() - 1;
    }
    // Every line begun since gets its own band. Where there is no room for
    // them below, the picture moves up by whole band pitches, once for the
    // whole burst.
    bool scrolled = false;
    const int newLines = lastLine - cursor.line;
    if (newLines > 0) {
        const int freeBelow = visible - 1 - cursor.y / pitch;
        const int shift = std::max(0, newLines - freeBelow);
        if (shift > 0) {
            ScrollBackingUp(shift * pitch, visible * pitch - kBandGap);
            firstVisibleLine += shift;
            cursor.y -= shift * pitch;
            scrolled = true;
        }
        for (int line = cursor.line + 1; line <= lastLine; ++line) {
            const int y = cursor.y + pitch;
            const QPoint end = DrawLine(dc, QRect(kCaptionWidth, y, right - kCaptionWidth, h), line, 0, mode, 1);
            cursor = DrawCursor{line, lines.GetLine(line)->GetItemCount() - 1, end.x(), y};
        }
    }
    dc.end();
    if (scrolled) updateTop = 0;
    viewport()->update(QRect(kCaptionWidth, updateTop, viewport()->width() - kCaptionWidth, cursor.y + h - updateTop));
}

int CAnalyzerView::FinishBurst(bool draw)
{
    Counters counters;
    int trimmed = 0;
    {
        CStoreGuard guard(storeLock);
        trimmed = doc->Lines().TrimOldest();
        ShiftFirstLineLocked(trimmed);
        if (draw) DrawNewDataLocked();
        counters = doc->Lines().GetCounters();
    }
    SendMessage(frame, WM_SET_PANE_TEXT, 264, reinterpret_cast<intptr_t>(&counters));
    return trimmed;
}

void CAnalyzerView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const CDisplayMode& mode = doc->DisplayMode();
    const QColor background = ColourOf(mode.crBkColor);
    const int width = viewport()->width();
    const int height = viewport()->height();
    if (mode.NoDisplay && Capturing()) {
        EnsureBacking();
        {
            QPainter dc(&backing);
            dc.fillRect(QRect(0, 0, kCaptionWidth, height), background);
            DrawCaptionColumn(dc, height, mode);
        }
        renderNeeded = true; // the lines appear at the first paint after the capture
        painter.drawImage(QPoint(0, 0), backing, QRect(0, 0, kCaptionWidth, height));
        painter.fillRect(QRect(kCaptionWidth, 0, width - kCaptionWidth, height), background);
        if (blink) {
            painter.setPen(ColourOf(mode.crDataTXD));
            painter.setFont((*fonts)[CDisplayFonts::STAMP]);
            painter.drawText(QPoint(width / 2, height / 2 + painter.fontMetrics().ascent()), LoadLocalString(313));
        }
        SendCounters();
        return;
    }
    if (renderNeeded || backing.isNull() || backing.height() != std::max(height, 1)) {
        CStoreGuard guard(storeLock);
        RenderAllLocked();
    }
    const int hpos = horizontalScrollBar()->value();
    painter.drawImage(QPoint(0, 0), backing, QRect(0, 0, kCaptionWidth, height));
    const int dataWidth = std::max(0, std::min(width - kCaptionWidth, backing.width() - kCaptionWidth - hpos));
    if (dataWidth > 0) painter.drawImage(QPoint(kCaptionWidth, 0), backing, QRect(kCaptionWidth + hpos, 0, dataWidth, height));
    if (kCaptionWidth + dataWidth < width)
        painter.fillRect(QRect(kCaptionWidth + dataWidth, 0, width - kCaptionWidth - dataWidth, height), background);
}

void CAnalyzerView::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    if (Capturing()) {
        SetScrollBarsEnabled(false);
        // Keep following the tail at the new height.
        int lineCount = 0;
        {
            CStoreGuard guard(storeLock);
            lineCount = doc->Lines().GetLineCount();
        }
        firstVisibleLine = std::max(0, lineCount - GetVisibleLineCount());
    } else {
        UpdateScrollRanges();
        SetScrollBarsEnabled(true);
        scrollingEnabled = true;
        SendCounters();
    }
    backing = QImage();
    Invalidate();
}

void CAnalyzerView::showEvent(QShowEvent* e)
{
    QAbstractScrollArea::showEvent(e);
    if (firstShown) return;
    firstShown = true;
    tools->CreatePositionWindow();
    UpdateScrollRanges();
    SendCounters();
}
