#pragma once
// The communication settings dialog: baud rate, data bits, parity and stop
// bits of the monitored line. It edits a copy of the document's choice; after
// OK the caller reads the four positions back (or lets CopyTo store them) and
// sends the new parameters to the probe.
#include "CCommChoice.h"

#include <QDialog>

#include <map>

class CCommSetting;
class QComboBox;
class QGridLayout;

class CCommDlg : public QDialog {
public:
    CCommDlg(const CCommSetting& setting, QWidget* parent = nullptr);

    // The positions chosen; after OK they are what the user picked, after
    // Cancel they are still those of the setting the dialog was made from.
    int BaudRate() const { return choice.baudRate; }
    int DataBits() const { return choice.dataBits; }
    int Parity() const { return choice.parity; }
    int StopBits() const { return choice.stopBits; }
    const CCommChoice& Choice() const { return choice; }
    // Stores the four positions into `setting`; call it after OK.
    void CopyTo(CCommSetting& setting) const { choice.CopyTo(setting); }

    // The control with the given resource number (115..122, 1, 2), or null.
    QWidget* Control(int id) const;

    void accept() override;

private:
    QComboBox* AddList(QGridLayout* grid, int labelId, const char* labelText, int listId);
    void LoadControls();

    CCommChoice choice;
    std::map<int, QWidget*> controls;
};
