#include "PdfPictures.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

bool HavePdfRenderer() { return !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty(); }

std::vector<QImage> RenderPdf(const QString& pdf, int dpi)
{
    std::vector<QImage> pages;
    QTemporaryDir out;
    QProcess run;
    run.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"), pdf,
                                           out.filePath(QStringLiteral("page"))});
    if (!run.waitForFinished(120000) || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0) return pages;
    // Named page-1.png ... or page-01.png ...: sorted by name with a fixed width.
    QStringList files = QDir(out.path()).entryList({QStringLiteral("page-*.png")}, QDir::Files, QDir::Name);
    for (const QString& file : files) pages.push_back(QImage(out.filePath(file)).convertToFormat(QImage::Format_RGB32));
    return pages;
}
