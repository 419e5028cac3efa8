#include "CMyEdit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

CMyEdit::CMyEdit(QWidget* parent) : QLineEdit(parent) {}

bool CMyEdit::HexCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F') || u == u'x';
}

bool CMyEdit::Refused(const QString& text) const
{
    if (!hexOnly) return false;
    for (QChar c : text) {
        // Control characters are the editing keys (backspace, Ctrl+V ...).
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) continue;
        if (!HexCharacter(c)) return true;
    }
    return false;
}

void CMyEdit::keyPressEvent(QKeyEvent* event)
{
    if (Refused(event->text())) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CMyEdit::inputMethodEvent(QInputMethodEvent* event)
{
    if (Refused(event->commitString())) {
        event->accept();
        return;
    }
    QLineEdit::inputMethodEvent(event);
}
