#include "UsbDeviceIds.h"

#include "DebugLog.h"
#include "Profile.h"

namespace ks {

std::optional<uint16_t> ParseUsbId(std::string_view text)
{
    if (text.empty() || text.size() > 4) return std::nullopt;
    uint16_t value = 0;
    for (const char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        value = static_cast<uint16_t>(value << 4 | digit);
    }
    return value;
}

std::optional<UsbDeviceIds> ParseUsbProductProperty(std::string_view text)
{
    const auto first = text.find('/');
    if (first == std::string_view::npos) return std::nullopt;
    const auto second = text.find('/', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    const auto vendor = ParseUsbId(text.substr(0, first));
    const auto product = ParseUsbId(text.substr(first + 1, second - first - 1));
    if (!vendor || !product) return std::nullopt;
    return UsbDeviceIds{*vendor, *product};
}

namespace {

uint16_t ReadId(const char* key, uint16_t fallback, const std::string& path)
{
    const std::string text = GetPrivateProfileString("Device", key, "", 16, path);
    if (text.empty()) return fallback;
    if (const auto id = ParseUsbId(text)) return *id;
    OutputDebugString(QStringLiteral("Settings: [Device] %1=%2 is not a USB id (four hex digits); using %3")
                          .arg(QString::fromLatin1(key), QString::fromStdString(text))
                          .arg(fallback, 4, 16, QLatin1Char('0')));
    return fallback;
}

} // namespace

UsbDeviceIds UsbIdsFromSettings(const std::string& settingsPath)
{
    if (settingsPath.empty()) return kProbeUsbIds;
    return {ReadId("UsbVendor", kProbeUsbIds.vendor, settingsPath),
            ReadId("UsbProduct", kProbeUsbIds.product, settingsPath)};
}

} // namespace ks
