#include "CDisplayChoices.h"

namespace {

// The record's colour fields in slot order.
constexpr std::array<int32_t CDisplayMode::*, kDisplayColourCount> kColourFields = {
    &CDisplayMode::crDataTXD,   &CDisplayMode::crDataRXD,   &CDisplayMode::crSpecChar,  &CDisplayMode::crErrFrame,
    &CDisplayMode::crErrParity, &CDisplayMode::crStampFore, &CDisplayMode::crStampBack, &CDisplayMode::crBkColor,
};

int InGroup(int32_t value, int count) { return value >= 0 && value < count ? value : 0; }

} // namespace

CDisplayChoices::CDisplayChoices(bool editableForm) : editable(editableForm)
{
    CopyFromMode(CDisplayMode());
}

void CDisplayChoices::CopyFromMode(const CDisplayMode& mode)
{
    Data = mode.Data;
    DataMode = mode.DataMode;
    Error = mode.Error;
    Stamp = mode.Stamp;
    StampMode = mode.StampMode;
    DateTime = mode.DateTime;
    Status = mode.Status;
    NoDisplay = mode.NoDisplay;
    for (int i = 0; i < kDisplayColourCount; ++i) colours[static_cast<std::size_t>(i)] = mode.*kColourFields[static_cast<std::size_t>(i)];
}

void CDisplayChoices::CopyToMode(CDisplayMode& mode) const
{
    mode.Data = Data;
    mode.DataMode = DataMode;
    mode.Error = Error;
    mode.Stamp = Stamp;
    mode.StampMode = StampMode;
    mode.DateTime = DateTime;
    mode.Status = Status;
    mode.NoDisplay = NoDisplay;
    for (int i = 0; i < kDisplayColourCount; ++i) mode.*kColourFields[static_cast<std::size_t>(i)] = colours[static_cast<std::size_t>(i)];
}

void CDisplayChoices::ApplyDataRule()
{
    if (!editable || Data) return;
    Error = 0;
    Status = 0;
}

DisplayEnables CDisplayChoices::Enables() const
{
    const bool data = Data != 0;
    DisplayEnables e;
    e.dataSwitch = editable;
    e.dataMode = data && editable;
    e.dataColours = data;
    e.errorSwitch = data && editable;
    // Error is already off without data when editable; the locked form keeps
    // whatever it was given, and its error colours follow the data rows too.
    e.errorColours = data && Error != 0;
    e.statusSwitch = data && editable;
    e.stampSwitch = editable;
    e.stampMode = Stamp != 0 && editable;
    e.stampColours = Stamp != 0;
    e.dateTimeSwitch = editable;
    return e;
}

void CDisplayChoices::SetDefaults()
{
    const CDisplayMode fresh;
    if (editable) {
        Data = fresh.Data;
        DataMode = fresh.DataMode;
        Error = fresh.Error;
        Status = fresh.Status;
        Stamp = fresh.Stamp;
        StampMode = fresh.StampMode;
        DateTime = fresh.DateTime;
        NoDisplay = fresh.NoDisplay;
    }
    for (int i = 0; i < kDisplayColourCount; ++i) colours[static_cast<std::size_t>(i)] = DefaultColour(i);
}

int CDisplayChoices::DataModeButton() const { return InGroup(DataMode, kDataModeCount); }
int CDisplayChoices::StampModeButton() const { return InGroup(StampMode, kStampModeCount); }

int32_t CDisplayChoices::DefaultColour(int slot)
{
    static const CDisplayMode fresh;
    return fresh.*kColourFields.at(static_cast<std::size_t>(slot));
}
