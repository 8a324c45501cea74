#pragma once
// The radix (2, 10 or 16) in which integers without a radix prefix are read, and the
// display base that value display shows integers in by default; the two are set
// together. The command scanner, the expression hand-over and the value display read it.

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

}  // namespace zentor
