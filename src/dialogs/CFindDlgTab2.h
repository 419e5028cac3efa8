#pragma once
// The Find dialog's status page: a condition on each of the five control
// lines ("-", a level or an edge), and Reset All.
#include <QWidget>

#include <array>
#include <map>

class CFindSettings;
class QComboBox;

class CFindDlgTab2 : public QWidget {
public:
    CFindDlgTab2(CFindSettings& fields, QWidget* parent = nullptr);

    void ShowFields();
    void ReadControls();
    void Localise();

    // The list of a condition slot (RTS, CTS, DTR, DSR, CD).
    QComboBox* List(int slot) const { return lists.at(static_cast<std::size_t>(slot)); }
    QWidget* Control(int id) const;

private:
    CFindSettings& fields;
    std::array<QComboBox*, 5> lists{};
    std::map<int, QWidget*> controls;
};
