#include "CFrameLog.h"

#include "CFrameFeed.h"
#include "CLines.h"
#include "FrameDecoders.h"

CFrameLog::CFrameLog() = default;
CFrameLog::~CFrameLog() = default;

DecodeSettings CFrameLog::Settings() const
{
    std::lock_guard<std::mutex> guard(lock);
    return settings;
}

void CFrameLog::Configure(const DecodeSettings& value)
{
    std::lock_guard<std::mutex> guard(lock);
    settings = value;
    ResetLocked();
}

void CFrameLog::Reset()
{
    std::lock_guard<std::mutex> guard(lock);
    ResetLocked();
}

void CFrameLog::ResetLocked()
{
    frames.clear();
    ++generation;
    feed.reset();
    // The sink runs inside the feed's calls, all made under `lock`.
    auto decoder = MakeFrameDecoder(settings, [this](CFrame&& frame) { frames.push_back(std::move(frame)); });
    if (decoder) feed = std::make_unique<CFrameFeed>(std::move(decoder));
}

void CFrameLog::AddLiveBlock(const uint8_t* data, std::size_t size)
{
    std::lock_guard<std::mutex> guard(lock);
    if (feed) feed->AddLiveBlock(data, size);
}

void CFrameLog::DecodeStore(const CLines& lines)
{
    std::lock_guard<std::mutex> guard(lock);
    ResetLocked();
    if (!feed) return;
    // The store's first data item is preceded by those it dropped.
    const Counters& c = lines.GetCounters();
    uint64_t kept = 0;
    for (int l = 0; l < lines.GetLineCount(); ++l) kept += static_cast<uint64_t>(lines.GetLine(l)->GetDataCount());
    const uint64_t all = uint64_t{c[CNT_TXD]} + c[CNT_RXD] + c[CNT_ERR];
    feed->SetCharacters(all >= kept ? all - kept : 0);
    // In pieces of lines, so that a long capture needs no copy of itself.
    constexpr int kLinesAtOnce = 256;
    ByteBuffer records;
    for (int first = 0; first < lines.GetLineCount(); first += kLinesAtOnce) {
        records.clear();
        lines.EncodeLines(first, kLinesAtOnce, records);
        feed->AddStoredStream(records.data(), records.size());
    }
}

void CFrameLog::Finish()
{
    std::lock_guard<std::mutex> guard(lock);
    if (feed) feed->Finish();
}

std::size_t CFrameLog::Count() const
{
    std::lock_guard<std::mutex> guard(lock);
    return frames.size();
}

bool CFrameLog::At(std::size_t index, CFrame& frame) const
{
    std::lock_guard<std::mutex> guard(lock);
    if (index >= frames.size()) return false;
    frame = frames[index];
    return true;
}

uint64_t CFrameLog::Generation() const
{
    std::lock_guard<std::mutex> guard(lock);
    return generation;
}
