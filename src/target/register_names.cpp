#include "target/register_names.h"

namespace zentor {
namespace {

struct GeneralRegisterRow {
  const char* name;
  uint8_t number;  // x86 register encoding, kNoRegisterNumber when it has none
};

// The general register rows in the order the register model and the keyword table
// number them; lookups by x86 number take the first match, so "eip" answers 255.
constexpr GeneralRegisterRow kGeneralRegisters[kGeneralRegisterRowCount] = {
    {"eax", 16},   {"ebx", 19},   {"ecx", 17},  {"edx", 18}, {"ebp", 21},  {"esi", 22},  {"edi", 23},
    {"esp", 20},   {"eip", 255},  {"cs", 25},   {"ss", 26},  {"ds", 27},   {"es", 24},   {"fs", 28},
    {"gs", 29},    {"ip", 255},   {"ax", 8},    {"bx", 11},  {"cx", 9},    {"dx", 10},   {"si", 14},
    {"di", 15},    {"bp", 13},    {"sp", 12},   {"al", 0},   {"ah", 4},    {"bl", 3},    {"bh", 7},
    {"cl", 1},     {"ch", 5},     {"dl", 2},    {"dh", 6},   {"flags", 255}, {"eflags", 255},
};

}  // namespace

int32_t FindRegisterRowByNumber(uint32_t number) {
  for (uint32_t row = 0; row < kGeneralRegisterRowCount; ++row) {
    if (kGeneralRegisters[row].number == number) return static_cast<int32_t>(row);
  }
  return -1;
}

const char* RegisterNameByNumber(uint32_t number) {
  const int32_t row = FindRegisterRowByNumber(number);
  return row < 0 ? kUnknownRegisterName : kGeneralRegisters[row].name;
}

const char* GeneralRegisterName(uint32_t row) {
  return row < kGeneralRegisterRowCount ? kGeneralRegisters[row].name : kUnknownRegisterName;
}

}  // namespace zentor
