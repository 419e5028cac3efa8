#pragma once
// Settings, Decoding...: which protocol the Frames pane decodes the capture
// as, and for Modbus where the master's requests are.
#include "DecodeSettings.h"

#include <QDialog>

class QComboBox;

class CDecodingDlg final : public QDialog {
public:
    explicit CDecodingDlg(const DecodeSettings& settings, QWidget* parent = nullptr);

    DecodeSettings Settings() const;
    QComboBox& ProtocolBox() const { return *protocol; }
    QComboBox& MasterBox() const { return *master; }

private:
    void UpdateMaster();

    QComboBox* protocol;
    QComboBox* master;
};
