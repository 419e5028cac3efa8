#pragma once
// The Go to dialog: a modeless window in which the user types a display line
// number (from 1); "Go to" asks the owner view with WM_GOTO_LINE to scroll
// that line to the top and keeps the dialog open for the next number.
#include <QDialog>

#include <cstdint>
#include <map>

class QLabel;
class QLineEdit;

class CGotoDlg : public QDialog {
public:
    explicit CGotoDlg(QObject* ownerView, QWidget* parent = nullptr);

    // The line as last read from the edit (from 1), and the total shown.
    uint32_t Line() const { return line; }
    const QString& TotalText() const { return totalText; }

    // Sets the line and the total and shows both; the line's text is
    // selected and focused, and the dialog shown in front.
    void Present(uint32_t line, const QString& total);

    // Reads the edit; a text that is not an unsigned number is refused with
    // "Enter a positive integer." and the line stays as it was (and is shown
    // again). False when refused.
    bool ReadControls();

    void OnGoto();
    void OnClose();
    // Esc hides the dialog without reading the edit.
    void reject() override;

    QLineEdit* LineEdit() const { return edit; }
    QWidget* Control(int id) const;

private:
    void SelectLine();

    QObject* owner;
    QString totalText = QStringLiteral("1");
    uint32_t line = 1;
    QLineEdit* edit = nullptr;
    QLabel* total = nullptr;
    std::map<int, QWidget*> controls;
};
