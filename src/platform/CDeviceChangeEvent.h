#pragma once
// A device-change notice on its way to a window: the event code (arrival,
// removal complete, ...) and the notice's header, owned by the event. A
// notice may come without a header; the receiver then has nothing to check
// and ignores it.
#include "DeviceNotice.h"

#include <QEvent>

#include <cstdint>
#include <optional>

class QObject;

class CDeviceChangeEvent : public QEvent {
public:
    CDeviceChangeEvent(uint32_t eventCode, std::optional<ks::DeviceNotice> notice);
    ~CDeviceChangeEvent() override;

    uint32_t EventCode() const;
    // The header's bytes (DeviceNotice::kSize of them), or null without one.
    const uint8_t* Notice() const;

    // Set by the receiver: 1 when the notice concerned it and it acted.
    intptr_t result = 0;

    // Queues the notice for `window` (any thread); the window handles it on
    // its own thread. A null window drops it.
    static void Post(QObject* window, uint32_t eventCode, std::optional<ks::DeviceNotice> notice);

private:
    uint32_t eventCode;
    std::optional<ks::DeviceNotice> notice;
};
