#pragma once
// A window stand-in that keeps every device-change notice posted to it, and
// a bounded wait that runs the event loop until enough have arrived.
#include "CDeviceChangeEvent.h"
#include "DeviceNotice.h"

#include <QObject>

#include <cstdint>
#include <optional>
#include <vector>

class NoticeRecorder : public QObject {
public:
    struct Notice {
        uint32_t eventCode;
        std::optional<ks::DeviceNotice> header;
    };

    std::vector<Notice> notices;

    std::vector<uint32_t> Codes() const;
    // Runs the event loop until `count` notices are here or `ms` passed.
    bool WaitFor(std::size_t count, int ms = 3000);
    // Runs the event loop for `ms`; for showing that nothing (more) arrives.
    void Settle(int ms);

protected:
    bool event(QEvent* e) override;
};
