#pragma once
// The Find dialog's data page: the text to find with its format (ASCII or
// HEX) and the direction filter (TXD, RXD or both). Changing the format
// rewrites the text in the new format.
#include <QWidget>

#include <map>

class CFindSettings;
class CMyEdit;
class QButtonGroup;
class QComboBox;

class CFindDlgTab1 : public QWidget {
public:
    // `fields` is the dialog's; it outlives the page.
    CFindDlgTab1(CFindSettings& fields, QWidget* parent = nullptr);

    void ShowFields();
    // False when the text was refused (and the page shows the earlier one).
    bool ReadControls();
    void Localise();

    CMyEdit* FindEdit() const { return edit; }
    QWidget* Control(int id) const;

private:
    void OnFormatChanged();

    CFindSettings& fields;
    CMyEdit* edit = nullptr;
    QComboBox* format = nullptr;
    QButtonGroup* directions = nullptr;
    std::map<int, QWidget*> controls;
    bool showing = false;
};
