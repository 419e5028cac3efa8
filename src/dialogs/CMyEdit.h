#pragma once
// The find edit. In HEX format it takes only what a HEX text is made of:
// hexadecimal digits and the separator 'x'; every other typed character is
// dropped before the edit sees it. Editing keys (backspace, the arrows,
// copy and paste) always pass.
#include <QLineEdit>

class CMyEdit : public QLineEdit {
public:
    explicit CMyEdit(QWidget* parent = nullptr);

    void SetHexOnly(bool on) { hexOnly = on; }
    bool HexOnly() const { return hexOnly; }

    // Whether a typed character may enter a HEX text.
    static bool HexCharacter(QChar c);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // Whether typing `text` would put a character a HEX text cannot hold.
    bool Refused(const QString& text) const;

    bool hexOnly = false;
};
