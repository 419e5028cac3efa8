// ks-make-splash: draws the start-up picture (resources/splash/splash.png):
// the program's name over a dark slate band, and below it a small line
// monitor: the TXD and RXD traces of two short serial exchanges, bit by bit
// as a scope would show them (8 data bits, no parity, 1 stop bit), with each
// frame's byte above it.
//
//   ks-make-splash OUTPUT.png
//
// The picture is committed; run this after changing it and look at the result.
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 384;
constexpr int kHeight = 174;

QString Family(const QString& file, const QString& fallback)
{
    const int id = QFontDatabase::addApplicationFont(file);
    const QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
    return families.isEmpty() ? fallback : families.first();
}

// One trace from x0 to x1: idle high for `leadBits`, then for each byte a
// start bit, eight data bits (least significant first) and a stop bit, with
// `gapBits` idle bits between, then idle to the end.
void DrawTrace(QPainter& p, const std::vector<uint8_t>& bytes, double x0, double x1, int leadBits, double bit,
               double high, double low, int gapBits, const QColor& colour, const QFont& labelFont)
{
    QPainterPath path;
    double x = x0;
    bool level = true; // idle: mark, high
    path.moveTo(x, high);
    auto to = [&](bool next, double width) {
        if (next != level) path.lineTo(x, next ? high : low);
        level = next;
        x += width;
        path.lineTo(x, level ? high : low);
    };
    to(true, bit * leadBits);
    p.setFont(labelFont);
    for (const uint8_t byte : bytes) {
        const double frameStart = x;
        to(false, bit);
        for (int i = 0; i < 8; ++i) to(((byte >> i) & 1) != 0, bit);
        to(true, bit);
        // The byte's value above its frame, as a decoder would label it.
        p.setPen(colour.lighter(130));
        p.drawText(QRectF(frameStart, high - 13, bit * 10, 11), Qt::AlignCenter,
                   QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper());
        to(true, bit * gapBits);
    }
    if (x < x1) to(true, x1 - x);
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ks-make-splash OUTPUT.png\n");
        return 2;
    }
    const QString sans = Family(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"), QStringLiteral("Sans"));
    const QString sansBook = Family(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"), QStringLiteral("Sans"));
    const QString mono = Family(QStringLiteral(KS_SOURCE_DIR "/resources/fonts/LiberationMono-Regular.ttf"), QStringLiteral("Monospace"));

    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient background(0, 0, 0, kHeight);
    background.setColorAt(0.0, QColor(0x22, 0x33, 0x45));
    background.setColorAt(1.0, QColor(0x14, 0x1f, 0x2b));
    p.fillRect(image.rect(), background);

    // A faint scope grid under the traces.
    p.setPen(QPen(QColor(0x2c, 0x40, 0x55), 1));
    for (int x = 60; x <= 360; x += 16)
        for (int y = 108; y <= 160; y += 4) p.drawPoint(x, y);

    QFont title(sans);
    title.setPixelSize(40);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    p.setFont(title);
    p.setPen(QColor(0xf4, 0xf7, 0xfa));
    p.drawText(QPointF(24, 58), QStringLiteral("Kestrane"));

    QFont tagline(sansBook);
    tagline.setPixelSize(12);
    tagline.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(tagline);
    p.setPen(QColor(0x93, 0xab, 0xc2));
    p.drawText(QPointF(26, 80), QStringLiteral("RS-232 LINE MONITOR"));

    // An accent rule between the name and the traces.
    p.setPen(QPen(QColor(0xf0, 0xb4, 0x3c), 2));
    p.drawLine(QPointF(26, 91), QPointF(64, 91));

    QFont label(mono);
    label.setPixelSize(10);
    p.setFont(label);
    p.setPen(QColor(0x93, 0xab, 0xc2));
    p.drawText(QPointF(24, 125), QStringLiteral("TXD"));
    p.drawText(QPointF(24, 157), QStringLiteral("RXD"));

    QFont bytes(mono);
    bytes.setPixelSize(9);
    const double bit = 4.0;
    // The terminal asks "AT", the modem answers "OK".
    DrawTrace(p, {'A', 'T', '\r'}, 60, 360, 2, bit, 117, 127, 3, QColor(0xf0, 0xb4, 0x3c), bytes);
    DrawTrace(p, {'O', 'K'}, 60, 360, 46, bit, 148, 158, 3, QColor(0x4c, 0xc9, 0xb0), bytes);
    p.end();

    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "ks-make-splash: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
