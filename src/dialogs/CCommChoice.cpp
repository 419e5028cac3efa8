#include "CCommChoice.h"

#include "CCommSetting.h"

int CCommChoice::Checked(int position, int count, int fallback)
{
    return position >= 0 && position < count ? position : fallback;
}

CCommChoice CCommChoice::From(const CCommSetting& setting)
{
    CCommChoice choice;
    choice.baudRate = Checked(setting.Baudrate, static_cast<int>(kBaudRateTexts.size()), kDefaultBaudRateIndex);
    choice.dataBits = Checked(setting.Databit, static_cast<int>(kDataBitTexts.size()), kDefaultDataBits);
    choice.parity = Checked(setting.Parity, static_cast<int>(kParityTexts.size()), kDefaultParity);
    choice.stopBits = Checked(setting.Stopbit, static_cast<int>(kStopBitTexts.size()), kDefaultStopBits);
    return choice;
}

void CCommChoice::CopyTo(CCommSetting& setting) const
{
    // Checked again: a choice is a plain value anyone may have filled in.
    setting.Baudrate = Checked(baudRate, static_cast<int>(kBaudRateTexts.size()), kDefaultBaudRateIndex);
    setting.Databit = Checked(dataBits, static_cast<int>(kDataBitTexts.size()), kDefaultDataBits);
    setting.Stopbit = Checked(stopBits, static_cast<int>(kStopBitTexts.size()), kDefaultStopBits);
    setting.Parity = Checked(parity, static_cast<int>(kParityTexts.size()), kDefaultParity);
}
