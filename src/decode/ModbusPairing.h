#pragma once
// The roles of Modbus frames and the pairing of each response with the
// request before it, shared by the RTU and ASCII decoders. One transaction
// is open at a time, as on any Modbus line: a response answers the last
// request that began before it did. (Not the last that ended before it: a
// tap that dates a burst of characters back at the line rate may place an
// answer's first characters before the request's last ones.) Frames may be
// found out of order (a direction waits while the other goes on), so the
// last few requests are kept with their places.
#include "CFrame.h"
#include "DecodeSettings.h"
#include "ModbusRules.h"

#include <deque>

class ModbusPairing {
public:
    explicit ModbusPairing(MasterSide master) : master(master) {}

    // The roles a frame on `direction` may have.
    bool MayBe(modbus::Role role, int direction) const;
    // Of a frame that fits both roles (a write's echo, an exception): the
    // response to the open request when it can be one, else a request.
    modbus::Role Resolve(const CFrame& frame) const;
    // Sets the frame's kind, and for a response the request it answers and
    // the delay; a request opens the transaction.
    void Place(CFrame& frame, modbus::Role role);

private:
    struct Request {
        uint64_t number = 0;
        uint64_t firstRecord = 0;
        uint8_t address = 0;
        uint8_t function = 0;
        int direction = 0;
        bool hasTime = false;
        int64_t endMs = 0;
        bool answered = false;
    };
    // The index of the request `frame` answers, or -1.
    int Answered(const CFrame& frame) const;

    static constexpr std::size_t kKept = 16;
    MasterSide master;
    std::deque<Request> requests; // by their first record, oldest first
};
