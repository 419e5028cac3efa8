#include "PdfPictures.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs a program to its end with plain fork and exec: QProcess's way of
// starting a child marks the whole test process as forked for the thread
// sanitizer, which then refuses every thread a later test starts.
int RunToEnd(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> text{program};
    text.insert(text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : text) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

QString Renderer() { return QStandardPaths::findExecutable(QStringLiteral("pdftoppm")); }

} // namespace

bool HavePdfRenderer() { return !Renderer().isEmpty(); }

std::vector<QImage> RenderPdf(const QString& pdf, int dpi)
{
    std::vector<QImage> pages;
    QTemporaryDir out;
    const int status = RunToEnd(Renderer().toStdString(),
                                {"-r", std::to_string(dpi), "-png", pdf.toStdString(),
                                 out.filePath(QStringLiteral("page")).toStdString()});
    if (status != 0) return pages;
    // Named page-1.png ... or page-01.png ...: sorted by name with a fixed width.
    const QStringList files = QDir(out.path()).entryList({QStringLiteral("page-*.png")}, QDir::Files, QDir::Name);
    for (const QString& file : files) pages.push_back(QImage(out.filePath(file)).convertToFormat(QImage::Format_RGB32));
    return pages;
}
