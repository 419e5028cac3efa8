#pragma once
// A frame's characters in the line store: found by their place among the
// store's data items (the store counts every data item it was given, also
// those it has dropped since) and marked as Find marks a match.
#include "CFrame.h"

class CLines;

// Clears every mark and marks the data items of `frame` (its direction's
// characters from its first to its last). Returns the display line of its
// first character, or -1 when the store no longer holds it (the live window
// dropped it) or never showed it (data hidden). The caller holds the store
// lock.
int MarkFrame(CLines& lines, const CFrame& frame);
