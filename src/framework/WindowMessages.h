#pragma once
// The program's own window messages, carried as Qt events whose type is the
// message's fixed number. Worker threads may only post them; sending (handling
// at once, synchronously) is for the UI thread.
#include "DeviceNotice.h"

#include <QCoreApplication>
#include <QEvent>
#include <QString>

#include <atomic>
#include <cstdint>

enum WindowMessage : int {
    WM_SET_PANE_TEXT = 1224,
    WM_VIEW_STATE = 1228,
    WM_VIEW_RESET = 1229,
    WM_LINK_LOST = 1231,
    WM_FIND_NEXT = 1232,
    WM_SET_MARKS = 1233,
    WM_GOTO_LINE = 1236,
    WM_HIDE_TOOL_WINDOWS = 1237,
    // Internal to this program's Qt carriage, above the fixed numbers.
    WM_COMMAND_POST = 1300,      // wParam = command id, routed on arrival
    WM_BURST_END = 1301,         // the link ran dry after a burst: draw, trim, re-arm
    WM_PAINT_INDICATORS = 1302,  // the five line indicators changed colour
    WM_VSCROLL_BOTTOM = 1303,    // scroll the view to the bottom (the stop step)
    WM_SERIES_FIRST_DATA = 1304, // wParam = series number: its first records arrived
    WM_SERIES_END = 1305,        // wParam = series number, lParam = reason | (errno << 8)
    WM_SERIES_OVERRUN = 1306,    // wParam = series number: it takes no more records and ends once written
    // Device arrival and removal, posted by the platform layer as a
    // CDeviceChangeEvent (wParam = event code, lParam = the notice's header).
    WM_DEVICECHANGE = ks::kDeviceChangeMessage,
};

// Qt's event queue hands a posted event to the UI thread under a lock inside
// Qt; with an uninstrumented Qt the thread sanitizer cannot see that hand-over
// and would take the event's fields for racing. Posting publishes through this
// counter (release) and every receiver reads it (acquire) before looking at an
// event, which states the same ordering in code the sanitizer does see.
inline std::atomic<unsigned>& PostedMessageFence()
{
    static std::atomic<unsigned> fence{0};
    return fence;
}
inline void ReceivePostedMessages() { (void)PostedMessageFence().load(std::memory_order_acquire); }

// One window message. A text travelling with it is owned by the event, so a
// worker's buffer never has to outlive the post.
class CWindowMessage : public QEvent {
public:
    CWindowMessage(int message, uintptr_t wParam, intptr_t lParam, QString text = {})
        : QEvent(static_cast<QEvent::Type>(message)), wParam(wParam), lParam(lParam), text(std::move(text)) {}
    ~CWindowMessage() override { ReceivePostedMessages(); }

    int Message() const { return static_cast<int>(type()); }

    uintptr_t wParam;
    intptr_t lParam;
    QString text;
    // Set by the receiver; the value a sent message returns.
    intptr_t result = 0;
};

// Any thread. A null target drops the message (a window that does not exist).
inline void PostMessage(QObject* target, int message, uintptr_t wParam = 0, intptr_t lParam = 0, QString text = {})
{
    if (!target) return;
    auto* event = new CWindowMessage(message, wParam, lParam, std::move(text));
    PostedMessageFence().fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(target, event);
}

// UI thread only: handled before this returns; gives the receiver's result.
inline intptr_t SendMessage(QObject* target, int message, uintptr_t wParam = 0, intptr_t lParam = 0, QString text = {})
{
    if (!target) return 0;
    CWindowMessage msg(message, wParam, lParam, std::move(text));
    QCoreApplication::sendEvent(target, &msg);
    return msg.result;
}

// Values of WM_VIEW_STATE's wParam.
enum ViewState : int { VIEW_SETTINGS_CHANGED = 0, VIEW_CAPTURE_STOPPED = 1, VIEW_CAPTURE_STARTED = 2, VIEW_LOG_REPLACED = 3 };
