#pragma once
// The eval command's display: the value on top of the value stack in several number
// bases at once. Integers show as binary, decimal and hexadecimal side by side (a
// byte also as its character), reals and other values as their bytes, strings as
// rows of bytes with their characters.

#include <cstdint>

namespace zentor {

inline constexpr uint32_t kMsgUnknownIntegerSize = 73;  // "Unknown size of integer in EVAL command."

// Slot 176.
void EvalDisplay();

}  // namespace zentor
