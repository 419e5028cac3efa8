#pragma once
// A protocol decoder: fed every data character in record order, it hands
// each frame it completes to its sink. State is carried from one call to
// the next, so characters may come in blocks of any size.
#include "CFrame.h"
#include "FrameChar.h"

#include <functional>

using FrameSink = std::function<void(CFrame&&)>;

class IFrameDecoder {
public:
    virtual ~IFrameDecoder() = default;
    virtual void Put(const FrameChar& c) = 0;
    // The capture ended (or stopped): what is pending is handed on as it is.
    virtual void Finish() = 0;
};
