#pragma once
// The text of the last stop report ("[ Break due to ..."), kept for the status line:
// the stop caption of the symbol context ends with it. The engine sets it when it
// reports a stop and clears it when a program is loaded.

#include "support/rw_cstring.h"

namespace zentor {

void SetLastStopText(const RWCString& text);
void ClearLastStopText();
// A copy of the last stop's text ("" when there was none).
RWCString CopyLastStopText();

}  // namespace zentor
