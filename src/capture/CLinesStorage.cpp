// The line store's stored record streams: decoding the bodies of current and
// old capture files, and writing the store back out.
#include "CLines.h"

#include "CCaptureFile.h"
#include "CDataChar.h"
#include "CDisplayMode.h"
#include "CStamp.h"
#include "CStatus.h"
#include "DeviceRecord.h"

#include "FileWrite.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Bounds-checked reading of two-byte records; nothing here reads past `size`.
class RecordReader {
public:
    RecordReader(const uint8_t* data, std::size_t size) : data(data), size(data ? size : 0) {}

    bool HasRecord() const { return pos + 2 <= size; }
    // The b0 of the record at the read position, without advancing.
    uint8_t PeekB0() const { return data[pos]; }
    void Next(uint8_t& b0, uint8_t& b1)
    {
        b0 = data[pos];
        b1 = data[pos + 1];
        pos += 2;
    }

private:
    const uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
};

// Reads up to `count` more group bytes from records accepted by `belongs`;
// the first other record ends the group and is discarded.
template <typename Belongs>
void ReadGroupBytes(RecordReader& in, uint8_t* bytes, int count, Belongs belongs)
{
    for (int k = 0; k < count && in.HasRecord(); ++k) {
        uint8_t b0, b1;
        in.Next(b0, b1);
        if (!belongs(b0)) return;
        bytes[k] = b1;
    }
}

uint32_t BigEndian(const uint8_t* b)
{
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | b[3];
}

} // namespace

void CLines::DecodeStoredStream(const uint8_t* data, std::size_t size, const CDisplayMode& mode)
{
    RecordReader in(data, size);
    while (in.HasRecord()) {
        uint8_t b0, b1;
        in.Next(b0, b1);
        switch (rec::Type(b0)) {
        case rec::kTypeData:
            AddDataChar(b1, b0, mode);
            break;
        case rec::kTypeStatus:
            AddStatus(b0, mode);
            break;
        case rec::kTypeTick: {
            uint8_t m[4] = {b1, 0, 0, 0};
            uint8_t t[4] = {0, 0, 0, 0};
            ReadGroupBytes(in, m + 1, 3, [](uint8_t b) { return b == rec::kStampValue; });
            if (in.HasRecord() && in.PeekB0() == rec::kStampTime) {
                ReadGroupBytes(in, t, 4, [](uint8_t b) { return b == rec::kStampTime; });
            }
            const CStamp stamp(BigEndian(m), BigEndian(t));
            if (mode.Stamp && stamp.GetExtent(mode, 1).cx > 0) AppendItem(stamp, mode, false);
            break;
        }
        case rec::kTypeDateTime: {
            uint8_t t[4] = {b1, 0, 0, 0};
            ReadGroupBytes(in, t + 1, 3, [](uint8_t b) { return b == rec::kDateTime; });
            AddStartStopTime(BigEndian(t), mode);
            break;
        }
        default:
            break;
        }
    }
}

void CLines::DecodeOldStream(const uint8_t* data, std::size_t size, const CDisplayMode& mode)
{
    RecordReader in(data, size);
    uint8_t countA = 0, countB = 0;
    while (in.HasRecord()) {
        uint8_t b0, b1;
        in.Next(b0, b1);
        const auto status = static_cast<uint8_t>((b0 & 0x1F) | 0x40);
        switch (rec::Type(b0)) {
        case 1:
            AddStatus(status, mode);
            AddDataChar(b1, 0x20, mode);
            break;
        case 2:
            AddStatus(status, mode);
            AddDataChar(b1, 0x28, mode);
            break;
        case 3:
            AddStatus(status, mode);
            break;
        case 7:
            AddDataChar(b1, static_cast<uint8_t>(0x30 | (b0 & 0x0F)), mode);
            break;
        case 4: {
            uint8_t ab[2] = {0, 0};
            ReadGroupBytes(in, ab, 2, [](uint8_t b) { return (b & 0xE0) == 0x80; });
            countA = ab[0];
            countB = ab[1];
            break;
        }
        case 5: {
            uint8_t t[4] = {b1, 0, 0, 0};
            ReadGroupBytes(in, t + 1, 3, [](uint8_t b) { return (b & 0xE0) == 0xA0; });
            const uint32_t ms = 10u * ((static_cast<uint32_t>(countA & 0x1F) << 8) | countB);
            AddTick(ms, BigEndian(t), mode);
            countA = countB = 0;
            break;
        }
        default:
            break;
        }
    }
}

bool CLines::OpenCaptureBody(const std::string& path, const CDisplayMode& mode)
{
    CCaptureFile file;
    if (file.Read(path) != CCaptureFile::Result::Ok) return false;
    file.DecodeBody(*this, mode);
    return true;
}

void CLines::LoadCaptureBody(CaptureFileType type, const uint8_t* data, std::size_t size, const CDisplayMode& mode)
{
    if (type == CaptureFileType::Current) {
        currentStatus = rec::kAllInactive;
        DecodeStoredStream(data, size, mode);
    } else if (type == CaptureFileType::Old) {
        currentStatus = rec::kAllInactiveRecord;
        DecodeOldStream(data, size, mode);
    }
    modified = 0;
}

void CLines::EncodeLines(int first, int count, ByteBuffer& out) const
{
    const int end = std::min(GetLineCount(), first + count);
    for (int i = std::max(0, first); i < end; ++i) {
        // Slot by slot: every item starts where the one before it ends.
        const CLineInfo& line = lines[static_cast<std::size_t>(i)];
        for (uint32_t k = 0; k < line.slotCount; k += static_cast<uint32_t>(line.itemSlots[k].Slots())) {
            const CShape& item = line.itemSlots[k];
            // Characters are nearly all of a capture: written here directly.
            if (item.GetKind() == KIND_DATA) {
                const auto& data = static_cast<const CDataChar&>(item);
                out.push_back(data.Flags());
                out.push_back(data.Character());
                continue;
            }
            if (item.GetKind() == KIND_STATUS && static_cast<const CStatus&>(item).IsLineStart()) continue;
            item.GetRecord(out);
        }
    }
}

void CLines::EncodeStoredStream(ByteBuffer& out) const
{
    EncodeLines(0, GetLineCount(), out);
}

bool CLines::SaveCaptureBody(const std::string& path)
{
    if (path.empty()) return false;
    // The header was written first by the caller: append to that file, never
    // create or truncate one here.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    constexpr int kChunkLines = 20;
    ByteBuffer chunk;
    bool ok = true;
    for (int first = 0; ok && first < GetLineCount(); first += kChunkLines) {
        chunk.clear();
        EncodeLines(first, kChunkLines, chunk);
        ok = ks::WriteAll(fd, chunk.data(), chunk.size());
    }
    if (::close(fd) != 0) ok = false;
    if (ok) modified = 0;
    return ok;
}
