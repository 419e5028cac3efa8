#include "CCaptureReader.h"

#include "CLines.h"
#include "DeviceRecord.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A chunk that cannot be cut (an old file's tick count whose time group is
// far away) grows up to this before it is decoded as it stands.
constexpr std::size_t kMaxChunkBytes = 16u * 1024 * 1024;

// Reads up to `count` group records accepted by `belongs` from record `j` on,
// as the decoder does (the first other record ends the group and is used
// up). False when the records ran out before the group was decided.
template <typename Belongs>
bool SkipGroup(const uint8_t* data, std::size_t records, std::size_t& j, int count, Belongs belongs)
{
    for (int k = 0; k < count; ++k) {
        if (j >= records) return false;
        const uint8_t b0 = data[2 * j];
        ++j;
        if (!belongs(b0)) return true;
    }
    return true;
}

// The bytes at the start of `data` that decode the same whether or not more
// records follow: every group in them complete, and (old files) no tick
// count waiting for its time group.
std::size_t CompleteStoredPart(const uint8_t* data, std::size_t size)
{
    const std::size_t records = size / 2;
    std::size_t i = 0;
    while (i < records) {
        std::size_t j = i + 1;
        switch (rec::Type(data[2 * i])) {
        case rec::kTypeTick:
            if (!SkipGroup(data, records, j, 3, [](uint8_t b) { return b == rec::kStampValue; })) return 2 * i;
            // Whether a time group follows is only known once its record is there.
            if (j >= records) return 2 * i;
            if (data[2 * j] == rec::kStampTime &&
                !SkipGroup(data, records, j, 4, [](uint8_t b) { return b == rec::kStampTime; }))
                return 2 * i;
            break;
        case rec::kTypeDateTime:
            if (!SkipGroup(data, records, j, 3, [](uint8_t b) { return b == rec::kDateTime; })) return 2 * i;
            break;
        default:
            break;
        }
        i = j;
    }
    return 2 * records;
}

std::size_t CompleteOldPart(const uint8_t* data, std::size_t size)
{
    const std::size_t records = size / 2;
    std::size_t i = 0;
    std::size_t safe = 0;
    bool countWaiting = false;
    while (i < records) {
        if (!countWaiting) safe = i;
        std::size_t j = i + 1;
        switch (rec::Type(data[2 * i])) {
        case 4:
            if (!SkipGroup(data, records, j, 2, [](uint8_t b) { return (b & 0xE0) == 0x80; })) return 2 * safe;
            countWaiting = true;
            break;
        case 5:
            if (!SkipGroup(data, records, j, 3, [](uint8_t b) { return (b & 0xE0) == 0xA0; })) return 2 * safe;
            countWaiting = false;
            break;
        default:
            break;
        }
        i = j;
    }
    return 2 * (countWaiting ? safe : records);
}

} // namespace

CCaptureReader::~CCaptureReader() { Close(); }

void CCaptureReader::Close()
{
    if (fd >= 0) ::close(fd);
    fd = -1;
}

CCaptureReader::Result CCaptureReader::Open(const std::string& path)
{
    Close();
    header.clear();
    pending.clear();
    bodySize = bodyDone = bodyRead = 0;
    started = eof = atEnd = failed = false;
    type = CaptureFileTypeOf(path);
    if (type == CaptureFileType::None) return Result::TypeError;
    // Looked at before it is opened: opening a FIFO waits for a writer, and
    // opening a device can have effects of its own.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Result::OpenFailed;
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return Result::OpenFailed;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        Close();
        return Result::OpenFailed;
    }
    const std::size_t headerSize = type == CaptureFileType::Current ? kCurrentHeaderSize : kOldHeaderSize;
    // A file shorter than its header is refused; one of exactly the header's
    // size is an empty log.
    if (static_cast<std::uint64_t>(st.st_size) < headerSize) {
        Close();
        return Result::OpenFailed;
    }
    header.resize(headerSize);
    std::size_t done = 0;
    while (done < headerSize) {
        const ssize_t n = ::read(fd, header.data() + done, headerSize - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Close();
            header.clear();
            return Result::OpenFailed;
        }
        done += static_cast<std::size_t>(n);
    }
    bodySize = static_cast<std::uint64_t>(st.st_size) - headerSize;
    return Result::Ok;
}

bool CCaptureReader::ParseHeader(CDisplayMode& mode) const
{
    if (header.empty()) return false;
    const auto* data = reinterpret_cast<const unsigned char*>(header.data());
    return type == CaptureFileType::Current ? mode.ParseCurrentHeader(data, header.size())
                                            : mode.ParseOldHeader(data, header.size());
}

bool CCaptureReader::Fill()
{
    const std::size_t before = pending.size();
    pending.resize(before + kChunkBytes);
    std::size_t got = 0;
    while (got < kChunkBytes) {
        const ssize_t n = ::read(fd, pending.data() + before + got, kChunkBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0) {
            eof = true;
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    pending.resize(before + got);
    bodyRead += got;
    // A file that shrank while it was read has lost records we would miss.
    if (eof && bodyRead < bodySize) failed = true;
    return !failed;
}

std::size_t CCaptureReader::NextUsable()
{
    const bool old = type == CaptureFileType::Old;
    std::size_t usable = 0;
    for (;;) {
        if (!eof && !Fill()) {
            atEnd = true;
            Close();
            return kNothing;
        }
        usable = eof ? pending.size()
                     : old ? CompleteOldPart(pending.data(), pending.size())
                           : CompleteStoredPart(pending.data(), pending.size());
        if (usable > 0 || eof || pending.size() >= kMaxChunkBytes) break;
    }
    if (usable == 0 && !eof) usable = pending.size() & ~static_cast<std::size_t>(1);
    return usable;
}

void CCaptureReader::Consume(std::size_t usable)
{
    bodyDone += usable;
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(usable));
    if (eof) {
        // Everything is decoded (an odd last byte is no record).
        pending.clear();
        atEnd = true;
        Close();
    }
}

bool CCaptureReader::DecodeNext(CLines& lines, const CDisplayMode& mode)
{
    if (atEnd || fd < 0) return false;
    if (!started) {
        // The levels every log starts from, set as a load of the whole file sets them.
        lines.LoadCaptureBody(type, nullptr, 0, mode);
        started = true;
    }
    const std::size_t usable = NextUsable();
    if (usable == kNothing) return false;
    if (type == CaptureFileType::Old) lines.DecodeOldStream(pending.data(), usable, mode);
    else lines.DecodeStoredStream(pending.data(), usable, mode);
    Consume(usable);
    if (atEnd) lines.SetModified(false);
    return true;
}

bool CCaptureReader::ReadNext(const std::function<void(const uint8_t*, std::size_t)>& take)
{
    if (atEnd || fd < 0) return false;
    const std::size_t usable = NextUsable();
    if (usable == kNothing) return false;
    take(pending.data(), usable & ~static_cast<std::size_t>(1));
    Consume(usable);
    return true;
}
