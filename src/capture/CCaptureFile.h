#pragma once
// A capture file read whole through one descriptor, so that its header and
// its record area come from the same file whatever happens to the name
// meanwhile, and so that a FIFO or a device of that name is refused before
// anything waits on it. The path is used as the bytes it is: a name that is
// not UTF-8 opens as it stands.
#include "CDisplayMode.h"

#include <cstdint>
#include <string>

class CLines;

class CCaptureFile {
public:
    enum class Result { Ok, TypeError, OpenFailed };

    // ".ksf" or ".df" by the name's ending (else TypeError); OpenFailed when
    // the file is not a regular file, cannot be read or is shorter than its
    // header.
    Result Read(const std::string& path);

    CaptureFileType Type() const { return type; }
    // Takes the header's display settings into `mode`; false (and `mode`
    // unchanged) when the header is refused.
    bool ParseHeader(CDisplayMode& mode) const;
    // Decodes the record area into `lines`, which the caller has cleared.
    void DecodeBody(CLines& lines, const CDisplayMode& mode) const;

private:
    std::size_t HeaderSize() const { return type == CaptureFileType::Current ? kCurrentHeaderSize : kOldHeaderSize; }
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(bytes.data()); }

    CaptureFileType type = CaptureFileType::None;
    std::string bytes;
};
