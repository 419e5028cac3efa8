#include "DeviceNotice.h"

#include <algorithm>

namespace ks {

DeviceNotice DeviceNotice::ForInterface(const InterfaceClassId& id)
{
    DeviceNotice notice;
    notice.WriteU32(0, static_cast<uint32_t>(kSize));
    notice.WriteU32(kTypeOffset, kDeviceTypeInterface);
    std::copy(id.begin(), id.end(), notice.bytes.begin() + kClassOffset);
    return notice;
}

DeviceNotice DeviceNotice::FromBytes(const uint8_t* source, std::size_t length)
{
    DeviceNotice notice;
    if (source) std::copy_n(source, std::min(length, kSize), notice.bytes.begin());
    return notice;
}

InterfaceClassId DeviceNotice::InterfaceClass() const
{
    InterfaceClassId id{};
    std::copy_n(bytes.begin() + kClassOffset, id.size(), id.begin());
    return id;
}

uint32_t DeviceNotice::ReadU32(std::size_t offset) const
{
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

void DeviceNotice::WriteU32(std::size_t offset, uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace ks
