#include "MessageService.h"

#include "DebugLog.h"

#include <atomic>

namespace ks {
namespace {

class DebugOutputMessages final : public MessageService {
public:
    MessageResult Show(const QString& text, MessageButtons buttons) override
    {
        OutputDebugString(text);
        return buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel
            ? MessageResult::Yes : MessageResult::Ok;
    }
};

DebugOutputMessages& DefaultService()
{
    static DebugOutputMessages service;
    return service;
}

std::atomic<MessageService*>& Current()
{
    static std::atomic<MessageService*> current{nullptr};
    return current;
}

} // namespace

MessageService& Messages()
{
    MessageService* s = Current().load(std::memory_order_acquire);
    return s ? *s : DefaultService();
}

MessageService* SetMessageService(MessageService* service)
{
    return Current().exchange(service, std::memory_order_acq_rel);
}

void ReportMessage(const QString& text)
{
    MessageService& service = Messages();
    if (&service != static_cast<MessageService*>(&DefaultService())) OutputDebugString(text);
    service.Show(text, MessageButtons::Ok);
}

} // namespace ks
