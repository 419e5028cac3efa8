#pragma once
// Which adapter input hears which of the line's five control lines.
//
// A tap cable feeds the line's TXD into the receive pin of one adapter (the
// TXD port) and the line's RXD into the other's (the RXD port). The control
// lines go to the adapters' modem-status inputs, CTS, DSR, DCD and RI, since
// RTS and DTR are outputs on a PC port and cannot be listened to. The wiring
// is written as "LINE=port.input" items, e.g. the common cable:
//   RTS=txd.cts DTR=txd.dsr CTS=rxd.cts DSR=rxd.dsr CD=rxd.dcd
// separated by spaces or commas, without regard to case; LINE=none, or a line
// left out, is not wired and shows its inactive level.
#include <cstdint>
#include <string>

namespace tap {

enum Port { kTxdPort = 0, kRxdPort = 1, kPortCount = 2 };

// Modem-status inputs of an adapter, as bits of our own.
enum Input : int { kInCts = 1, kInDsr = 2, kInDcd = 4, kInRi = 8 };

class TapWiring {
public:
    static constexpr int kLineCount = 5;
    // The five lines in the order of their status-record bits, high to low:
    // CTS 0x10, RTS 0x08, DSR 0x04, DTR 0x02, CD 0x01.
    static const char* LineName(int line);
    static uint8_t LineBit(int line);

    // The common tap cable (see above).
    static TapWiring Default();
    // Parses a wiring text; false with the reason in `error` (and no change).
    bool Parse(const std::string& text, std::string& error);
    std::string Describe() const;

    // The inputs of `port` that carry a line (a mask of Input bits).
    int InputsUsed(int port) const;
    // The status byte's line bits (a set bit is the inactive level) with the
    // lines on `port` taken from `levels` (Input bits set where asserted).
    uint8_t Apply(uint8_t lineBits, int port, int levels) const;
    // The status bit a port's input drives; 0 when it drives none.
    uint8_t BitOf(int port, Input input) const;

private:
    struct Wire {
        int port = -1; // -1: not wired
        int input = 0;
    };
    Wire wires[kLineCount];
};

} // namespace tap
