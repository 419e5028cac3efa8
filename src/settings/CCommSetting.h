#pragma once
// The serial line parameters the probe is set to, as list indexes. Read from
// section "COM" of the settings file when constructed, written back when
// destroyed.
#include <cstdint>
#include <string>

class CCommSetting {
public:
    // Reads "COM" from `settingsPath`; an empty path reads nothing (defaults)
    // and writes nothing back.
    explicit CCommSetting(std::string settingsPath);
    CCommSetting(const CCommSetting&) = delete;
    CCommSetting& operator=(const CCommSetting&) = delete;
    virtual ~CCommSetting();

    int32_t Baudrate = 10; // index into the baud-rate table, 10 = 9600
    int32_t Databit = 1;   // 0 = 7 data bits, 1 = 8
    int32_t Stopbit = 0;   // 0 = 1 stop bit, 1 = 2
    int32_t Parity = 0;    // 0 none, 1 odd, 2 even

    // Bytes 0..3 of the probe's 8-byte parameter block; the caller zeroed the
    // block and fills byte 4 itself.
    void FillParameterBlock(uint8_t* block) const;

    // The value behind the status-bar text "COM: 9600-8-N-1".
    uint32_t PackLineParameters(uint32_t extra = 0) const;

    // The indexes as the lists show them: a value read from the file outside
    // its list falls back to the default, so no table is indexed unchecked.
    int BaudrateIndex() const;
    int DatabitIndex() const;
    int StopbitIndex() const;
    int ParityIndex() const;

    void SaveSettings() const;

private:
    std::string path;
};

// "COM: 9600-8-N-1" from a packed value; out-of-table baud indexes show "?".
std::string FormatLineParameters(uint32_t packed);
