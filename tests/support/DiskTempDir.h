#pragma once
// A temporary folder beside the test binaries, removed afterwards. Series are
// recorded onto local fixed disks only, and the build folder is on one on
// every machine the suite runs on, while the system's temporary folder may
// be a RAM file system.
#include <QCoreApplication>
#include <QString>
#include <QTemporaryDir>

#include <string>

class DiskTempDir {
public:
    DiskTempDir() : dir(QCoreApplication::applicationDirPath() + QStringLiteral("/series-test-XXXXXX")) {}
    QString Path() const { return dir.path(); }
    std::string Std(const std::string& name = {}) const
    {
        return dir.path().toStdString() + (name.empty() ? "" : "/" + name);
    }

private:
    QTemporaryDir dir;
};
