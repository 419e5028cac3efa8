#include "TestNoticeSource.h"

#include "CDeviceChangeEvent.h"
#include "DeviceNoticeHub.h"

namespace ks {

void TestNoticeSource::Broadcast(uint32_t eventCode)
{
    DeviceNoticeHub::Instance().Broadcast(eventCode, DeviceNotice::ForInterface(kProbeInterfaceClass));
}

void TestNoticeSource::Broadcast(uint32_t eventCode, const DeviceNotice& notice)
{
    DeviceNoticeHub::Instance().Broadcast(eventCode, notice);
}

void TestNoticeSource::PostTo(QObject* window, uint32_t eventCode, std::optional<DeviceNotice> notice)
{
    CDeviceChangeEvent::Post(window, eventCode, notice);
}

} // namespace ks
