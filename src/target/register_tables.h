#pragma once
// The register tables of the target: every register the command language and the
// engine name, with its place in the register record, its type and its number in the
// x86 register encoding (0-7 the 8-bit, 8-15 the 16-bit, 16-23 the 32-bit and 24-29
// the segment registers). A register's row in the combined table (general rows 0-33,
// the eflags bits 34-41, the floating-point rows 42-54) is its number everywhere
// outside the target: keyword subcode, RegisterValue, TmiGetRegisterValue. The
// register model (register_model.h) reads and writes the record through these rows;
// the target interface names register-class addresses by them.

#include <cstdint>

#include "core/dvp_types.h"

namespace zentor {

// Rows of the combined table.
inline constexpr uint32_t kGeneralRegisterRowCount = 34;
inline constexpr uint32_t kFlagRowCount = 8;
inline constexpr uint32_t kFloatingRowCount = 13;
inline constexpr uint32_t kFirstFlagRow = kGeneralRegisterRowCount;
inline constexpr uint32_t kFirstFloatingRow = kFirstFlagRow + kFlagRowCount;
inline constexpr uint32_t kRegisterRowCount = kFirstFloatingRow + kFloatingRowCount;

// Register number of rows that have no place in the x86 encoding ("eip", "flags").
inline constexpr uint32_t kNoRegisterNumber = 255;
// Name given for a register number that no general row carries.
inline constexpr const char* kUnknownRegisterName = "<Unknown>";

// Where a general or floating-point row lives in the register record: the group
// (bit of the group mask), the byte offset inside the group's wire bytes and the
// value kind (ord1, ord2, ord4 or real10), which gives its byte width.
struct RegisterField {
  uint8_t m_group;
  uint8_t m_offset;
  uint16_t m_kind;
};

struct GeneralRegisterRow {
  const char* m_name;
  RegisterField m_field;
  uint8_t m_number;  // x86 register encoding, kNoRegisterNumber when it has none
};

struct FlagRow {
  const char* m_name;
  uint16_t m_mask;
  uint8_t m_bit;
};

struct FloatingRegisterRow {
  const char* m_name;
  RegisterField m_field;
};

// The tables, in their row order.
const GeneralRegisterRow& GeneralRegisterAt(uint32_t row);  // row < 34
const FlagRow& FlagRowAt(uint32_t index);                   // index < 8
const FloatingRegisterRow& FloatingRegisterAt(uint32_t index);  // index < 13

// Fields the register model needs by name: the program counter, the stack and frame
// pointers, eflags, the two segments of an address and the two selector words of the
// floating-point environment that follow fia and fda.
inline constexpr RegisterField kFieldEbp = {0, 0, kKindOrd4};
inline constexpr RegisterField kFieldEsp = {0, 4, kKindOrd4};
inline constexpr RegisterField kFieldEflags = {0, 8, kKindOrd4};
inline constexpr RegisterField kFieldEip = {0, 12, kKindOrd4};
inline constexpr RegisterField kFieldCs = {2, 0, kKindOrd2};
inline constexpr RegisterField kFieldSs = {2, 4, kKindOrd2};
inline constexpr RegisterField kFieldDs = {2, 8, kKindOrd2};
inline constexpr RegisterField kFieldFia = {3, 12, kKindOrd4};
inline constexpr RegisterField kFieldFis = {3, 16, kKindOrd2};
inline constexpr RegisterField kFieldFda = {3, 20, kKindOrd4};
inline constexpr RegisterField kFieldFds = {3, 24, kKindOrd2};

// The name of the first general row whose x86 register number is `number`, or
// "<Unknown>". The text is static and never changes.
const char* RegisterNameByNumber(uint32_t number);

// Row of the first general register with that x86 number, or -1.
int32_t FindRegisterRowByNumber(uint32_t number);

// Name of general row `row` (below kGeneralRegisterRowCount), else "<Unknown>".
const char* GeneralRegisterName(uint32_t row);

// Name of any row of the combined table, else "<Unknown>".
const char* RegisterRowName(uint32_t row);

}  // namespace zentor
