#pragma once
// The four line-parameter choices of the communication dialog as positions in
// its lists, kept apart from the widgets. A value outside its list (a settings
// file edited by hand) is shown and handed back as the list's default entry,
// so no table is ever indexed with it.
#include "BaudRateTable.h"

#include <array>

class CCommSetting;

class CCommChoice {
public:
    // The fixed items of the data-bits, parity and stop-bits lists, in order.
    static constexpr std::array<const char*, 2> kDataBitTexts = {"7", "8"};
    static constexpr std::array<const char*, 3> kParityTexts = {"None", "Odd", "Even"};
    static constexpr std::array<const char*, 2> kStopBitTexts = {"1", "2"};

    static constexpr int kDefaultDataBits = 1; // 8 data bits
    static constexpr int kDefaultParity = 0;   // none
    static constexpr int kDefaultStopBits = 0; // 1 stop bit

    CCommChoice() = default;
    // Each index of `setting`, or its list's default when out of the list.
    static CCommChoice From(const CCommSetting& setting);

    // Stores the four positions into `setting` (baud rate, data bits, stop
    // bits, parity); nothing else of it changes.
    void CopyTo(CCommSetting& setting) const;

    // A list position as the dialog reads it back: `position` when it names
    // an entry of a list of `count` items, else `fallback`.
    static int Checked(int position, int count, int fallback);

    int baudRate = kDefaultBaudRateIndex;
    int dataBits = kDefaultDataBits;
    int parity = kDefaultParity;
    int stopBits = kDefaultStopBits;
};
