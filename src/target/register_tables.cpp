#include "target/register_tables.h"

#include "core/dvp_types.h"
#include "core/dv_error.h"

namespace zentor {
namespace {

// Group 0: ebp, esp, eflags, eip; group 1: eax, ebx, ecx, edx, esi, edi; group 2: cs,
// ss, ds, es, fs, gs (32-bit words, selectors in the low 16 bits); group 3: the
// floating-point environment (seven words) and st0..st7 (ten bytes each).
constexpr RegisterField Field(uint8_t group, uint8_t offset, uint16_t kind) { return RegisterField{group, offset, kind}; }

// The general rows in their row order. Lookups by x86 number take the first match, so
// "eip" answers 255 and "ip" is never found by number.
constexpr GeneralRegisterRow kGeneralRegisters[kGeneralRegisterRowCount] = {
    {"eax", Field(1, 0, kKindOrd4), 16},   {"ebx", Field(1, 4, kKindOrd4), 19},
    {"ecx", Field(1, 8, kKindOrd4), 17},   {"edx", Field(1, 12, kKindOrd4), 18},
    {"ebp", Field(0, 0, kKindOrd4), 21},   {"esi", Field(1, 16, kKindOrd4), 22},
    {"edi", Field(1, 20, kKindOrd4), 23},  {"esp", Field(0, 4, kKindOrd4), 20},
    {"eip", Field(0, 12, kKindOrd4), 255}, {"cs", Field(2, 0, kKindOrd2), 25},
    {"ss", Field(2, 4, kKindOrd2), 26},    {"ds", Field(2, 8, kKindOrd2), 27},
    {"es", Field(2, 12, kKindOrd2), 24},   {"fs", Field(2, 16, kKindOrd2), 28},
    {"gs", Field(2, 20, kKindOrd2), 29},   {"ip", Field(0, 12, kKindOrd4), 255},
    {"ax", Field(1, 0, kKindOrd2), 8},     {"bx", Field(1, 4, kKindOrd2), 11},
    {"cx", Field(1, 8, kKindOrd2), 9},     {"dx", Field(1, 12, kKindOrd2), 10},
    {"si", Field(1, 16, kKindOrd2), 14},   {"di", Field(1, 20, kKindOrd2), 15},
    {"bp", Field(0, 0, kKindOrd2), 13},    {"sp", Field(0, 4, kKindOrd2), 12},
    {"al", Field(1, 0, kKindOrd1), 0},     {"ah", Field(1, 1, kKindOrd1), 4},
    {"bl", Field(1, 4, kKindOrd1), 3},     {"bh", Field(1, 5, kKindOrd1), 7},
    {"cl", Field(1, 8, kKindOrd1), 1},     {"ch", Field(1, 9, kKindOrd1), 5},
    {"dl", Field(1, 12, kKindOrd1), 2},    {"dh", Field(1, 13, kKindOrd1), 6},
    {"flags", Field(0, 8, kKindOrd2), 255}, {"eflags", Field(0, 8, kKindOrd4), 255},
};

constexpr FlagRow kFlags[kFlagRowCount] = {
    {"ofl", 0x0800, 11}, {"dfl", 0x0400, 10}, {"ifl", 0x0200, 9}, {"sfl", 0x0080, 7},
    {"zfl", 0x0040, 6},  {"afl", 0x0010, 4},  {"pfl", 0x0004, 2}, {"cfl", 0x0001, 0},
};

constexpr FloatingRegisterRow kFloating[kFloatingRowCount] = {
    {"fcw", Field(3, 0, kKindOrd2)},  {"fsw", Field(3, 4, kKindOrd2)},  {"ftw", Field(3, 8, kKindOrd2)},
    {"fia", Field(3, 12, kKindOrd4)}, {"fda", Field(3, 20, kKindOrd4)}, {"st0", Field(3, 28, kKindReal10)},
    {"st1", Field(3, 38, kKindReal10)}, {"st2", Field(3, 48, kKindReal10)}, {"st3", Field(3, 58, kKindReal10)},
    {"st4", Field(3, 68, kKindReal10)}, {"st5", Field(3, 78, kKindReal10)}, {"st6", Field(3, 88, kKindReal10)},
    {"st7", Field(3, 98, kKindReal10)},
};

}  // namespace

const GeneralRegisterRow& GeneralRegisterAt(uint32_t row) {
  if (row >= kGeneralRegisterRowCount) ZENTOR_INTERNAL_ERROR();
  return kGeneralRegisters[row];
}

const FlagRow& FlagRowAt(uint32_t index) {
  if (index >= kFlagRowCount) ZENTOR_INTERNAL_ERROR();
  return kFlags[index];
}

const FloatingRegisterRow& FloatingRegisterAt(uint32_t index) {
  if (index >= kFloatingRowCount) ZENTOR_INTERNAL_ERROR();
  return kFloating[index];
}

int32_t FindRegisterRowByNumber(uint32_t number) {
  for (uint32_t row = 0; row < kGeneralRegisterRowCount; ++row) {
    if (kGeneralRegisters[row].m_number == number) return static_cast<int32_t>(row);
  }
  return -1;
}

const char* RegisterNameByNumber(uint32_t number) {
  const int32_t row = FindRegisterRowByNumber(number);
  return row < 0 ? kUnknownRegisterName : kGeneralRegisters[row].m_name;
}

const char* GeneralRegisterName(uint32_t row) {
  return row < kGeneralRegisterRowCount ? kGeneralRegisters[row].m_name : kUnknownRegisterName;
}

const char* RegisterRowName(uint32_t row) {
  if (row < kFirstFlagRow) return kGeneralRegisters[row].m_name;
  if (row < kFirstFloatingRow) return kFlags[row - kFirstFlagRow].m_name;
  if (row < kRegisterRowCount) return kFloating[row - kFirstFloatingRow].m_name;
  return kUnknownRegisterName;
}

}  // namespace zentor
