#pragma once
// The built-in words and operators of the command language with their token codes
// and subcodes. The scanner enters every row into its keyword table at start-up; words
// that share a token code (the relational operators, "step"/"istep", the type words)
// are told apart by the subcode, which for operators is also the operator code the
// expression compiler and the operator executor use ("+" 0 ... "<<" 19).

#include <cstdint>
#include <span>

namespace zentor {

struct TokenTableRow {
  const char* text;
  uint8_t token;
  uint16_t subcode;
};

inline constexpr std::size_t kTokenTableRowCount = 161;

// The rows in table order.
std::span<const TokenTableRow> TokenTable();

}  // namespace zentor
