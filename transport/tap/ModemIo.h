#pragma once
// The few ioctls that watch an adapter's modem-status inputs, behind a seam:
// pseudo-terminals, which stand in for adapters in the tests, have none of
// them, so the tests put a simulated modem here. The program never sets it.
#include "TapModemSeam.h"

namespace tap {

// The seam in force: the one set with KsTap_SetModemIo, else the ioctls.
KsTapModemIo CurrentModemIo();

// Our Input bits from and to the kernel's TIOCM_ bits.
int InputsFromTiocm(int tiocm);
int TiocmFromInputs(int inputs);

} // namespace tap
