#pragma once
// The converter's own window, shown when it is started without arguments
// (as the program's "Text File Convert" does): pick a capture file, a target
// file and a form, and convert.
#include "ConvertOptions.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class ConverterWindow : public QWidget {
public:
    explicit ConverterWindow(QWidget* parent = nullptr);

    QLineEdit* CaptureEdit() const { return captureEdit; }
    QLineEdit* TargetEdit() const { return targetEdit; }
    QComboBox* FormList() const { return formList; }
    QPushButton* ConvertButton() const { return convertButton; }
    QLabel* Result() const { return resultLabel; }
    OutputForm Form() const;
    // Converts what the fields say and shows the outcome; true on success.
    bool Convert();

private:
    void BrowseCapture();
    void BrowseTarget();
    void UpdateButton();

    QLineEdit* captureEdit;
    QLineEdit* targetEdit;
    // The target is the one named after the capture, not one the user gave.
    bool targetSuggested = false;
    QComboBox* formList;
    QPushButton* convertButton;
    QLabel* resultLabel;
};
