#include "CDisplayMode.h"

#include "FileWrite.h"
#include "Profile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

constexpr const char* kSection = "DisplayMode";

// The header's fields in order with their widths; every value is clamped to
// what its width can hold so that every header we write reads back.
struct HeaderField {
    int32_t CDisplayMode::*field;
    int width;
};

// The on/off fields. Any value but 0 means on, and is kept as 1: clamped to a
// one-character field a -1 would otherwise be written as 0 and come back off.
constexpr int32_t CDisplayMode::*kSwitches[] = {
    &CDisplayMode::Data, &CDisplayMode::Error, &CDisplayMode::Status,
    &CDisplayMode::Stamp, &CDisplayMode::DateTime, &CDisplayMode::NoDisplay,
};

bool IsSwitch(int32_t CDisplayMode::*field)
{
    for (auto sw : kSwitches)
        if (sw == field) return true;
    return false;
}

int32_t AsSwitch(int32_t value) { return value != 0 ? 1 : 0; }

constexpr HeaderField kCurrentFields[] = {
    {&CDisplayMode::Data, 1},        {&CDisplayMode::DataMode, 1},    {&CDisplayMode::crDataTXD, 10},
    {&CDisplayMode::crDataRXD, 10},  {&CDisplayMode::crSpecChar, 10}, {&CDisplayMode::Error, 1},
    {&CDisplayMode::crErrFrame, 10}, {&CDisplayMode::crErrParity, 10}, {&CDisplayMode::Status, 1},
    {&CDisplayMode::Stamp, 1},       {&CDisplayMode::StampMode, 1},   {&CDisplayMode::DateTime, 1},
    {&CDisplayMode::crStampFore, 10}, {&CDisplayMode::crStampBack, 10}, {&CDisplayMode::NoDisplay, 1},
    {&CDisplayMode::crBkColor, 10},  {&CDisplayMode::cxLine, 4},
};

// The old header has no DateTime and its last four characters are not read.
constexpr HeaderField kOldFields[] = {
    {&CDisplayMode::Data, 1},        {&CDisplayMode::DataMode, 1},    {&CDisplayMode::crDataTXD, 10},
    {&CDisplayMode::crDataRXD, 10},  {&CDisplayMode::crSpecChar, 10}, {&CDisplayMode::Error, 1},
    {&CDisplayMode::crErrFrame, 10}, {&CDisplayMode::crErrParity, 10}, {&CDisplayMode::Status, 1},
    {&CDisplayMode::Stamp, 1},       {&CDisplayMode::StampMode, 1},   {&CDisplayMode::crStampFore, 10},
    {&CDisplayMode::crStampBack, 10}, {&CDisplayMode::NoDisplay, 1},  {&CDisplayMode::crBkColor, 10},
};

// Smallest and largest value "%0<width>d" prints in exactly `width` characters.
int64_t MinForWidth(int width)
{
    if (width <= 1) return 0;
    int64_t v = 1;
    for (int i = 1; i < width; ++i) v *= 10;
    return -(v - 1);
}

int64_t MaxForWidth(int width)
{
    int64_t v = 1;
    for (int i = 0; i < width; ++i) v *= 10;
    return v - 1;
}

uint16_t HeaderSum(const unsigned char* bytes)
{
    uint32_t sum = 0;
    for (std::size_t i = 0; i < 92; i += 2) sum += static_cast<uint32_t>(bytes[i] | (bytes[i + 1] << 8));
    return static_cast<uint16_t>(sum & 0xFFFF);
}

bool EndsWithNoCase(const std::string& s, const char* suffix)
{
    const std::size_t n = std::char_traits<char>::length(suffix);
    if (s.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
    }
    return true;
}

} // namespace

CaptureFileType CaptureFileTypeOf(const std::string& path)
{
    if (EndsWithNoCase(path, "ksf")) return CaptureFileType::Current;
    if (EndsWithNoCase(path, "df")) return CaptureFileType::Old;
    return CaptureFileType::None;
}

uint8_t CDisplayMode::GetOptionBits() const
{
    const uint8_t stamp = static_cast<uint8_t>(AsSwitch(Stamp));
    const uint8_t status = static_cast<uint8_t>(AsSwitch(Status));
    const uint8_t error = static_cast<uint8_t>(AsSwitch(Error));
    return static_cast<uint8_t>(static_cast<uint8_t>(((stamp * 2) | status) * 2) | error);
}

void CDisplayMode::LoadSettings(const std::string& path)
{
    using ks::GetPrivateProfileIntA;
    Data = GetPrivateProfileIntA(kSection, "Data", 1, path);
    DataMode = GetPrivateProfileIntA(kSection, "DataMode", 0, path);
    crDataTXD = GetPrivateProfileIntA(kSection, "crDataTXD", 16711680, path);
    crDataRXD = GetPrivateProfileIntA(kSection, "crDataRXD", 4236, path);
    crSpecChar = GetPrivateProfileIntA(kSection, "crSpecChar", 25856, path);
    Error = GetPrivateProfileIntA(kSection, "Error", 1, path);
    crErrFrame = GetPrivateProfileIntA(kSection, "crErrFrame", 8421631, path);
    crErrParity = GetPrivateProfileIntA(kSection, "crErrParity", 65535, path);
    Status = GetPrivateProfileIntA(kSection, "Status", 0, path);
    Stamp = GetPrivateProfileIntA(kSection, "Stamp", 0, path);
    StampMode = GetPrivateProfileIntA(kSection, "StampMode", 0, path);
    DateTime = GetPrivateProfileIntA(kSection, "DateTime", 1, path);
    crStampFore = GetPrivateProfileIntA(kSection, "crStampFore", 12801315, path);
    crStampBack = GetPrivateProfileIntA(kSection, "crStampBack", 8629910, path);
    NoDisplay = GetPrivateProfileIntA(kSection, "NoDisplay", 0, path);
    crBkColor = GetPrivateProfileIntA(kSection, "crBkColor", 16777215, path);
    cxLine = GetPrivateProfileIntA(kSection, "cxLine", -1, path);
    NormaliseSwitches();
}

void CDisplayMode::NormaliseSwitches()
{
    for (auto sw : kSwitches) this->*sw = AsSwitch(this->*sw);
}

void CDisplayMode::SaveSettings(const std::string& path) const
{
    auto write = [&path](const char* key, int32_t value) {
        ks::WritePrivateProfileStringA(kSection, key, std::to_string(value).c_str(), path);
    };
    write("Data", Data);
    write("DataMode", DataMode);
    write("crDataTXD", crDataTXD);
    write("crDataRXD", crDataRXD);
    write("crSpecChar", crSpecChar);
    write("Error", Error);
    write("crErrFrame", crErrFrame);
    write("crErrParity", crErrParity);
    write("Status", Status);
    write("Stamp", Stamp);
    write("StampMode", StampMode);
    write("DateTime", DateTime);
    write("crStampBack", crStampBack);
    write("crStampFore", crStampFore);
    write("NoDisplay", NoDisplay);
    write("crBkColor", crBkColor);
    write("cxLine", cxLine);
}

void CDisplayMode::BuildHeader(std::string& header) const
{
    header.clear();
    header.reserve(kCurrentHeaderSize);
    char field[16];
    for (const HeaderField& f : kCurrentFields) {
        const int64_t value = IsSwitch(f.field) ? AsSwitch(this->*f.field) : this->*f.field;
        const int64_t v = std::clamp<int64_t>(value, MinForWidth(f.width), MaxForWidth(f.width));
        std::snprintf(field, sizeof field, "%0*lld", f.width, static_cast<long long>(v));
        header += field;
    }
    // 92 characters by construction; the check word makes the 46 words sum to 0xFFFF.
    const uint16_t check = static_cast<uint16_t>(~HeaderSum(reinterpret_cast<const unsigned char*>(header.data())));
    header += static_cast<char>(check >> 8);
    header += static_cast<char>(check & 0xFF);
}

bool CDisplayMode::WriteHeader(const std::string& path) const
{
    if (path.empty()) return false;
    std::string header;
    BuildHeader(header);
    // The path's own bytes, as every reader of it uses them; only a regular
    // file is written (a FIFO of that name is not waited on).
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        ok = false;
    }
    ok = ok && ::ftruncate(fd, 0) == 0 && ks::WriteAll(fd, header.data(), header.size());
    const int error = errno;
    if (::close(fd) != 0 && ok) return false;
    errno = error;
    return ok;
}

bool CDisplayMode::ParseCurrentHeader(const unsigned char* bytes, std::size_t size)
{
    if (bytes == nullptr || size < kCurrentHeaderSize) return false;
    const uint16_t stored = static_cast<uint16_t>((bytes[92] << 8) | bytes[93]);
    if (static_cast<uint16_t>(HeaderSum(bytes) + stored) != 0xFFFF) return false;
    CDisplayMode read = *this;
    std::size_t offset = 0;
    for (const HeaderField& f : kCurrentFields) {
        // cxLine is the window's business, never taken from a file.
        if (f.field != &CDisplayMode::cxLine) {
            read.*f.field = ks::ParseLeadingInt(reinterpret_cast<const char*>(bytes + offset), static_cast<std::size_t>(f.width));
        }
        offset += static_cast<std::size_t>(f.width);
    }
    read.NormaliseSwitches();
    *this = read;
    return true;
}

bool CDisplayMode::ParseOldHeader(const unsigned char* bytes, std::size_t size)
{
    if (bytes == nullptr || size < kOldHeaderSize) return false;
    for (std::size_t i = 0; i < kOldHeaderSize; ++i) {
        if (bytes[i] == 0) return false;
    }
    auto notAbove = [bytes](std::size_t at, char limit) { return static_cast<signed char>(bytes[at]) <= limit; };
    if (!notAbove(0, '1') || !notAbove(32, '2') || !notAbove(54, '1') || !notAbove(55, '3') || !notAbove(77, '1')) {
        return false;
    }
    CDisplayMode read = *this;
    std::size_t offset = 0;
    for (const HeaderField& f : kOldFields) {
        read.*f.field = ks::ParseLeadingInt(reinterpret_cast<const char*>(bytes + offset), static_cast<std::size_t>(f.width));
        offset += static_cast<std::size_t>(f.width);
    }
    read.DateTime = 0;
    read.NormaliseSwitches();
    *this = read;
    return true;
}

bool CDisplayMode::ReadHeader(const std::string& path)
{
    const CaptureFileType type = CaptureFileTypeOf(path);
    if (type == CaptureFileType::None) return false;
    const std::size_t size = type == CaptureFileType::Current ? kCurrentHeaderSize : kOldHeaderSize;
    // Only the header is read, whatever the file's size; only a regular file
    // is read (a FIFO of that name is not waited on).
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    unsigned char header[std::max(kCurrentHeaderSize, kOldHeaderSize)];
    std::size_t got = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        while (got < size) {
            const ssize_t n = ::read(fd, header + got, size - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    if (got < size) return false;
    return type == CaptureFileType::Current ? ParseCurrentHeader(header, got) : ParseOldHeader(header, got);
}
