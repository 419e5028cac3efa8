#pragma once
// Stand-ins for the services a dialog reaches for, for dialog tests: a colour
// picker that answers at once, a message service that records, a language
// catalogue for one test, and a window that records the messages a dialog
// sends it.
#include "ColourPicker.h"
#include "LocalStrings.h"
#include "MessageService.h"
#include "WindowMessages.h"

#include <QObject>

#include <optional>
#include <vector>

class AnsweringPicker : public ks::ColourPicker {
public:
    AnsweringPicker() { previous = ks::SetColourPicker(this); }
    ~AnsweringPicker() override { ks::SetColourPicker(previous); }
    std::optional<int32_t> PickColour(int32_t initial, QWidget*) override
    {
        asked.push_back(initial);
        return answer;
    }
    std::optional<int32_t> answer; // empty: the user cancels
    std::vector<int32_t> asked;

private:
    ks::ColourPicker* previous = nullptr;
};

class MessageLog : public ks::MessageService {
public:
    MessageLog() { previous = ks::SetMessageService(this); }
    ~MessageLog() override { ks::SetMessageService(previous); }
    ks::MessageResult Show(const QString& text, ks::MessageButtons) override
    {
        shown.push_back(text);
        return ks::MessageResult::Ok;
    }
    std::vector<QString> shown;

private:
    ks::MessageService* previous = nullptr;
};

class CatalogueForTest {
public:
    explicit CatalogueForTest(const QString& text) { LanguageCatalogue().LoadFromText(text); }
    ~CatalogueForTest() { LanguageCatalogue().Clear(); }
};

// One window message as it arrived.
struct Received {
    int message;
    uintptr_t wParam;
    intptr_t lParam;
    friend bool operator==(const Received&, const Received&) = default;
};

class MessageRecorder : public QObject {
public:
    std::vector<Received> received;
    // Called for each message as it arrives (to look at the sender then).
    std::function<void(const Received&)> onMessage;

protected:
    bool event(QEvent* e) override
    {
        const int type = static_cast<int>(e->type());
        if (type < WM_SET_PANE_TEXT || type > WM_HIDE_TOOL_WINDOWS) return QObject::event(e);
        auto* msg = static_cast<CWindowMessage*>(e);
        received.push_back({type, msg->wParam, msg->lParam});
        if (onMessage) onMessage(received.back());
        msg->result = 1;
        return true;
    }
};
