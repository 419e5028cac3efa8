#include "CRecoveryFile.h"

#include "FileWrite.h"
#include "ProgramPaths.h"

#include <QDateTime>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

CRecoveryFile::CRecoveryFile(std::string dir) : directory(std::move(dir)) {}

bool CRecoveryFile::Write(const std::string& header, const std::vector<uint8_t>& body)
{
    if (path.empty()) {
        const std::string dir = directory.empty() ? ks::PerUserDataDirectory() : directory;
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        // The process number keeps two programs of one user apart.
        path = dir + "recovered-" + stamp.toStdString() + "-" + std::to_string(::getpid()) + ".ksf";
    }
    // The temporary name does not match what the next start looks for.
    const std::string temp = path + ".part";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) return false;
    bool ok = ks::WriteAll(fd, header.data(), header.size()) && ks::WriteAll(fd, body.data(), body.size());
    if (::close(fd) != 0) ok = false;
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

void CRecoveryFile::Remove()
{
    if (path.empty()) return;
    ::unlink(path.c_str());
    path.clear();
}
