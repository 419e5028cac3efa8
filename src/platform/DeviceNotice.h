#pragma once
// The device-change notice the program receives when the probe is plugged in
// or pulled out: an event code and the broadcast header that says which
// device interface the notice is about. The header is laid out as the notices
// the program was first written against: 32 bytes, little-endian,
//
//   offset 0   size of the header (32)
//   offset 4   device type (5 = device interface)
//   offset 8   reserved (0)
//   offset 12  16-byte interface class identifier
//   offset 28  empty name, zero
//
// The same 32 bytes, filled the same way, are the filter a window registers
// with (DeviceNoticeHub).
#include <array>
#include <cstddef>
#include <cstdint>

namespace ks {

// Event codes of a device-change notice.
inline constexpr uint32_t kDeviceArrival = 0x8000;
inline constexpr uint32_t kDeviceRemoveComplete = 0x8004;

// Device type of a notice about a device interface.
inline constexpr uint32_t kDeviceTypeInterface = 5;

// The message number the notices travel under (a Qt event type).
inline constexpr int kDeviceChangeMessage = 1310;

using InterfaceClassId = std::array<uint8_t, 16>;

// The probe's interface class {7E07DDAF-5AE4-46EF-B1C7-63ACEC02586F}, in the
// byte order the header carries it (first three fields little-endian).
inline constexpr InterfaceClassId kProbeInterfaceClass = {0xAF, 0xDD, 0x07, 0x7E, 0xE4, 0x5A, 0xEF, 0x46,
                                                         0xB1, 0xC7, 0x63, 0xAC, 0xEC, 0x02, 0x58, 0x6F};

class DeviceNotice {
public:
    static constexpr std::size_t kSize = 32;
    static constexpr std::size_t kTypeOffset = 4;
    static constexpr std::size_t kClassOffset = 12;

    // All zero: no size, no type.
    DeviceNotice() = default;
    // A notice (or a filter) for the device interface class `id`.
    static DeviceNotice ForInterface(const InterfaceClassId& id);
    // Exactly the first 32 bytes of `bytes` (fewer are padded with zeros).
    static DeviceNotice FromBytes(const uint8_t* bytes, std::size_t length);

    uint32_t Size() const { return ReadU32(0); }
    uint32_t DeviceType() const { return ReadU32(kTypeOffset); }
    InterfaceClassId InterfaceClass() const;
    const uint8_t* Bytes() const { return bytes.data(); }

    void SetDeviceType(uint32_t type) { WriteU32(kTypeOffset, type); }

private:
    uint32_t ReadU32(std::size_t offset) const;
    void WriteU32(std::size_t offset, uint32_t value);

    std::array<uint8_t, kSize> bytes{};
};

} // namespace ks
