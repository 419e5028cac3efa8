#include "CCommSetting.h"

#include "BaudRateTable.h"
#include "Profile.h"

namespace {
constexpr const char* kSection = "COM";

int InRangeOr(int32_t value, int32_t count, int32_t fallback)
{
    return value >= 0 && value < count ? value : fallback;
}
} // namespace

CCommSetting::CCommSetting(std::string settingsPath) : path(std::move(settingsPath))
{
    if (path.empty()) return;
    Baudrate = ks::GetPrivateProfileIntA(kSection, "Baudrate", 10, path);
    Databit = ks::GetPrivateProfileIntA(kSection, "Databit", 1, path);
    Stopbit = ks::GetPrivateProfileIntA(kSection, "Stopbit", 0, path);
    Parity = ks::GetPrivateProfileIntA(kSection, "Parity", 0, path);
}

CCommSetting::~CCommSetting()
{
    SaveSettings();
}

void CCommSetting::SaveSettings() const
{
    if (path.empty()) return;
    ks::WritePrivateProfileStringA(kSection, "Baudrate", std::to_string(Baudrate).c_str(), path);
    ks::WritePrivateProfileStringA(kSection, "Databit", std::to_string(Databit).c_str(), path);
    ks::WritePrivateProfileStringA(kSection, "Stopbit", std::to_string(Stopbit).c_str(), path);
    ks::WritePrivateProfileStringA(kSection, "Parity", std::to_string(Parity).c_str(), path);
}

// A value from the settings file outside its list goes back to the default:
// the probe must never be sent a rate it has no entry for.
int CCommSetting::BaudrateIndex() const { return InRangeOr(Baudrate, static_cast<int32_t>(kBaudRates.size()), kDefaultBaudRateIndex); }
int CCommSetting::DatabitIndex() const { return InRangeOr(Databit, 2, 1); }
int CCommSetting::StopbitIndex() const { return InRangeOr(Stopbit, 2, 0); }
int CCommSetting::ParityIndex() const { return InRangeOr(Parity, 3, 0); }

void CCommSetting::FillParameterBlock(uint8_t* block) const
{
    block[0] = static_cast<uint8_t>(BaudrateIndex());
    block[1] = DatabitIndex() == 0 ? 1 : 0;
    block[2] = static_cast<uint8_t>(StopbitIndex());
    block[3] = static_cast<uint8_t>(ParityIndex() == 1 ? 3 : ParityIndex());
}

uint32_t CCommSetting::PackLineParameters(uint32_t extra) const
{
    uint32_t v = (extra << 2) | static_cast<uint32_t>(ParityIndex());
    v = (v << 1) | static_cast<uint32_t>(StopbitIndex());
    v = (v << 1) | static_cast<uint32_t>(DatabitIndex());
    v = (v << 5) | static_cast<uint32_t>(BaudrateIndex());
    return v;
}

std::string FormatLineParameters(uint32_t packed)
{
    const uint32_t baud = packed & 0x1F;
    std::string text = "COM: ";
    text += baud < kBaudRateTexts.size() ? kBaudRateTexts[baud] : "?";
    text += "-";
    text += (packed & 0x20) ? "8-" : "7-";
    switch ((packed >> 7) & 0x3) {
    case 0: text += "N-"; break;
    case 1: text += "O-"; break;
    default: text += "E-"; break;
    }
    text += (packed & 0x40) ? "2" : "1";
    return text;
}
