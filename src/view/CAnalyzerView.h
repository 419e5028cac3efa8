#pragma once
// The window that shows the capture: bands of lines drawn from the line store,
// a live capture followed by drawing only what is new, whole-line vertical and
// pixel-wise horizontal scrolling, and the mouse's line and index.
//
// Everything here runs on the UI thread. The link's dispatch thread reaches
// the view only by posting (the end of a burst) and, holding the store lock,
// by NoteItemRemovedLocked.
#include "CStatus.h"
#include "DrawTools.h"
#include "StoreLock.h"
#include "ViewGeometry.h"
#include "CCmdTarget.h"
#include "IAnalyzerDisplay.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QPen>
#include <QPoint>
#include <QString>

#include <map>
#include <memory>
#include <utility>

class CAnalyzerDoc;
class CDisplayFonts;
class CToolWindows;
class CViewPrinting;
class CDisplayMode;
class QTimer;

class CAnalyzerView : public QAbstractScrollArea, public CCmdTarget, public IAnalyzerDisplay {
public:

    explicit CAnalyzerView(CAnalyzerDoc* doc, QWidget* parent = nullptr);
    ~CAnalyzerView() override;

    // Where pane texts go (the main frame).
    void SetFrame(QObject* frame) { this->frame = frame; }
    QWidget* Window() override { return this; }
    CStoreLock& StoreLock() override { return storeLock; }
    const CDisplayFonts& Fonts() const { return *fonts; }
    CAnalyzerDoc& Doc() const { return *doc; }
    // Print, print directly, print preview and page setup.
    CViewPrinting& Printing() { return *printing; }

    // Timers by id; UI thread only. SetTimer re-arms, KillTimer stops.
    void SetTimer(int id, int milliseconds) override;
    void KillTimer(int id) override;
    bool IsTimerActive(int id) const;

    // The end of a burst, on the UI thread: trim the store, draw what is new
    // (unless `draw` is false), send the counters.
    int FinishBurst(bool draw) override;
    // Draws what was appended since the last drawing; the store lock is held.
    void DrawNewDataLocked() override;
    // The dispatch thread removed the last item of line `line` (a provisional
    // stamp); the store lock is held. The next drawing redraws that line.
    void NoteItemRemovedLocked(int line) override;
    // After the store dropped its n oldest lines; the store lock is held.
    void ShiftFirstLineLocked(int n);

    // Rebuilds the two line pens from the TXD and RXD colours.
    void RecreatePens(int width) override;
    // Repaint everything from the store at the next paint.
    void Invalidate() override;

    // Layout queries for printing, find and go-to.
    int GetLineHeight() const;
    int GetVisibleLineCount() const;
    int FirstVisibleLine() const { return firstVisibleLine; }
    bool ScrollingEnabled() const { return scrollingEnabled; }
    // (line, index) under a point of the viewport, -1 meaning none. Takes the
    // store lock.
    std::pair<int, int> HitTest(QPoint point);
    // Scrolls `line` to the top as far as the scroll range allows (the
    // thumb's way: the frame's message pane then says "Ready").
    void ScrollToLine(int line);
    // The Find and Go to dialogs and the position popup.
    CToolWindows& Tools() { return *tools; }
    // The position text for pane 1: " ", "Ln: %d" or "Ln: %d, Idx:%d".
    static QString PositionText(int line, int index);

    // Draws line `lineIndex` from `firstItem` into band `band`; returns the
    // position after its last item. The store lock is held by the caller.
    // Without `drawTools` the screen's own fonts, pens and line state are used.
    QPoint DrawLine(QPainter& dc, const QRect& band, int lineIndex, int firstItem, const CDisplayMode& mode, int d);
    QPoint DrawLine(QPainter& dc, const QRect& band, int lineIndex, int firstItem, const CDisplayMode& mode, int d,
                    const DrawTools& drawTools);
    // The caption column over `rect`. Printing repeats the captions only for
    // bands that fit whole and separates them by `printGap`.
    void DrawCaptions(QPainter& dc, const QRect& rect, const CDisplayMode& mode, bool printing, int printGap = 0);
    void DrawCaptions(QPainter& dc, const QRect& rect, const CDisplayMode& mode, bool printing, int printGap,
                      const CDisplayFonts& captionFonts);

    // Sets the line width from the window's width (or `windowWidth` when
    // given) if it has not been set this run.
    void EnsureLineWidth(int windowWidth = 0);

    // The rendered image (for tests and the benchmark).
    const QImage& BackingImage() const { return backing; }
    // Renders everything now (what the next paint would do).
    void RenderNow();
    // How many times everything was rendered (a live capture must not).
    int FullRenderCount() const { return fullRenderCount; }

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void OnTimer(int id);
    void OnViewState(int state);
    void OnViewReset();
    void OnVerticalValue(int value);
    void UpdateScrollRanges();
    void UpdateVerticalRange();
    void UpdateHorizontalRange();
    void SetScrollBarsEnabled(bool on);
    void ScrollToTail();
    void RenderAllLocked();
    void DrawCaptionColumn(QPainter& dc, int height, const CDisplayMode& mode);
    void EnsureBacking();
    void ScrollBackingUp(int pixels, int height);
    void SendCounters();
    bool Capturing() const;
    viewgeo::BandLayout Layout() const;
    int ClientBottom() const;
    DrawTools ScreenTools();

    CAnalyzerDoc* doc;
    QObject* frame = nullptr;
    CStoreLock storeLock;
    std::unique_ptr<CDisplayFonts> fonts;
    QPen pens[2];
    QImage backing;
    // The caption column as last drawn, and what it was drawn for.
    struct CaptionKey {
        int height, data, dataMode, status, stamp, cxChar, cyChar, txd, rxd, stampFore, background;
        bool operator==(const CaptionKey&) const = default;
    };
    QImage captionColumn;
    CaptionKey captionKey{};
    bool renderNeeded = true;
    int fullRenderCount = 0;

    // The live drawing cursor: the last line drawn, its last item drawn, and
    // where the next item goes (x) on that line's band (y).
    struct DrawCursor {
        int line = -1;
        int item = -1;
        int x = viewgeo::kCaptionWidth;
        int y = 0;
    } cursor;
    int removedLine = -1; // guarded by the store lock
    int firstVisibleLine = 0;
    CStatus runningLineState{0x5F, 0x5F};
    bool scrollingEnabled = true;
    bool blink = false;
    bool lineWidthSet = false;
    bool firstShown = false;
    bool adjustingRanges = false;
    std::map<int, QTimer*> timers;
    std::unique_ptr<CToolWindows> tools;
    std::unique_ptr<CViewPrinting> printing;
};
