// The installed program: `cmake --install` into a temporary prefix, then the
// installed program started from there opens a capture and its simulated
// probe; the desktop files and the file type; the Debian package.
#include "InstalledProgram.h"
#include "support/TempDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kBuild = QStringLiteral(KS_BINARY_DIR);
const QString kSource = QStringLiteral(KS_SOURCE_DIR);
const QString kSample = kSource + QStringLiteral("/samples/modem-session.ksf");

class InstallLayout : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = std::make_unique<TempDir>();
        prefix = QString::fromStdString(dir->Path("prefix"));
        const CommandResult install = RunCommand(QStringLiteral(KS_CMAKE_COMMAND),
                                                 {QStringLiteral("--install"), kBuild, QStringLiteral("--prefix"), prefix});
        installed = install.exitCode == 0;
        installLog = install.out + install.err;
        // The program's own folder, wherever the layout puts it.
        privateDir = QFileInfo(prefix + QStringLiteral("/bin/kestrane")).canonicalFilePath().section(u'/', 0, -2);
    }
    static void TearDownTestSuite() { dir.reset(); }
    void SetUp() override { ASSERT_TRUE(installed) << installLog.toStdString(); }

    static std::unique_ptr<TempDir> dir;
    static QString prefix;
    static QString privateDir;
    static bool installed;
    static QString installLog;
};
std::unique_ptr<TempDir> InstallLayout::dir;
QString InstallLayout::prefix;
QString InstallLayout::privateDir;
bool InstallLayout::installed = false;
QString InstallLayout::installLog;

} // namespace

TEST_F(InstallLayout, TheCommandsLeadIntoOnePrivateFolderWithEverythingTheProgramLoads)
{
    for (const char* command : {"kestrane", "ks-convert", "ks-capture", "ks-probe"}) {
        const QFileInfo link(prefix + QStringLiteral("/bin/") + QString::fromLatin1(command));
        EXPECT_TRUE(link.isSymLink()) << command;
        EXPECT_EQ(QFileInfo(link.canonicalFilePath()).path(), privateDir) << command;
        EXPECT_TRUE(link.isExecutable()) << command;
    }
    EXPECT_TRUE(privateDir.startsWith(prefix + QStringLiteral("/lib/"))) << privateDir.toStdString();
    EXPECT_TRUE(QFileInfo::exists(privateDir + QStringLiteral("/libCorvane.so"))) << "the simulated probe";
    EXPECT_TRUE(QFileInfo::exists(privateDir + QStringLiteral("/libks-platform.so")));
    EXPECT_TRUE(QFileInfo::exists(privateDir + QStringLiteral("/libDevwatch.so"))) << "the device-notification library";
    // Every transport the build makes for users is chosen by name from this
    // folder; the numbered one exists only for the tests and is not shipped.
    for (const QString& transport : QDir(kBuild + QStringLiteral("/bin")).entryList({QStringLiteral("libCorvane*.so")})) {
        if (transport == QStringLiteral("libCorvane-numbered.so")) continue;
        EXPECT_TRUE(QFileInfo::exists(privateDir + u'/' + transport)) << transport.toStdString();
    }
    // The manual is opened as help/top.htm beside the program.
    const QFileInfo help(privateDir + QStringLiteral("/help"));
    EXPECT_TRUE(help.isSymLink());
    EXPECT_TRUE(help.canonicalFilePath().startsWith(prefix + QStringLiteral("/share/kestrane/help")));
    for (const char* page : {"kestrane", "ks-convert", "ks-capture", "ks-probe"})
        EXPECT_TRUE(QFileInfo::exists(prefix + QStringLiteral("/share/man/man1/%1.1.gz").arg(QString::fromLatin1(page)))) << page;
    EXPECT_TRUE(QFileInfo::exists(prefix + QStringLiteral("/share/applications/kestrane.desktop")));
    EXPECT_TRUE(QFileInfo::exists(prefix + QStringLiteral("/share/mime/packages/kestrane.xml")));
    EXPECT_TRUE(QFileInfo::exists(prefix + QStringLiteral("/share/icons/hicolor/scalable/apps/kestrane.svg")));
    EXPECT_TRUE(QFileInfo::exists(prefix + QStringLiteral("/share/icons/hicolor/48x48/apps/kestrane.png")));
    EXPECT_TRUE(QFileInfo::exists(prefix + QStringLiteral("/share/doc/kestrane/copyright")));
    // Nothing of the build tree: tests and benchmarks stay behind.
    EXPECT_TRUE(QDir(privateDir).entryList({QStringLiteral("ks-tests-*"), QStringLiteral("ks-bench-*")}).isEmpty());
}

TEST_F(InstallLayout, TheInstalledProgramOpensACaptureAndItsProbe)
{
    TempDir home;
    QProcessEnvironment env = IsolatedEnvironment(QString::fromStdString(home.Root()));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kestrane.status.debug=true"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    // Started through the link on the path, as a desktop or a shell does.
    program.start(prefix + QStringLiteral("/bin/kestrane"), {kSample});
    ASSERT_TRUE(program.waitForStarted(10000));
    QString log;
    const auto seen = [&log] {
        return log.contains(QStringLiteral("title Kestrane - modem-session.ksf"))
               && log.contains(QStringLiteral("pane 2 USB: Connect"))
               && log.contains(QStringLiteral("pane 4 Firmware Version: V3.0 SIM"));
    };
    QElapsedTimer timer;
    timer.start();
    while (!seen() && timer.elapsed() < 20000 && program.state() == QProcess::Running) {
        program.waitForReadyRead(200);
        log += QString::fromLocal8Bit(program.readAll());
    }
    program.kill();
    program.waitForFinished(5000);
    log += QString::fromLocal8Bit(program.readAll());
    EXPECT_TRUE(seen()) << "the installed program did not show the capture and the probe:\n" << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("not loaded"))) << log.toStdString();

    // The converter beside it, through its link, with the shared library
    // found from where it is installed.
    const CommandResult convert = RunCommand(prefix + QStringLiteral("/bin/ks-convert"), {QStringLiteral("--counters"), kSample});
    EXPECT_EQ(convert.exitCode, 0) << convert.err.toStdString();
    EXPECT_TRUE(convert.out.startsWith(QStringLiteral("TXD:64\n"))) << convert.out.toStdString();
}

TEST_F(InstallLayout, TheDesktopEntryAndTheFileTypeAreValid)
{
    const QString desktop = prefix + QStringLiteral("/share/applications/kestrane.desktop");
    if (HaveProgram(QStringLiteral("desktop-file-validate"))) {
        const CommandResult check = RunCommand(QStringLiteral("desktop-file-validate"), {desktop});
        EXPECT_EQ(check.exitCode, 0) << check.out.toStdString() << check.err.toStdString();
        EXPECT_TRUE(check.out.trimmed().isEmpty()) << "no hints either: " << check.out.toStdString();
    }
    if (!HaveProgram(QStringLiteral("update-mime-database")) || !HaveProgram(QStringLiteral("gio")))
        GTEST_SKIP() << "update-mime-database (shared-mime-info) or gio (libglib2.0-bin) is not installed: "
                        "the file type is not tried";
    // A MIME database of our own with the system's types and ours.
    TempDir data;
    const QString share = QString::fromStdString(data.Path("share"));
    QDir().mkpath(share + QStringLiteral("/mime/packages"));
    QFile::copy(QStringLiteral("/usr/share/mime/packages/freedesktop.org.xml"), share + QStringLiteral("/mime/packages/freedesktop.org.xml"));
    QFile::copy(prefix + QStringLiteral("/share/mime/packages/kestrane.xml"), share + QStringLiteral("/mime/packages/kestrane.xml"));
    const CommandResult update = RunCommand(QStringLiteral("update-mime-database"), {share + QStringLiteral("/mime")});
    ASSERT_EQ(update.exitCode, 0) << update.err.toStdString();

    QProcessEnvironment env = IsolatedEnvironment(QString::fromStdString(data.Path("home")));
    env.insert(QStringLiteral("XDG_DATA_DIRS"), share);
    env.insert(QStringLiteral("XDG_DATA_HOME"), share);
    auto typeOf = [&](const QString& file) {
        const CommandResult info = RunCommand(QStringLiteral("gio"), {QStringLiteral("info"), QStringLiteral("-a"),
                                                                      QStringLiteral("standard::content-type"), file},
                                              30000, env);
        return info.out.section(QStringLiteral("standard::content-type: "), 1).trimmed();
    };
    auto write = [&](const char* name, const QByteArray& bytes) {
        const QString path = QString::fromStdString(data.Path(name));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    };
    QFile sample(kSample);
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QByteArray capture = sample.readAll();
    EXPECT_EQ(typeOf(write("a.ksf", capture)), QStringLiteral("application/x-kestrane-capture"));
    EXPECT_EQ(typeOf(write("b.df", "garbage")), QStringLiteral("application/x-kestrane-old-capture")) << "by name alone";
    EXPECT_EQ(typeOf(write("renamed", capture)), QStringLiteral("application/x-kestrane-capture")) << "by content";
    // Digits are not a capture: neither lines of numbers nor one long number.
    QByteArray lines, number;
    for (int i = 0; i < 40; ++i) lines += QByteArray::number(1000003 * i) + '\n';
    for (int i = 0; i < 30; ++i) number += QByteArray::number(7919 * i + 101);
    EXPECT_NE(typeOf(write("numbers", lines)), QStringLiteral("application/x-kestrane-capture"));
    EXPECT_NE(typeOf(write("number", number)), QStringLiteral("application/x-kestrane-capture"));
    EXPECT_EQ(typeOf(write("numbers.txt", capture)), QStringLiteral("text/plain")) << "a name of another type wins";
}

TEST(DebianPackage, HoldsTheProgramItsPagesAndComputedDependencies)
{
    for (const char* tool : {"dpkg-deb", "dpkg-shlibdeps", "fakeroot"})
        if (!HaveProgram(QString::fromLatin1(tool)))
            GTEST_SKIP() << tool << " is not installed (Debian packages dpkg-dev and fakeroot): the package is not built";
    TempDir out;
    const QString where = QString::fromStdString(out.Root());
    const CommandResult cpack = RunCommand(QStringLiteral(KS_CPACK_COMMAND),
                                           {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                                            kBuild + QStringLiteral("/CPackConfig.cmake"), QStringLiteral("-B"), where},
                                           240000);
    ASSERT_EQ(cpack.exitCode, 0) << cpack.out.toStdString() << cpack.err.toStdString();
    const QStringList debs = QDir(where).entryList({QStringLiteral("kestrane_*.deb")});
    ASSERT_EQ(debs.size(), 1);
    const QString deb = where + debs.first();

    const CommandResult fields = RunCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
    const QString depends = fields.out;
    for (const char* package : {"libc6", "libqt6widgets6", "libqt6printsupport6", "qt6-qpa-plugins"})
        EXPECT_TRUE(depends.contains(QString::fromLatin1(package))) << package << " in " << depends.toStdString();

    const CommandResult list = RunCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb});
    const QString contents = list.out;
    for (const char* file :
         {"./usr/bin/kestrane -> ../lib/", "/kestrane/libCorvane.so", "/kestrane/help -> ../../../share/kestrane/help",
          "./usr/share/kestrane/help/top.htm", "./usr/share/applications/kestrane.desktop",
          "./usr/share/mime/packages/kestrane.xml", "./usr/share/man/man1/ks-convert.1.gz",
          "./usr/share/doc/kestrane/copyright", "./usr/share/doc/kestrane/changelog.gz",
          "./usr/share/icons/hicolor/scalable/mimetypes/application-x-kestrane-capture.svg"})
        EXPECT_TRUE(contents.contains(QString::fromLatin1(file))) << file;
    EXPECT_FALSE(contents.contains(QStringLiteral("ks-tests-")));
    // Folders as Debian wants them, whatever the build's umask.
    for (const QString& row : contents.split(u'\n')) {
        if (row.startsWith(u'd')) {
            EXPECT_TRUE(row.startsWith(QStringLiteral("drwxr-xr-x"))) << row.toStdString();
        }
    }

    if (!HaveProgram(QStringLiteral("lintian"))) GTEST_SKIP() << "lintian is not installed: the package is not checked";
    const CommandResult lint = RunCommand(QStringLiteral("lintian"), {QStringLiteral("--no-tag-display-limit"), deb}, 240000);
    for (const QString& row : (lint.out + lint.err).split(u'\n')) {
        EXPECT_FALSE(row.startsWith(QStringLiteral("E: "))) << row.toStdString();
    }
}
