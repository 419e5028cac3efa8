#pragma once
// The whole program offscreen with a log at rest (no probe plugged in), and
// helpers to lay out a log character by character so that a test knows on
// which display line each character lands.
#include "AppFixture.h"

#include "CDataChar.h"
#include "CLineInfo.h"
#include "CLines.h"
#include "CToolWindows.h"
#include "StoreLock.h"
#include "WindowMessages.h"

#include <QScrollBar>

#include <string>
#include <vector>

class LogAtRest : public AppFixture {
protected:
    void SetUp() override
    {
        Setup setup;
        setup.unplugged = true;
        ASSERT_TRUE(StartApp(setup));
    }

    // Characters a full display line holds.
    int PerLine() const { return Doc()->DisplayMode().cxLine / Doc()->DisplayMode().cxChar; }

    // `lines` full lines of TXD '.', with `text` written over them from
    // character `at` on (all TXD); the view is told the log changed.
    void Lay(int lines, const std::vector<std::pair<int, std::string>>& texts)
    {
        std::string all(static_cast<std::size_t>(lines * PerLine()), '.');
        for (const auto& [at, text] : texts) all.replace(static_cast<std::size_t>(at), text.size(), text);
        Append(all);
        Replaced();
    }
    // Appends TXD characters; '|' makes the next character RXD.
    void Append(const std::string& text)
    {
        CStoreGuard guard(View()->StoreLock());
        bool rxd = false;
        for (char c : text) {
            if (c == '|') {
                rxd = true;
                continue;
            }
            Doc()->Lines().AddDataChar(static_cast<uint8_t>(c), rxd ? 0x28 : 0x20, Doc()->DisplayMode());
            rxd = false;
        }
    }
    void Replaced()
    {
        SendMessage(View(), WM_VIEW_STATE, VIEW_LOG_REPLACED);
        SendMessage(View(), WM_VIEW_STATE, VIEW_CAPTURE_STOPPED);
    }
    // Where the n-th character of a Lay() log starts.
    int LineOf(int n) const { return n / PerLine(); }

    // The (line, item) of every marked item, in log order.
    std::vector<std::pair<int, int>> Marked()
    {
        std::vector<std::pair<int, int>> out;
        CStoreGuard guard(View()->StoreLock());
        const CLines& lines = Doc()->Lines();
        for (int l = 0; l < lines.GetLineCount(); ++l) {
            const CLineInfo* line = lines.GetLine(l);
            for (int i = 0; i < line->GetItemCount(); ++i)
                if (line->GetItem(i)->mark) out.emplace_back(l, i);
        }
        return out;
    }
    void ScrollTo(int line) { View()->verticalScrollBar()->setValue(line); }
    int First() const { return View()->FirstVisibleLine(); }
    int LastPageStart()
    {
        CStoreGuard guard(View()->StoreLock());
        return std::max(0, Doc()->Lines().GetLineCount() - View()->GetVisibleLineCount());
    }
    CToolWindows& Tools() const { return View()->Tools(); }
};
