#pragma once
// A notice source for tests: notices posted directly, as the platform posts
// them, either through the registrations (only windows registered for the
// notice's class get it) or straight to one window whatever it registered.
#include "DeviceNotice.h"

#include <cstdint>
#include <optional>

class QObject;

namespace ks {

class TestNoticeSource {
public:
    // Through the registrations, with the probe's header.
    static void Broadcast(uint32_t eventCode);
    // Through the registrations, with any header.
    static void Broadcast(uint32_t eventCode, const DeviceNotice& notice);
    // To `window` alone; no header when `notice` is empty.
    static void PostTo(QObject* window, uint32_t eventCode, std::optional<DeviceNotice> notice);
};

} // namespace ks
