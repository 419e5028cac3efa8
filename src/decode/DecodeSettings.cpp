#include "DecodeSettings.h"

#include "Profile.h"

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

DecodeSettings ReadDecodeSettings(const std::string& settingsPath)
{
    DecodeSettings settings;
    if (settingsPath.empty()) return settings;
    if (!ParseDecodeProtocol(ks::GetPrivateProfileString("Decoding", "Protocol", "none", 32, settingsPath),
                             settings.protocol))
        settings.protocol = DecodeProtocol::None;
    if (!ParseMasterSide(ks::GetPrivateProfileString("Decoding", "Master", "auto", 32, settingsPath), settings.master))
        settings.master = MasterSide::Auto;
    return settings;
}

void WriteDecodeSettings(const std::string& settingsPath, const DecodeSettings& settings)
{
    if (settingsPath.empty()) return;
    ks::WritePrivateProfileStringA("Decoding", "Protocol", DecodeProtocolWord(settings.protocol), settingsPath);
    ks::WritePrivateProfileStringA("Decoding", "Master", MasterSideWord(settings.master), settingsPath);
}
