#include "CDeviceChangeEvent.h"

#include <QCoreApplication>
#include <QObject>

#include <atomic>

namespace {

// Qt hands a posted event to the receiving thread under a lock of its own,
// which the thread sanitizer cannot see in an uninstrumented Qt. Posting
// publishes through this counter and the receiver reads it before it looks at
// the event, which states the same ordering in code the sanitizer does see.
std::atomic<unsigned> postFence{0};

void Received() { (void)postFence.load(std::memory_order_acquire); }

} // namespace

CDeviceChangeEvent::CDeviceChangeEvent(uint32_t code, std::optional<ks::DeviceNotice> header)
    : QEvent(static_cast<QEvent::Type>(ks::kDeviceChangeMessage)), eventCode(code), notice(header)
{
}

CDeviceChangeEvent::~CDeviceChangeEvent() { Received(); }

uint32_t CDeviceChangeEvent::EventCode() const
{
    Received();
    return eventCode;
}

const uint8_t* CDeviceChangeEvent::Notice() const
{
    Received();
    return notice ? notice->Bytes() : nullptr;
}

void CDeviceChangeEvent::Post(QObject* window, uint32_t eventCode, std::optional<ks::DeviceNotice> notice)
{
    if (!window) return;
    auto* event = new CDeviceChangeEvent(eventCode, notice);
    postFence.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(window, event);
}
