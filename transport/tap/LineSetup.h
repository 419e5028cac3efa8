#pragma once
// Puts an adapter into the tap's receive-only raw mode for a line format.
#include "LineFormat.h"

#include <string>

namespace tap {

// Raw input at the format's rate and frame (any rate, also those without a
// classic speed constant such as 14400), parity and framing errors and
// breaks marked in the data (PARMRK with INPCK), no flow control, no echo, no
// output processing, and HUPCL off so that closing the port leaves its
// output lines alone. False with the reason in `error`.
bool ApplyLineFormat(int fd, const sim::LineFormat& format, std::string& error);

// The rate and frame the port is set to now (for checks).
bool ReadLineFormat(int fd, sim::LineFormat& format);

} // namespace tap
