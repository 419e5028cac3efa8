#include "CToolWindows.h"

#include "CAnalyzerDoc.h"
#include "CAnalyzerView.h"
#include "CDlgInfo.h"
#include "CFindDlg.h"
#include "CFindEngine.h"
#include "CGotoDlg.h"
#include "CLines.h"
#include "LocalStrings.h"
#include "MessageService.h"
#include "ViewGeometry.h"

#include <QAction>

#include <algorithm>
#include <climits>

void CToolWindows::SetHighlight(intptr_t colour)
{
    // The drawing code reads the display settings under the store lock.
    CStoreGuard guard(view.StoreLock());
    doc.DisplayMode().crHighlight = static_cast<int32_t>(colour);
}

int32_t CToolWindows::Highlight() const { return doc.DisplayMode().crHighlight; }

void CToolWindows::ShowCanNotFind() { ks::Messages().Show(LoadLocalString(307), ks::MessageButtons::Ok); }

void CToolWindows::AddToolShortcuts(QWidget* window)
{
    // The frame's Ctrl+F and Ctrl+G reach only the main window; a tool window
    // in front takes them the same way.
    auto* find = new QAction(window);
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    QObject::connect(find, &QAction::triggered, window, [this] {
        if (!doc.IsRunning()) OnFind();
    });
    auto* goTo = new QAction(window);
    goTo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    QObject::connect(goTo, &QAction::triggered, window, [this] {
        if (!doc.IsRunning()) OnGotoLine();
    });
    window->addAction(find);
    window->addAction(goTo);
}

// --- Find ---------------------------------------------------------------------

void CToolWindows::OnFind()
{
    if (!findDialog) {
        findDialog = new CFindDlg(&view, doc.SettingsPath(), &view);
        AddToolShortcuts(findDialog);
        // F3 in the dialog searches for what the dialog shows, in the
        // direction the key gives, as F3 in the log does.
        for (const bool up : {false, true}) {
            auto* repeat = new QAction(findDialog);
            repeat->setShortcut(QKeySequence(up ? (Qt::SHIFT | Qt::Key_F3) : QKeyCombination(Qt::Key_F3)));
            QObject::connect(repeat, &QAction::triggered, findDialog, [this, up] {
                if (doc.IsRunning()) return;
                findDialog->ReadControls();
                RepeatFind(up);
            });
            findDialog->addAction(repeat);
        }
        searchLine = view.FirstVisibleLine();
        searchItem = -1;
    }
    findDialog->Present();
    SetHighlight(findDialog->HighlightColour());
}

void CToolWindows::RepeatFind(bool up)
{
    if (!findDialog) {
        OnFind();
        return;
    }
    // The dialog's colour, not whatever a display change left behind.
    const int32_t colour = findDialog->HighlightColour();
    if (findDialog->HighlightAll()) {
        findDialog->SetHighlightAll(false);
        OnSetMarks(0, colour);
    }
    // The direction changes for this search and the next; the radio buttons
    // show what the user last chose there.
    findDialog->Fields().direction = up ? 0 : 1;
    OnFindNext(colour);
}

void CToolWindows::CheckPosition()
{
    const int first = view.FirstVisibleLine();
    if (searchLine == first) return;
    int lineCount = 0;
    {
        CStoreGuard guard(view.StoreLock());
        lineCount = doc.Lines().GetLineCount();
    }
    const int n = lineCount - view.GetVisibleLineCount();
    // A line in the last page cannot be scrolled to the top, so the view not
    // showing it there does not mean the user went elsewhere. A line the log
    // no longer has (the log was replaced meanwhile) starts afresh too.
    if (searchLine <= n || searchLine >= lineCount) {
        searchLine = first;
        searchItem = -1;
    }
}

intptr_t CToolWindows::OnFindNext(intptr_t colour)
{
    SetHighlight(colour);
    if (!findDialog || doc.IsRunning()) return 0;
    CheckPosition();
    const FindQuery query = findDialog->Query();
    const bool down = findDialog->Fields().Down();
    std::optional<FoundMatch> found;
    {
        CStoreGuard guard(view.StoreLock());
        CLines& lines = doc.Lines();
        if (!lines.GetLine(searchLine)) return 0;
        CFindEngine engine(lines, doc.DisplayMode());
        // A search without a current item starts at the first visible item
        // (the line above it upwards) and looks at that item too.
        const bool fresh = searchItem < 0;
        const FindPosition start = fresh ? engine.FreshStart(view.FirstVisibleLine(), down) : FindPosition{searchLine, searchItem};
        found = engine.FindNext(query, start, down, fresh);
    }
    if (!found) {
        ShowCanNotFind();
        return 1;
    }
    searchLine = found->at.line;
    searchItem = found->at.item;
    view.ScrollToLine(searchLine);
    view.Invalidate();
    return 1;
}

intptr_t CToolWindows::OnSetMarks(uintptr_t wParam, intptr_t colour)
{
    SetHighlight(colour);
    int matches = 0;
    int firstLine = 0;
    {
        CStoreGuard guard(view.StoreLock());
        CLines& lines = doc.Lines();
        if (lines.GetLineCount() == 0) return 0;
        CFindEngine engine(lines, doc.DisplayMode());
        if (wParam == 0 || !findDialog || doc.IsRunning()) {
            engine.ClearMarks();
        } else {
            matches = engine.HighLightAll(findDialog->Query(), &firstLine);
        }
    }
    view.Invalidate();
    if (wParam == 0) return 1;
    if (matches == 0) {
        ShowCanNotFind();
        return 1;
    }
    view.ScrollToLine(firstLine);
    return 1;
}

// --- Go to ----------------------------------------------------------------------

void CToolWindows::OnGotoLine()
{
    if (!gotoDialog) {
        gotoDialog = new CGotoDlg(&view, &view);
        AddToolShortcuts(gotoDialog);
    }
    int lineCount = 0;
    {
        CStoreGuard guard(view.StoreLock());
        lineCount = doc.Lines().GetLineCount();
    }
    gotoDialog->Present(static_cast<uint32_t>(view.FirstVisibleLine()) + 1, QString::number(static_cast<unsigned>(lineCount)));
}

intptr_t CToolWindows::OnGotoLineMessage()
{
    const int64_t line = gotoDialog ? static_cast<int64_t>(gotoDialog->Line()) - 1 : 0;
    // The scrolling clamps: 0 and 1 both show the first line, anything past
    // the last page the last page.
    view.ScrollToLine(static_cast<int>(std::clamp<int64_t>(line, 0, INT_MAX)));
    return 1;
}

void CToolWindows::OnHideToolWindows(uintptr_t bits)
{
    if ((bits & 1) && findDialog) {
        findDialog->hide();
        searchLine = view.FirstVisibleLine();
        searchItem = -1;
    }
    if ((bits & 2) && gotoDialog) gotoDialog->hide();
}

// --- The position popup -----------------------------------------------------------

void CToolWindows::CreatePositionWindow()
{
    if (!positionWindow) positionWindow = new CDlgInfo(&view);
}

void CToolWindows::OnLeftButton(QPoint viewportPoint)
{
    const QPoint at = view.viewport()->mapToGlobal(viewportPoint);
    const QRect window(view.mapToGlobal(QPoint(0, 0)), view.size());
    // The caption column shows no position.
    if (at.x() - window.left() < viewgeo::kCaptionWidth) return;
    const viewgeo::PopupPlace place =
        viewgeo::PlacePositionPopup(at.x(), at.y(), window.left() + window.width(), window.top() + window.height());
    const auto [line, index] = view.HitTest(viewportPoint);
    if (line < 0 && index < 0) return;
    CreatePositionWindow();
    positionWindow->ShowPositionWindow(place.left, place.top, place.left + 130, place.top + 70, line + 1, index + 1);
}

// --- Teardown -----------------------------------------------------------------------

void CToolWindows::SaveAndDestroy()
{
    if (findDialog && !doc.SettingsPath().empty()) findDialog->Fields().Save(doc.SettingsPath());
    delete findDialog;
    findDialog = nullptr;
    delete gotoDialog;
    gotoDialog = nullptr;
    delete positionWindow;
    positionWindow = nullptr;
}
