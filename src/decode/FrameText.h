#pragma once
// The texts of a frame as the frame list and ks-convert show them, made when
// they are shown.
#include "CFrame.h"

#include <string>

// "TXD" or "RXD".
const char* FrameDirectionText(const CFrame& frame);
// "Modbus RTU", "Modbus ASCII", "Line"; an NMEA sentence "NMEA 0183".
std::string FrameProtocolText(const CFrame& frame);
// "request", "response", "exception", "noise", "line", "piece", "command",
// "answer".
const char* FrameKindText(const CFrame& frame);
// "12.345" seconds since the capture began; empty without stamps.
std::string FrameTimeText(const CFrame& frame);
// "CRC ok", "CRC bad (computed 0x1A2B)", "LRC ok", "checksum bad (computed
// 0x4F)"; empty when the frame has no check.
std::string FrameCheckText(const CFrame& frame);
// The content: Modbus address, function and fields; a line's text with
// control characters named.
std::string FrameSummary(const CFrame& frame);

// "NUMBER  TIME  DIR  PROTOCOL  KIND  SUMMARY  CHECK  ..." for listings.
std::string FrameListLine(const CFrame& frame);
std::string FrameCsvHeader();
std::string FrameCsvLine(const CFrame& frame);
