#pragma once
// What the user chose to decode the characters as.
#include <string>

enum class DecodeProtocol { None, ModbusRtu, ModbusAscii, Lines };

// Which direction carries the Modbus master's requests. Auto tells them by
// content and order; Bus is a one-port tap on a two-wire bus, where requests
// and responses arrive on the same direction one after the other.
enum class MasterSide { Txd, Rxd, Auto, Bus };

struct DecodeSettings {
    DecodeProtocol protocol = DecodeProtocol::None;
    MasterSide master = MasterSide::Auto;
};

// "modbus-rtu", "modbus-ascii", "lines", "none"; false for another word.
bool ParseDecodeProtocol(const std::string& word, DecodeProtocol& protocol);
// "txd", "rxd", "auto", "bus".
bool ParseMasterSide(const std::string& word, MasterSide& master);
const char* DecodeProtocolWord(DecodeProtocol protocol);
const char* MasterSideWord(MasterSide master);

// [Decoding] Protocol= and Master= of the settings file, as the words above;
// a missing or unknown word reads as None and Auto. An empty path reads the
// defaults and writes nothing.
DecodeSettings ReadDecodeSettings(const std::string& settingsPath);
void WriteDecodeSettings(const std::string& settingsPath, const DecodeSettings& settings);
