#pragma once
// The display settings of the document: what is shown (and therefore stored),
// how data characters look, the colours, the stamp resolution, the line width
// and the character cell. Read by everything that stores, draws, saves or
// searches the capture.
#include <cstdint>
#include <string>

class CDisplayMode {
public:
    CDisplayMode() = default;
    CDisplayMode(const CDisplayMode&) = default;
    CDisplayMode& operator=(const CDisplayMode&) = default;
    virtual ~CDisplayMode() = default;

    // Colours are 0x00BBGGRR.
    int32_t Data = 1;
    int32_t DataMode = 0;          // 0 ASCII, 1 HEX horizontal, 2 HEX vertical
    int32_t crDataTXD = 16711680;
    int32_t crDataRXD = 4236;
    int32_t crSpecChar = 25856;
    int32_t Error = 1;
    int32_t crErrFrame = 8421631;
    int32_t crErrParity = 65535;
    int32_t Status = 0;
    int32_t Stamp = 0;
    int32_t StampMode = 0;         // 0 1 ms, 1 10 ms, 2 100 ms, 3 1000 ms, 4 date and time
    int32_t crStampFore = 12801315;
    int32_t crStampBack = 8629910;
    int32_t DateTime = 1;
    int32_t NoDisplay = 0;
    int32_t crBkColor = 16777215;
    int32_t cxLine = -1;           // -1: not set yet, the view sets it once
    // Run-time only, never stored.
    int32_t cxChar = -1;
    int32_t cyChar = -1;
    // Set by every find message before anything is marked; 0 until then so
    // that no read of it is ever undefined.
    int32_t crHighlight = 0;

    // Byte 4 of the probe's parameter block: bit 0 Error, bit 1 Status, bit 2 Stamp.
    uint8_t GetOptionBits() const;

    // Section "DisplayMode" of the settings file; values are kept as read,
    // but for the on/off switches, whose every non-zero value is on and kept as 1.
    void LoadSettings(const std::string& path);
    void SaveSettings(const std::string& path) const;

    // Capture-file headers: 94 bytes with a check word (".ksf"), or the
    // 91-byte old header (".df", read only), chosen by the path's ending.
    bool ReadHeader(const std::string& path);
    bool WriteHeader(const std::string& path) const;
    void BuildHeader(std::string& header) const;

    // Header parsing from bytes already in memory (the file readers and the
    // fuzz targets share these). `size` is the number of bytes available.
    bool ParseCurrentHeader(const unsigned char* bytes, std::size_t size);
    bool ParseOldHeader(const unsigned char* bytes, std::size_t size);

    // Data, Error, Status, Stamp, DateTime and NoDisplay: 0 stays 0, every
    // other value becomes 1.
    void NormaliseSwitches();

    // The data row height: cxChar in HEX vertical mode with Data on, else cyChar.
    int32_t DataRowHeight() const { return (Data && DataMode == 2) ? cxChar : cyChar; }
};

// Sizes of the two capture-file headers.
inline constexpr std::size_t kCurrentHeaderSize = 94;
inline constexpr std::size_t kOldHeaderSize = 91;

// Which kind of capture file a path names, by its last characters only.
enum class CaptureFileType { None, Current, Old };
CaptureFileType CaptureFileTypeOf(const std::string& path);
