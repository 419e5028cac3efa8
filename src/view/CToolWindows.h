#pragma once
// The view's three tool windows and what the view does for them: the Find
// dialog with the find position and the find messages, the Go to dialog with
// its line message, and the position popup shown at a left click. The view
// owns one of these and hands it its commands, keys and messages.
//
// UI thread only. The search reads and marks the store under the store lock.
#include "FindPosition.h"

#include <QPoint>

#include <cstdint>
#include <optional>

class CAnalyzerDoc;
class CAnalyzerView;
class CDlgInfo;
class CFindDlg;
class CGotoDlg;
class QWidget;

class CToolWindows {
public:
    CToolWindows(CAnalyzerView& view, CAnalyzerDoc& doc) : view(view), doc(doc) {}
    CToolWindows(const CToolWindows&) = delete;
    CToolWindows& operator=(const CToolWindows&) = delete;

    // Command 225: creates the Find dialog the first time (reading the Find
    // settings), then shows it.
    void OnFind();
    // Command 222: shows the Go to dialog with the first visible line and
    // the number of lines.
    void OnGotoLine();
    // F3 (Shift+F3 upwards): the last search again, from the find position.
    void RepeatFind(bool up);

    // WM_FIND_NEXT, WM_SET_MARKS (0 clear, else HighLight All), WM_GOTO_LINE;
    // the results the messages return.
    intptr_t OnFindNext(intptr_t colour);
    intptr_t OnSetMarks(uintptr_t wParam, intptr_t colour);
    intptr_t OnGotoLineMessage();
    // WM_HIDE_TOOL_WINDOWS: bit 0 the Find dialog (and the find position
    // starts afresh), bit 1 the Go to dialog.
    void OnHideToolWindows(uintptr_t bits);

    // A left click at a point of the viewport while no capture runs.
    void OnLeftButton(QPoint viewportPoint);
    // Creates the hidden position popup (at the view's first showing).
    void CreatePositionWindow();

    // The view is going: the Find settings are written (when the dialog was
    // made this run) and the three windows destroyed.
    void SaveAndDestroy();

    CFindDlg* FindDialog() const { return findDialog; }
    CGotoDlg* GotoDialog() const { return gotoDialog; }
    CDlgInfo* PositionWindow() const { return positionWindow; }
    // The find position: the first item of the last match, or item -1.
    FindPosition SearchPosition() const { return {searchLine, searchItem}; }

private:
    void SetHighlight(intptr_t colour);
    int32_t Highlight() const;
    // Find Next's position check: a find position the user has scrolled away
    // from (or one the log no longer has) starts afresh.
    void CheckPosition();
    void AddToolShortcuts(QWidget* window);
    void ShowCanNotFind();

    CAnalyzerView& view;
    CAnalyzerDoc& doc;
    CFindDlg* findDialog = nullptr;
    CGotoDlg* gotoDialog = nullptr;
    CDlgInfo* positionWindow = nullptr;
    int searchLine = 0;
    int searchItem = -1;
};
