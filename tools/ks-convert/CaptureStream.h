#pragma once
// A capture file walked display line by display line in bounded memory: the
// record area is decoded a chunk at a time into a line store, each run of
// lines that can no longer change is handed to a visitor, and the oldest
// lines are dropped as the program's live capture drops them. The counters
// of the store count the whole file. So a listing, a search or the counters
// of a file of any size take about as much memory as the lines the program
// keeps on screen during a capture.
#include "CaptureLoader.h"

#include "CCaptureReader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CDisplayMode;
class CLines;

class CaptureStream {
public:
    explicit CaptureStream(const Layout& layout);
    ~CaptureStream();
    CaptureStream(const CaptureStream&) = delete;
    CaptureStream& operator=(const CaptureStream&) = delete;

    // Opens the file and reads its header into `mode` (with the layout's
    // width and cell). TooLarge when the memory the walk needs is not there
    // (see TooLargeText).
    LoadResult Open(const std::string& path, CDisplayMode& mode);

    // Lines [first, end) of `lines` are complete; `lineBase` is the number of
    // lines dropped before store line 0, so store line l is display line
    // lineBase + l + 1.
    using LineVisitor = std::function<void(CLines& lines, int first, int end, int lineBase)>;
    // Decodes the whole record area, calling `visit` for every line once, in
    // order. False when the file could not be read to its end.
    bool Walk(const LineVisitor& visit);

    // The store: after Walk its counters are those of the whole file.
    const CLines& Lines() const { return *lines; }

    // Memory the walk of a file with `bodyBytes` of records needs: the lines
    // kept at once, or the whole file when it is smaller.
    std::uint64_t MemoryNeeded(std::uint64_t bodyBytes, bool oldType) const;
    // The message for a TooLarge open.
    const std::string& TooLargeText() const { return tooLarge; }

private:
    Layout layout;
    std::unique_ptr<CLines> lines;
    CCaptureReader reader;
    const CDisplayMode* mode = nullptr;
    std::string tooLarge;
};
