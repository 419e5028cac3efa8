#pragma once
// The about box: program name and version, and the probe's firmware text.
#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
public:
    CAboutDlg(const QString& firmwareText, QWidget* parent);
    QString FirmwareLabelText() const;

private:
    QLabel* firmware = nullptr;
};
