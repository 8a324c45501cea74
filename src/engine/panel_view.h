#pragma once
// What the views whose lines live in a panel (Modules, Callstack) share: the window's
// life in the panel (made on 0x46, destroyed on 0x47, emptied on 0x5a) and the answer
// to every request (the panel's lines to the pane, the outcome into the status).

#include <cstdint>

#include "core/dv_error.h"
#include "core/text_pane.h"

namespace zentor {

// Handles 0x46, 0x47 and 0x5a on the pane's panel; false for any other code.
bool HandlePanelLifeRequest(TextPane& pane, int32_t code, DVErrorCode* result);
// The panel's lines to the pane (none once the panel is gone), the result into the
// status; returns the status's number.
int32_t AnswerPanelRequest(TextPane& pane, int32_t code, const DVErrorCode& result, DVError& status);

}  // namespace zentor
