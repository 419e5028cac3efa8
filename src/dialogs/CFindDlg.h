#pragma once
// The Find dialog: a modeless window with three pages (data, status, stamp),
// the search direction, the highlight colour, Find Next and HighLight All.
// The dialog only holds the query: it sends WM_FIND_NEXT and WM_SET_MARKS
// (with the highlight colour) to its owner view, which searches. Closing
// hides it; it keeps its fields until the view is destroyed.
#include "CFindSettings.h"

#include <QDialog>

#include <map>
#include <string>

class CButtonColor;
class CFindDlgTab1;
class CFindDlgTab2;
class CFindDlgTab3;
class QButtonGroup;
class QPushButton;
class QTabWidget;

class CFindDlg : public QDialog {
public:
    // Reads the "Find" section of `settingsPath` (empty: the defaults) into
    // the fields and shows them. `ownerView` receives the find messages.
    CFindDlg(QObject* ownerView, const std::string& settingsPath, QWidget* parent = nullptr);

    // The fields as last read from the controls (or from the settings).
    const CFindSettings& Fields() const { return fields; }
    CFindSettings& Fields() { return fields; }
    FindQuery Query() const { return fields.Query(); }
    int32_t HighlightColour() const { return fields.highlightColour; }

    // The HighLight All state; setting it shows it in its button.
    bool HighlightAll() const { return highlightAll; }
    void SetHighlightAll(bool on);

    // Shows the dialog in front with the current page's first input focused.
    void Present();

    // Reads the dialog's and the three pages' controls into the fields;
    // false when the stamp value was refused (its message was shown).
    bool ReadControls();

    // The buttons' actions.
    void OnFindNext();
    void OnHighlightAll();
    void OnColour();
    void OnClose();

    // Esc hides the dialog without reading anything.
    void reject() override;

    // The control with the given resource number (160..187), or null.
    QWidget* Control(int id) const;
    CFindDlgTab1* DataPage() const { return page1; }
    CFindDlgTab2* StatusPage() const { return page2; }
    CFindDlgTab3* StampPage() const { return page3; }

private:
    void Localise();
    void ShowFields();
    void SendToOwner(int message, uintptr_t wParam);

    QObject* owner;
    CFindSettings fields;
    bool highlightAll = false;

    QTabWidget* tabs = nullptr;
    CFindDlgTab1* page1 = nullptr;
    CFindDlgTab2* page2 = nullptr;
    CFindDlgTab3* page3 = nullptr;
    QButtonGroup* directions = nullptr;
    QPushButton* highlightButton = nullptr;
    CButtonColor* colourButton = nullptr;
    std::map<int, QWidget*> controls;
};
