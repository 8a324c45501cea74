#pragma once
// The radix (2, 10 or 16) in which integers without a radix prefix are read, and the
// display base that value display shows integers in by default; the two are set
// together. Three command actions show the base, set it from the value stack and push
// it. The command scanner, the expression hand-over and the value display read it.

#include <cstdint>

#include "core/dv_error_code.h"

namespace zentor {

inline constexpr uint32_t kMsgBadNumberBase = 70;  // "Base must be binary, decimal or hex."

uint32_t GetNumberBase();
// The default radix of value display (follows every change of the number base).
uint32_t GetDisplayBase();
// 2, 10 or 16 sets both words and returns okay; anything else returns message 70
// (ERROR) and changes nothing.
DVErrorCode SetNumberBase(uint8_t base);

// Action: writes "binary", "decimal", "hex" (or "????") on the command output and ends
// the line.
void ShowNumberBase();
// Action: the top of the value stack must be an unsigned or signed integer of 1, 2 or 4
// bytes; it is popped as a 4-byte unsigned value, and 2, 10 or 16 becomes the base
// (every registered view record is then marked changed so the views redisplay). Any
// other kind or value raises message 70 and leaves the base as it was.
void SetNumberBaseFromStack();
// Action: pushes the base as a 4-byte unsigned value.
void PushNumberBase();

}  // namespace zentor
