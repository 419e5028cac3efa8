// The manual as it is installed: every page and picture a page names is
// there, the pictures were drawn, and the manual pages name every option the
// tools know.
#include "InstalledProgram.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

const QString kHelp = QStringLiteral(KS_BINARY_DIR "/bin/help");

QString ReadText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(Manual, EveryPageAndPictureItNamesIsThere)
{
    ASSERT_TRUE(QFile::exists(kHelp + QStringLiteral("/top.htm"))) << "F1 opens help/top.htm beside the program";
    if (!QDir(kHelp + QStringLiteral("/images")).exists())
        GTEST_SKIP() << "this build draws no pictures (a sanitizer build): the manual is not checked";
    const QRegularExpression reference(QStringLiteral("(?:href|src)=\"([^\"#:]+)(?:#[^\"]*)?\""));
    QSet<QString> linked{QStringLiteral("top.htm")};
    QSet<QString> pictures;
    for (const QString& page : QDir(kHelp).entryList({QStringLiteral("*.htm")})) {
        const QString html = ReadText(kHelp + u'/' + page);
        EXPECT_TRUE(html.contains(QStringLiteral("<title>"))) << page.toStdString();
        for (auto it = reference.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            EXPECT_TRUE(QFile::exists(kHelp + u'/' + target)) << page.toStdString() << " names " << target.toStdString();
            if (target.endsWith(QStringLiteral(".htm"))) linked.insert(target);
            if (target.endsWith(QStringLiteral(".png"))) {
                pictures.insert(target);
                EXPECT_FALSE(QImage(kHelp + u'/' + target).isNull()) << target.toStdString();
            }
        }
    }
    // No page is out of reach, and every picture drawn is shown somewhere.
    for (const QString& page : QDir(kHelp).entryList({QStringLiteral("*.htm")}))
        EXPECT_TRUE(linked.contains(page)) << page.toStdString() << " is linked from nowhere";
    for (const QString& image : QDir(kHelp + QStringLiteral("/images")).entryList({QStringLiteral("*.png")}))
        EXPECT_TRUE(pictures.contains(QStringLiteral("images/") + image)) << image.toStdString() << " is shown nowhere";
}

TEST(Manual, ManualPagesNameEveryOptionOfTheTools)
{
    const QRegularExpression option(QStringLiteral("(?<![\\w-])(--[a-z][a-z-]*)"));
    for (const char* tool : {"ks-convert", "ks-capture", "ks-probe"}) {
        const CommandResult help = RunCommand(QStringLiteral(KS_BINARY_DIR "/bin/") + QString::fromLatin1(tool), {QStringLiteral("--help")});
        ASSERT_TRUE(help.started) << tool;
        const QString text = help.out + help.err;
        QString page = ReadText(QStringLiteral(KS_SOURCE_DIR "/packaging/man/%1.1").arg(QString::fromLatin1(tool)));
        ASSERT_FALSE(page.isEmpty()) << tool;
        page.replace(QStringLiteral("\\-"), QStringLiteral("-")).remove(QStringLiteral("\\fB")).remove(QStringLiteral("\\fR")).remove(QStringLiteral("\\fI"));
        int options = 0;
        for (auto it = option.globalMatch(text); it.hasNext(); ++options) {
            const QString name = it.next().captured(1);
            EXPECT_TRUE(page.contains(name)) << tool << " --help names " << name.toStdString() << ", its manual page does not";
        }
        EXPECT_GT(options, 0) << tool << " --help names no option at all";
    }
}
