#pragma once
// The Find dialog's stamp page: greater than, equal to or less than a value
// in milliseconds, seconds, minutes or hours.
#include <QWidget>

#include <map>

class CFindSettings;
class QButtonGroup;
class QComboBox;
class QLineEdit;

class CFindDlgTab3 : public QWidget {
public:
    CFindDlgTab3(CFindSettings& fields, QWidget* parent = nullptr);

    void ShowFields();
    // Reads the comparison, the value and the unit. A value that is not an
    // unsigned 32-bit number is refused with "Enter a positive integer.":
    // the value and the unit then keep what they were, the controls show it
    // again and the value edit takes the focus. False when refused.
    bool ReadControls();

    QLineEdit* ValueEdit() const { return value; }
    QComboBox* UnitList() const { return unit; }
    QWidget* Control(int id) const;

    // An unsigned 32-bit decimal number, digits only.
    static bool ParseValue(const QString& text, uint32_t& out);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillUnits();

    CFindSettings& fields;
    QButtonGroup* compare = nullptr;
    QLineEdit* value = nullptr;
    QComboBox* unit = nullptr;
    std::map<int, QWidget*> controls;
};
