#include "LineFormat.h"

namespace sim {
namespace {
constexpr uint32_t kBaudRates[19] = {50, 100, 110, 150, 200, 300, 600, 1200, 2400, 4800,
                                     9600, 14400, 19200, 28800, 38400, 57600, 76800, 115200, 230400};
} // namespace

bool LineFormat::FromBlock(const uint8_t* block, int length)
{
    if (!block || length < 5) return false;
    if (block[0] >= 19 || block[1] > 1 || block[2] > 1) return false;
    int parityCode;
    switch (block[3]) {
    case 0: parityCode = 0; break;
    case 3: parityCode = 1; break; // odd
    case 2: parityCode = 2; break; // even
    default: return false;
    }
    baud = kBaudRates[block[0]];
    dataBits = block[1] == 1 ? 7 : 8;
    stopBits = block[2] == 1 ? 2 : 1;
    parity = parityCode;
    reportErrors = (block[4] & 0x01) != 0;
    reportStatus = (block[4] & 0x02) != 0;
    reportTicks = (block[4] & 0x04) != 0;
    return true;
}

} // namespace sim
