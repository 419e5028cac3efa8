#pragma once
// What the document asks of the window that shows its capture. The analyzer
// view implements it; the document knows nothing else about the view, so it
// can be built and tested without one (or against a small fake).
//
// All calls are made on the UI thread; the ...Locked ones with the store lock
// held, which is the lock the display hands out here.
#include "StoreLock.h"

class QWidget;

class IAnalyzerDisplay {
public:
    // The display's timers (ids as the capture control arms them).
    enum TimerId : int { TIMER_BLINK = 104, TIMER_SHOW_TAIL = 109, TIMER_IDLE = 327 };

    virtual ~IAnalyzerDisplay() = default;

    // The window: target of the view's window messages and parent of the
    // document's dialogs.
    virtual QWidget* Window() = 0;
    // The store lock: guards the line store between painting and appending.
    virtual CStoreLock& StoreLock() = 0;

    // Timers by id: SetTimer re-arms, KillTimer stops.
    virtual void SetTimer(int id, int milliseconds) = 0;
    virtual void KillTimer(int id) = 0;

    // The end of a burst: trim the store, draw what is new (unless `draw` is
    // false), send the counters. Returns how many lines the trim dropped.
    virtual int FinishBurst(bool draw) = 0;
    // Draws what was appended since the last drawing.
    virtual void DrawNewDataLocked() = 0;
    // The last item of line `line` was taken away (a provisional stamp).
    virtual void NoteItemRemovedLocked(int line) = 0;
    // Repaint everything from the store at the next paint.
    virtual void Invalidate() = 0;
    // Rebuild the two line pens from the TXD and RXD colours.
    virtual void RecreatePens(int width) = 0;
};
