#pragma once
// A static text with its own text colour (the count bar's counter labels).
#include <QLabel>

#include <cstdint>

class CColorStaticST : public QLabel {
public:
    explicit CColorStaticST(QWidget* parent = nullptr);

    // 0x00BBGGRR; -1 means the system's button-text colour.
    void SetTextColour(int32_t colour);
    int32_t TextColour() const { return textColour; }
    // The colour the text is painted in.
    QColor EffectiveTextColour() const;

private:
    int32_t textColour = -1;
};
