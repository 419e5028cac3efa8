#include "FrameDecoders.h"

#include "CLineDecoder.h"
#include "CModbusAsciiDecoder.h"
#include "CModbusRtuDecoder.h"

std::unique_ptr<IFrameDecoder> MakeFrameDecoder(const DecodeSettings& settings, FrameSink sink)
{
    switch (settings.protocol) {
    case DecodeProtocol::ModbusRtu: return std::make_unique<CModbusRtuDecoder>(settings.master, std::move(sink));
    case DecodeProtocol::ModbusAscii: return std::make_unique<CModbusAsciiDecoder>(settings.master, std::move(sink));
    case DecodeProtocol::Lines: return std::make_unique<CLineDecoder>(std::move(sink));
    case DecodeProtocol::None: break;
    }
    return nullptr;
}
