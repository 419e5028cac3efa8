#include "FolderChooser.h"

#include <QFileDialog>

namespace ks {
namespace {

class DialogFolderChooser final : public FolderChooser {
public:
    std::optional<QString> ChooseFolder(const QString& title, const QString& start, QWidget* parent) override
    {
        // File-system folders only, with a field for typing a path.
        const QString chosen = QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
        if (chosen.isEmpty()) return std::nullopt;
        return chosen;
    }
};

DialogFolderChooser& DefaultChooser()
{
    static DialogFolderChooser chooser;
    return chooser;
}

// Set and read on the UI thread only, like the dialog that uses it.
FolderChooser* current = nullptr;

} // namespace

FolderChooser& FolderChooserService() { return current ? *current : DefaultChooser(); }

FolderChooser* SetFolderChooser(FolderChooser* chooser)
{
    FolderChooser* previous = current;
    current = chooser;
    return previous;
}

} // namespace ks
