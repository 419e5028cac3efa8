#include "ColourPicker.h"

#include "ColorRef.h"

#include <QColorDialog>

namespace ks {
namespace {

class DialogColourPicker final : public ColourPicker {
public:
    std::optional<int32_t> PickColour(int32_t initial, QWidget* parent) override
    {
        // The dialog keeps its custom colours for the rest of the run.
        const QColor chosen = QColorDialog::getColor(ColorFromRef(initial), parent);
        if (!chosen.isValid()) return std::nullopt;
        return RefFromColor(chosen);
    }
};

DialogColourPicker& DefaultPicker()
{
    static DialogColourPicker picker;
    return picker;
}

// Set and read on the UI thread only, like the dialogs that use it.
ColourPicker* current = nullptr;

} // namespace

ColourPicker& ColourPickerService() { return current ? *current : DefaultPicker(); }

ColourPicker* SetColourPicker(ColourPicker* picker)
{
    ColourPicker* previous = current;
    current = picker;
    return previous;
}

} // namespace ks
