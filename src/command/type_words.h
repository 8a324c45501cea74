#pragma once
// The debugger's own type words ("int4", "ord2", "nstring", "proc", ...) with the
// symbol-table type code each stands for and the token the keyword table gives a name
// of that type. The define, show, put and remove commands go from a type word to its
// code or token and back through these lookups; a debug variable's keyword entry
// carries the type token of its type, so the token alone tells what the name is.
// The eight target-defined types ("a1" to "a8" here) are shown by the names the target
// interface gives them.

#include <cstdint>
#include <span>

namespace zentor {

struct TypeWordRow {
  uint8_t typeCode;   // symbol-table type code
  uint8_t typeToken;  // token code of a name of this type in the keyword table
  const char* name;
};

inline constexpr uint8_t kTypeTokenChar = 142;   // "char", "lstring", "nstring"
inline constexpr uint8_t kTypeTokenAlias = 252;  // "alias" (a macro name)
inline constexpr uint8_t kTypeTokenProc = 84;    // "proc" (a procedure name)

// The 28 rows, in table order.
std::span<const TypeWordRow> TypeWordTable();

bool IsTypeToken(uint8_t token);
// The token of the first row with that code; 0 when there is none (code 0 gives the
// alias token).
uint8_t TypeTokenOfCode(uint8_t typeCode);
// The name of the first row with that token, null when there is none; the
// target-defined types are named by the target.
const char* TypeNameOfToken(uint8_t token);
// The same by type code (code 0 gives "alias").
const char* TypeNameOfCode(uint8_t typeCode);

}  // namespace zentor
