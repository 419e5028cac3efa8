#pragma once
// The decoder of the chosen protocol: null for None.
#include "DecodeSettings.h"
#include "IFrameDecoder.h"

#include <memory>

std::unique_ptr<IFrameDecoder> MakeFrameDecoder(const DecodeSettings& settings, FrameSink sink);
