#pragma once
// Field-bus traffic beyond the plain Modbus poll: a master using the whole
// set of common functions (long reads, multiple writes, coils, an unknown
// function), with damaged frames and line noise, in RTU or ASCII framing or
// on a shared two-wire bus heard by one port; and a GPS receiver talking
// NMEA 0183.
#include "Scenarios.h"

#include <memory>

namespace sim {

enum class ModbusFraming {
    Rtu,       // requests on TXD, answers on RXD
    Ascii,     // the same in ASCII framing (':' ... LRC CR LF)
    SharedRtu, // RTU with requests and answers on TXD, as one port hears a two-wire bus
};

std::unique_ptr<Scenario> MakeModbusMixScenario(ModbusFraming framing);
std::unique_ptr<Scenario> MakeNmeaScenario();

} // namespace sim
