#pragma once
// What the display settings dialog edits and the rules that tie its controls
// together, kept apart from the widgets: the 16 settings of a CDisplayMode the
// user can change, whether the dialog may change the switches at all, which
// controls are usable, and the defaults.
#include "CDisplayMode.h"

#include <array>
#include <cstdint>

// The eight colours in the order of the dialog's members.
enum DisplayColourSlot : int {
    kColourTXD,
    kColourRXD,
    kColourSpecChar,
    kColourErrFrame,
    kColourErrParity,
    kColourStampFore,
    kColourStampBack,
    kColourBackground,
    kDisplayColourCount
};

// Which groups of controls the user can use.
struct DisplayEnables {
    bool dataSwitch = false;     // "Data"
    bool dataMode = false;       // ASCII, HEX horizontal, HEX vertical
    bool dataColours = false;    // TXD, RXD and special-character colours
    bool errorSwitch = false;    // "Error"
    bool errorColours = false;   // framing and parity colours
    bool statusSwitch = false;   // "Line Status"
    bool stampSwitch = false;    // "Time Stamp"
    bool stampMode = false;      // the five stamp resolutions
    bool stampColours = false;   // stamp foreground and background
    bool dateTimeSwitch = false; // "Record the time ..."
};

class CDisplayChoices {
public:
    // `editable` is false while a capture runs: then only the colours and
    // "No Display" may change, for the whole life of the dialog.
    explicit CDisplayChoices(bool editable);

    bool Editable() const { return editable; }

    // The 16 settings from and to a record; nothing else of it is touched.
    void CopyFromMode(const CDisplayMode& mode);
    void CopyToMode(CDisplayMode& mode) const;

    // Error colours and line-status rows mean nothing without the data rows:
    // with "Data" off, Error and Status are cleared. Only when editable: the
    // locked form never changes a setting the user cannot see change (a
    // capture would silently stop recording line status).
    void ApplyDataRule();

    DisplayEnables Enables() const;

    // The Default button: every switch and mode when editable, and always
    // the eight colours, to the values a fresh record has.
    void SetDefaults();

    // The radio button to show for a mode; a value outside its group (a
    // settings file edited by hand) shows the first.
    int DataModeButton() const;
    int StampModeButton() const;

    int32_t& Colour(int slot) { return colours.at(static_cast<std::size_t>(slot)); }
    int32_t Colour(int slot) const { return colours.at(static_cast<std::size_t>(slot)); }
    static int32_t DefaultColour(int slot);

    static constexpr int kDataModeCount = 3;
    static constexpr int kStampModeCount = 5;

    int32_t Data = 1;
    int32_t DataMode = 0;
    int32_t Error = 1;
    int32_t Stamp = 0;
    int32_t StampMode = 0;
    int32_t DateTime = 1;
    int32_t Status = 0;
    int32_t NoDisplay = 0;
    std::array<int32_t, kDisplayColourCount> colours{};

private:
    bool editable;
};
