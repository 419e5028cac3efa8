#include "PdfPictures.h"

#include "support/RunTool.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <string>
#include <vector>

namespace {

QString Renderer() { return QStandardPaths::findExecutable(QStringLiteral("pdftoppm")); }

} // namespace

bool HavePdfRenderer() { return !Renderer().isEmpty(); }

std::vector<QImage> RenderPdf(const QString& pdf, int dpi)
{
    std::vector<QImage> pages;
    QTemporaryDir out;
    // Plain fork and exec (RunTool): QProcess's start would keep the thread
    // sanitizer from accepting any thread a later test starts.
    const int status = RunTool(Renderer().toStdString(),
                               {"-r", std::to_string(dpi), "-png", pdf.toStdString(),
                                out.filePath(QStringLiteral("page")).toStdString()},
                               120000);
    if (status != 0) return pages;
    // Named page-1.png ... or page-01.png ...: sorted by name with a fixed width.
    const QStringList files = QDir(out.path()).entryList({QStringLiteral("page-*.png")}, QDir::Files, QDir::Name);
    for (const QString& file : files) pages.push_back(QImage(out.filePath(file)).convertToFormat(QImage::Format_RGB32));
    return pages;
}
