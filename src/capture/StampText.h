#pragma once
// Drawing of the two-line texts of stamps and date-times: centred in the item's
// rectangle from its top, background behind the text only.
#include <QColor>
#include <QString>

class QPainter;
class QRect;
class QFont;

void DrawTwoLineText(QPainter& dc, const QRect& rect, const QFont& font, const QString& text,
                     const QColor& foreground, const QColor& background);
