#pragma once
// The Find dialog's fields: the page last shown, the search direction, the
// highlight colour and the three pages' queries, with the "Find" section of
// the settings file they are kept in. Values read from the file that no
// control could show (a page 7, a condition 9) take their defaults, so that
// nothing indexes a list with them.
#include "FindQuery.h"

#include <QString>

#include <array>
#include <cstdint>
#include <string>

class CFindSettings {
public:
    static constexpr int32_t kDefaultHighlight = 8453888; // red 0, green 255, blue 128

    int page = FIND_DATA;
    int direction = 1; // 0 up, 1 down
    int32_t highlightColour = kDefaultHighlight;
    // Data page.
    QString findText;
    int format = 0; // 0 ASCII, 1 HEX
    int directionFilter = FIND_BOTH;
    // Status page: RTS, CTS, DTR, DSR, CD.
    std::array<int, kConditionSlots> conditions{};
    // Stamp page.
    int compare = STAMP_GREATER;
    uint32_t value = 0;
    int unit = UNIT_MS;

    bool Down() const { return direction != 0; }

    // The query of the fields (the data text parsed in its format).
    FindQuery Query() const;

    // Section "Find": every key read with its default; written all at once.
    void Load(const std::string& path);
    void Save(const std::string& path) const;
};
