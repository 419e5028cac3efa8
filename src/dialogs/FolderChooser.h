#pragma once
// The folder chooser behind a replaceable service, so that the buffer
// dialog's Reference... button can be driven in tests without a modal window.
// The program uses the platform's folder dialog unless something else is
// installed.
#include <QString>

#include <optional>

class QWidget;

namespace ks {

class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // Lets the user choose a folder of the file system, starting at `start`;
    // its path, or nothing when the user cancelled. UI thread only.
    virtual std::optional<QString> ChooseFolder(const QString& title, const QString& start, QWidget* parent) = 0;
};

// The chooser in force; never null.
FolderChooser& FolderChooserService();

// Installs `chooser` (not owned) and returns the previous one; null restores
// the platform's folder dialog.
FolderChooser* SetFolderChooser(FolderChooser* chooser);

} // namespace ks
