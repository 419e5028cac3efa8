// The ".ksf" header reader on arbitrary bytes. A header it accepts must come
// back unchanged when the settings are written out and read again, the way a
// capture that was opened and saved keeps its display settings.
#include "CDisplayMode.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

bool SameStoredSettings(const CDisplayMode& a, const CDisplayMode& b)
{
    return a.Data == b.Data && a.DataMode == b.DataMode && a.crDataTXD == b.crDataTXD &&
           a.crDataRXD == b.crDataRXD && a.crSpecChar == b.crSpecChar && a.Error == b.Error &&
           a.crErrFrame == b.crErrFrame && a.crErrParity == b.crErrParity && a.Status == b.Status &&
           a.Stamp == b.Stamp && a.StampMode == b.StampMode && a.DateTime == b.DateTime &&
           a.crStampFore == b.crStampFore && a.crStampBack == b.crStampBack && a.NoDisplay == b.NoDisplay &&
           a.crBkColor == b.crBkColor;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CDisplayMode mode;
    mode.cxLine = 770;
    const CDisplayMode before = mode;
    if (!mode.ParseCurrentHeader(data, size)) {
        // A refused header leaves the settings alone.
        Require(SameStoredSettings(mode, before) && mode.cxLine == 770);
        return 0;
    }
    Require(size >= kCurrentHeaderSize);
    Require(mode.cxLine == 770); // the line width is never taken from a file

    std::string header;
    mode.BuildHeader(header);
    Require(header.size() == kCurrentHeaderSize);
    CDisplayMode reread;
    Require(reread.ParseCurrentHeader(reinterpret_cast<const unsigned char*>(header.data()), header.size()));
    Require(SameStoredSettings(mode, reread));
    return 0;
}
