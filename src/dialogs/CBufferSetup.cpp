#include "CBufferSetup.h"

#include "Profile.h"
#include "SeriesNames.h"
#include "StorageInfo.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr const char* kSection = "BufSetting";

std::string Bytes(const QString& text) { return text.toStdString(); }
} // namespace

void CBufferSetup::LoadBufferSettings(const std::string& path, const QString& defaultDirectory)
{
    directory = defaultDirectory;
    if (path.empty()) return;
    buffersPerFile = ks::GetPrivateProfileIntA(kSection, "FileSize", 2, path);
    overwrite = ks::GetPrivateProfileIntA(kSection, "OverWrite", 0, path);
    fileNumberText = QString::fromStdString(ks::GetPrivateProfileString(kSection, "FileNum", "1", kFileNumberLength, path));
    directory = QString::fromStdString(
        ks::GetPrivateProfileString(kSection, "DesPath", Bytes(defaultDirectory), kDirectoryLength, path));
}

void CBufferSetup::SaveBufferSettings(const std::string& path) const
{
    if (path.empty()) return;
    ks::WritePrivateProfileStringA(kSection, "FileSize", std::to_string(buffersPerFile).c_str(), path);
    ks::WritePrivateProfileStringA(kSection, "FileNum", Bytes(fileNumberText).c_str(), path);
    ks::WritePrivateProfileStringA(kSection, "OverWrite", std::to_string(overwrite).c_str(), path);
    ks::WritePrivateProfileStringA(kSection, "DesPath", Bytes(directory).c_str(), path);
}

QString CBufferSetup::DefaultDirectory()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (base.isEmpty()) base = QDir::homePath();
    return base + QStringLiteral("/Kestrane");
}

void CBufferSetup::CreateDirectoryLevels(const QString& path)
{
    const std::string p = Bytes(path);
    for (std::size_t slash = p.find('/', 1); ; slash = p.find('/', slash + 1)) {
        const std::string level = p.substr(0, slash);
        if (!level.empty()) (void)::mkdir(level.c_str(), 0777);
        if (slash == std::string::npos) break;
    }
}

int CBufferSetup::MaxFileNumber() const
{
    const std::string text = Bytes(fileNumberText);
    return ks::ParseLeadingInt(text.c_str(), text.size());
}

int CBufferSetup::BuffersPerFile() const { return std::clamp(buffersPerFile, kMinBuffersPerFile, kMaxBuffersPerFile); }

uint64_t CBufferSetup::RequiredBytes() const
{
    const int files = MaxFileNumber();
    if (files <= 0) return 0;
    return static_cast<uint64_t>(BuffersPerFile()) * static_cast<uint64_t>(files) * kBytesPerBuffer;
}

CBufferSetup::Space CBufferSetup::SpaceFor(uint64_t freeBytes) const
{
    Space s;
    s.freeBytes = freeBytes;
    s.requiredBytes = RequiredBytes();
    s.freeText = FormatByteSize(static_cast<int64_t>(std::min<uint64_t>(freeBytes, INT64_MAX)));
    s.requiredText = FormatByteSize(static_cast<int64_t>(s.requiredBytes));
    s.enough = freeBytes > s.requiredBytes;
    s.remainedText = s.enough ? FormatByteSize(static_cast<int64_t>(std::min<uint64_t>(freeBytes - s.requiredBytes, INT64_MAX)))
                              : QStringLiteral("-");
    return s;
}

CBufferSetup::Space CBufferSetup::UpdateSpace() const { return SpaceFor(series::FreeBytes(Bytes(directory))); }

QString CBufferSetup::FormatByteSize(int64_t v)
{
    // Taking 0.005 off before printing two decimals drops the rest instead
    // of carrying it up: 1024 bytes read 0.99 KB, never 1.00 KB.
    constexpr int64_t kKB = 1024, kMB = kKB * 1024, kGB = kMB * 1024, kTB = kGB * 1024;
    const double d = static_cast<double>(v);
    if (v < kKB) return QString::asprintf("%lld B", static_cast<long long>(v));
    if (v < kMB) return QString::asprintf("%.2f KB", d / kKB - 0.005);
    if (v < kGB) return QString::asprintf("%.2f MB", d / kMB - 0.005);
    if (v < kTB) return QString::asprintf("%.2f GB", d / kGB - 0.005);
    return QString::asprintf("%.2f TB", d / kTB - 0.005);
}

CBufferSetup::Check CBufferSetup::CheckStart(bool connected) const
{
    if (!connected) return {false, 299, {}, 0};
    const std::string dir = Bytes(directory);
    if (series::StorageProbe().KindOf(dir) != series::StorageKind::LocalFixed) return {false, 322, {}, kReferenceButton};
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) return {false, 0, QString::fromLocal8Bit(std::strerror(errno)), kReferenceButton};
    if (!S_ISDIR(st.st_mode)) return {false, 308, {}, kReferenceButton};
    const int files = MaxFileNumber();
    if (files < 1 || files > kMaxFileNumber) return {false, 323, {}, kFileNumberEdit};
    Check result;
    result.space = UpdateSpace();
    if (!result.space->enough) {
        result.ok = false;
        result.messageId = 302;
    } else if (fileName.isEmpty()) {
        result.ok = false;
        result.messageId = 309;
        result.focusId = kFileNameEdit;
    }
    return result;
}

void CBufferSetup::AppendSeparator()
{
    if (!directory.endsWith(QLatin1Char('/'))) directory += QLatin1Char('/');
}

std::string CBufferSetup::BaseName() const { return series::BaseName(Bytes(directory), Bytes(fileName)); }

std::string CBufferSetup::CheckPath() const
{
    return series::FileName(BaseName(), 0, static_cast<uint32_t>(std::max(1, MaxFileNumber())));
}

CBufferSetup::FirstFile CBufferSetup::PrepareFirstFile() const
{
    const std::string path = CheckPath();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return FirstFile::Exists;
    }
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return FirstFile::CannotCreate;
    ::close(fd);
    return FirstFile::Created;
}
