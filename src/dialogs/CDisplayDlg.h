#pragma once
// The display settings dialog: which rows the log shows, the data mode, the
// stamp resolution, start/stop times, drawing during a capture and the eight
// colours. It edits a copy of the document's settings. Apply writes them into
// the target (when there is one) and emits applyRequested; after OK the caller
// takes them with CopyToMode. Opened during a capture, the dialog is locked
// to the colours and "No Display" for its whole life.
#include "CDisplayChoices.h"
#include "CDisplayMode.h"

#include <QDialog>

#include <array>
#include <map>

class CButtonColor;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QPushButton;

class CDisplayDlg : public QDialog {
    Q_OBJECT

public:
    // `editable`: no capture runs. `target`, may be null: the record Apply
    // writes the 16 settings into; it must outlive the dialog.
    CDisplayDlg(bool editable, CDisplayMode* target, QWidget* parent = nullptr);

    // The 16 settings from a record, shown at once; call before running.
    void CopyFromMode(const CDisplayMode& mode);
    // The 16 settings into a record; call after OK. Nothing else changes.
    void CopyToMode(CDisplayMode& mode) const { choices.CopyToMode(mode); }

    const CDisplayChoices& Choices() const { return choices; }
    bool Editable() const { return choices.Editable(); }

    // The control with the given resource number (124..157, 326, 1, 2), or null.
    QWidget* Control(int id) const;
    CButtonColor* Swatch(int slot) const { return swatches.at(static_cast<std::size_t>(slot)); }

    void accept() override;

signals:
    // Apply was pressed: `mode` is the record given to CopyFromMode (or the
    // target) with the 16 settings of the dialog. The receiver applies it to
    // the document; the dialog stays open.
    void applyRequested(const CDisplayMode& mode);

private:
    QCheckBox* AddCheck(int id, const char* text);
    QAbstractButton* AddRadio(QButtonGroup* group, int value, int id, const char* text);
    void AddColour(QGridLayout* grid, int row, int labelId, const char* text, int slot, int swatchId);
    QPushButton* AddButton(int id, const char* text);
    void Localise();

    void Initialise();
    void LoadControls();
    void TakeFromControls();
    void UpdateControls();
    void EnableApply(bool on);

    void OnDefault();
    void OnApply();
    void OnColour(int slot);

    CDisplayChoices choices;
    CDisplayMode* target;
    CDisplayMode base;
    bool loading = false;

    std::map<int, QWidget*> controls;
    std::array<CButtonColor*, kDisplayColourCount> swatches{};
    QButtonGroup* dataModes = nullptr;
    QButtonGroup* stampModes = nullptr;
};
