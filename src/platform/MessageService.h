#pragma once
// Message boxes behind a replaceable service, so that worker threads and
// lower layers can report without knowing about widgets, and tests never block
// on a modal window. The application installs a widget-backed service; until
// then messages go to the debugging output.
#include <QString>

namespace ks {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageResult { Ok, Cancel, Yes, No };

class MessageService {
public:
    virtual ~MessageService() = default;
    // Shows `text` with the program's title; may be called from any thread.
    virtual MessageResult Show(const QString& text, MessageButtons buttons) = 0;
};

// The service in force; never null.
MessageService& Messages();

// Installs `service` (not owned) and returns the previous one; null restores
// the default, which writes to the debugging output and answers Ok/Yes.
MessageService* SetMessageService(MessageService* service);

// Reports a fault as the device link does: to the debugging output and in a
// message box with an OK button.
void ReportMessage(const QString& text);

} // namespace ks
