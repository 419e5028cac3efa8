#pragma once
// One control-line indicator of the toolbar: a caption ("RTS" ...) above a
// small box filled with the line's current colour, which the document keeps.
#include <QWidget>

#include <cstdint>
#include <functional>

class CLineIndicator : public QWidget {
public:
    // `colour` gives the box colour (0x00BBGGRR) at paint time.
    CLineIndicator(const QString& caption, int captionLeft, std::function<uint32_t()> colour, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    QString Caption() const { return caption; }
    // The colour the box was last painted with (for tests).
    uint32_t PaintedColour() const { return painted; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString caption;
    int captionLeft;
    std::function<uint32_t()> colour;
    uint32_t painted = 0x808080;
};
