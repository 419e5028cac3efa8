#pragma once
// The frames of the capture on screen, for the frame list: a decoder fed by
// the document with every block it appends (the link's dispatch thread) or
// with the whole store after a load, and the frames it found. One mutex
// guards both; readers take copies of single frames, so the list can show a
// million frames by making only the rows it draws.
#include "CFrame.h"
#include "DecodeSettings.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class CFrameFeed;
class CLines;

class CFrameLog {
public:
    CFrameLog();
    ~CFrameLog();
    CFrameLog(const CFrameLog&) = delete;
    CFrameLog& operator=(const CFrameLog&) = delete;

    DecodeSettings Settings() const;
    // Takes new settings and forgets every frame; a capture's records must be
    // fed again (DecodeStore).
    void Configure(const DecodeSettings& settings);
    // A new capture: no frames, a fresh decoder.
    void Reset();

    // One live block of the probe's records (any thread).
    void AddLiveBlock(const uint8_t* data, std::size_t size);
    // Decodes the store's content from scratch (the caller holds the store
    // lock): after a load, or when the settings changed.
    void DecodeStore(const CLines& lines);
    // Hands on what waits in the decoder (the capture stopped).
    void Finish();

    std::size_t Count() const;
    // A copy of frame `index` (false when there is none).
    bool At(std::size_t index, CFrame& frame) const;
    // Bumped at every change other than frames appended, so that a list knows
    // to start again.
    uint64_t Generation() const;

private:
    void ResetLocked();

    mutable std::mutex lock;
    DecodeSettings settings;
    std::unique_ptr<CFrameFeed> feed;
    std::vector<CFrame> frames;
    uint64_t generation = 0;
};
