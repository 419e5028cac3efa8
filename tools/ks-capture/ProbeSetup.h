#pragma once
// Opening the probe as the program does, shared by the single-file capture
// and the series: the link (through the chosen transport), the firmware text,
// and the line parameters with the status bit forced on (so the probe always
// reports the control lines).
#include "CaptureOptions.h"

class CDisplayMode;
class CUSBCom;

// False (after saying so on standard error) when the probe cannot be opened.
bool OpenProbe(CUSBCom& link, const CaptureOptions& options, const CDisplayMode& mode);
