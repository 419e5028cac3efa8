#pragma once
// The colour picker behind a replaceable service, so that the dialogs' colour
// buttons can be driven in tests without a modal window. The program uses the
// platform's colour dialog unless something else is installed.
#include <cstdint>
#include <optional>

class QWidget;

namespace ks {

class ColourPicker {
public:
    virtual ~ColourPicker() = default;
    // Lets the user choose a colour, starting from `initial` (0x00BBGGRR).
    // The chosen colour, or nothing when the user cancelled. UI thread only.
    virtual std::optional<int32_t> PickColour(int32_t initial, QWidget* parent) = 0;
};

// The picker in force; never null.
ColourPicker& ColourPickerService();

// Installs `picker` (not owned) and returns the previous one; null restores
// the platform's colour dialog.
ColourPicker* SetColourPicker(ColourPicker* picker);

} // namespace ks
