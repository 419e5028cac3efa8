#pragma once
// The capture log and the store of display lines in one. Every record handed
// over becomes a display item at once and is placed on the last line, which
// breaks by pixel width; the thirteen counters and the time stamps are kept
// here too. Not locked by itself: see StoreLock.h for who holds what.
#include "CLineInfo.h"
#include "SlotArena.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class CDisplayMode;
enum class CaptureFileType;

enum CounterIndex : int {
    CNT_TXD = 0, CNT_RXD, CNT_RTS_RISE, CNT_RTS_FALL, CNT_CTS_RISE, CNT_CTS_FALL,
    CNT_CD_RISE, CNT_CD_FALL, CNT_DTR_RISE, CNT_DTR_FALL, CNT_DSR_RISE, CNT_DSR_FALL,
    CNT_ERR, CNT_COUNT
};

using Counters = std::array<uint32_t, CNT_COUNT>;

// The count-bar texts in counter order: "TXD:%u", "RXD:%u", "RTS:%u", ...
extern const std::array<const char*, CNT_COUNT> kCounterFormats;

class CLines {
public:
    // Lines kept during a capture, and the least number trimmed at once.
    static constexpr int kMaxLines = 2048;
    static constexpr int kTrimStep = 8;

    CLines() = default;
    CLines(const CLines&) = delete;
    CLines& operator=(const CLines&) = delete;
    virtual ~CLines();

    void AddDataChar(uint8_t character, uint8_t b0, const CDisplayMode& mode);
    int AddStatus(uint8_t status, const CDisplayMode& mode);
    void AddTick(uint32_t ms, uint32_t time, const CDisplayMode& mode);
    void AddIdleTime(uint32_t ms, uint32_t time, const CDisplayMode& mode);
    void AddStartStopTime(int64_t time, const CDisplayMode& mode);
    void RemoveProvisionalStamp(const CDisplayMode& mode);
    int TrimOldest();
    void Clear();

    // Walks a live block as two-byte records (an odd last byte is ignored)
    // and dispatches them: data characters, status changes (stored only when
    // Status is on) and ticks; `now` is the wall-clock time given to ticks.
    // Returns the b0 of the block's last status record, or -1 when it had
    // none, so that the caller can repaint the line indicators once.
    int AddLiveBlock(const uint8_t* data, std::size_t size, uint32_t now, const CDisplayMode& mode);

    int GetLineCount() const { return static_cast<int>(lines.size()); }
    CLineInfo* GetLine(int index) const
    {
        return index >= 0 && index < static_cast<int>(lines.size())
                   ? const_cast<CLineInfo*>(&lines[static_cast<std::size_t>(index)])
                   : nullptr;
    }
    int GetLastLineIndex() const { return lines.empty() ? 0 : static_cast<int>(lines.size()) - 1; }
    int GetLastItemIndex() const { return lines.empty() ? -1 : lines.back().GetItemCount() - 1; }

    bool IsModified() const { return modified != 0; }
    void SetModified(bool value) { modified = value ? 1 : 0; }

    const Counters& GetCounters() const { return counters; }
    uint8_t GetCurrentStatus() const { return currentStatus; }
    bool IsProvisional() const { return provisional != 0; }

    // Capture-file bodies. OpenCaptureBody reads everything after the header
    // of a ".ksf" or ".df" path (chosen by its last letters) into the store,
    // which the caller has cleared (CCaptureFile reads header and body from
    // one open). SaveCaptureBody appends the stored stream to an existing
    // regular file whose header the caller wrote; false also when a write
    // fails.
    bool OpenCaptureBody(const std::string& path, const CDisplayMode& mode);
    bool SaveCaptureBody(const std::string& path);
    // The record area of a file of `type`, already in memory.
    void LoadCaptureBody(CaptureFileType type, const uint8_t* data, std::size_t size, const CDisplayMode& mode);

    // The stream decoders behind OpenCaptureBody, for bytes already in memory.
    void DecodeStoredStream(const uint8_t* data, std::size_t size, const CDisplayMode& mode);
    void DecodeOldStream(const uint8_t* data, std::size_t size, const CDisplayMode& mode);
    // The stored stream of every line, in order (what SaveCaptureBody writes).
    void EncodeStoredStream(ByteBuffer& out) const;
    // The stored stream of lines [first, first + count).
    void EncodeLines(int first, int count, ByteBuffer& out) const;

private:
    // The last line, or a new one when `w` more pixels do not fit on it.
    CLineInfo& LineWithRoom(int w, const CDisplayMode& mode);
    // `item` is a whole object of its own class.
    void AppendItem(const CShape& item, const CDisplayMode& mode, bool isData);
    CShape* LastItem() const;
    void SetCurrentStatusForDecoding(uint8_t status) { currentStatus = status; }

    SlotArena arena; // before the lines, which hold arrays from it
    std::deque<CLineInfo> lines; // oldest first; a line stays where it is until trimmed
    int modified = 0;
    uint8_t currentStatus = 0x1F;
    uint32_t tickAccumulator = 0;
    int provisional = 0;
    Counters counters{};
};
