#include "DecodeSettings.h"

bool ParseDecodeProtocol(const std::string& word, DecodeProtocol& protocol)
{
    for (DecodeProtocol p : {DecodeProtocol::None, DecodeProtocol::ModbusRtu, DecodeProtocol::ModbusAscii,
                             DecodeProtocol::Lines}) {
        if (word == DecodeProtocolWord(p)) {
            protocol = p;
            return true;
        }
    }
    return false;
}

bool ParseMasterSide(const std::string& word, MasterSide& master)
{
    for (MasterSide m : {MasterSide::Txd, MasterSide::Rxd, MasterSide::Auto, MasterSide::Bus}) {
        if (word == MasterSideWord(m)) {
            master = m;
            return true;
        }
    }
    return false;
}

const char* DecodeProtocolWord(DecodeProtocol protocol)
{
    switch (protocol) {
    case DecodeProtocol::ModbusRtu: return "modbus-rtu";
    case DecodeProtocol::ModbusAscii: return "modbus-ascii";
    case DecodeProtocol::Lines: return "lines";
    case DecodeProtocol::None: break;
    }
    return "none";
}

const char* MasterSideWord(MasterSide master)
{
    switch (master) {
    case MasterSide::Txd: return "txd";
    case MasterSide::Rxd: return "rxd";
    case MasterSide::Bus: return "bus";
    case MasterSide::Auto: break;
    }
    return "auto";
}
