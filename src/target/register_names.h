#pragma once
// Names of the x86 registers by their number in the processor's register encoding
// (0-7 the 8-bit, 8-15 the 16-bit, 16-23 the 32-bit and 24-29 the segment registers).
// The target interface shows a register-class address by this name; the register model
// keeps the same rows with their fields and types.

#include <cstdint>

namespace zentor {

// Number of the general register rows ("eax" .. "eflags").
inline constexpr uint32_t kGeneralRegisterRowCount = 34;
// Register number of rows that have no place in the x86 encoding ("eip", "flags").
inline constexpr uint32_t kNoRegisterNumber = 255;
// Name given for a register number that no general row carries.
inline constexpr const char* kUnknownRegisterName = "<Unknown>";

// The name of the first general row whose x86 register number is `number`, or
// "<Unknown>". The text is static and never changes.
const char* RegisterNameByNumber(uint32_t number);

// Row of the first general register with that x86 number, or -1.
int32_t FindRegisterRowByNumber(uint32_t number);

// Name of general row `row` (below kGeneralRegisterRowCount), else "<Unknown>".
const char* GeneralRegisterName(uint32_t row);

}  // namespace zentor
