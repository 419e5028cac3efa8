// The ".df" header reader on arbitrary bytes. An accepted old header turns
// DateTime off, and its settings survive being saved in the current header.
#include "CDisplayMode.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CDisplayMode mode;
    if (!mode.ParseOldHeader(data, size)) {
        Require(mode.DateTime == 1 && mode.Data == 1 && mode.crBkColor == 16777215);
        return 0;
    }
    Require(size >= kOldHeaderSize);
    Require(mode.DateTime == 0);
    for (std::size_t i = 0; i < kOldHeaderSize; ++i) Require(data[i] != 0);

    std::string header;
    mode.BuildHeader(header);
    Require(header.size() == kCurrentHeaderSize);
    CDisplayMode reread;
    Require(reread.ParseCurrentHeader(reinterpret_cast<const unsigned char*>(header.data()), header.size()));
    Require(reread.Data == mode.Data && reread.DataMode == mode.DataMode && reread.Status == mode.Status &&
            reread.Stamp == mode.Stamp && reread.StampMode == mode.StampMode && reread.DateTime == 0 &&
            reread.crDataTXD == mode.crDataTXD && reread.crBkColor == mode.crBkColor &&
            reread.crStampFore == mode.crStampFore && reread.crStampBack == mode.crStampBack);
    return 0;
}
