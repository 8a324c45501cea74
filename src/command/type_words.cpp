#include "command/type_words.h"

#include <array>

#include "core/dvp_types.h"

namespace zentor {
namespace {

constexpr uint8_t kFirstTargetTypeCode = 43;
constexpr uint8_t kLastTargetTypeCode = 50;

constexpr std::array<TypeWordRow, 28> kRows{{
    {0, kTypeTokenAlias, "alias"}, {7, 137, "bcd"},      {2, 144, "boolean"},   {106, kTypeTokenChar, "char"},
    {16, 127, "int1"},             {17, 126, "int2"},    {18, 125, "int4"},     {19, 123, "int8"},
    {128, kTypeTokenChar, "lstring"}, {127, kTypeTokenChar, "nstring"},         {9, 136, "ord1"},
    {10, 135, "ord2"},             {11, 134, "ord4"},    {12, 131, "ord8"},     {14, 129, "ord12"},
    {15, 128, "ord16"},            {0, kTypeTokenProc, "proc"},                 {24, 122, "real4"},
    {25, 120, "real8"},            {26, 119, "real10"},  {43, 105, "a1"},       {44, 103, "a2"},
    {45, 102, "a3"},               {46, 99, "a4"},       {47, 98, "a5"},        {48, 96, "a6"},
    {49, 93, "a7"},                {50, 91, "a8"},
}};

bool IsTargetTypeCode(uint8_t code) { return code >= kFirstTargetTypeCode && code <= kLastTargetTypeCode; }

const char* NameOfRow(const TypeWordRow& row) {
  if (!IsTargetTypeCode(row.typeCode)) return row.name;
  return DVPTypeInfo(SymbolTypeCode(row.typeCode)).TargetAttribute();
}

}  // namespace

std::span<const TypeWordRow> TypeWordTable() { return kRows; }

// Asked at every fetch and store of a debug variable: a table by token.
constexpr std::array<bool, 256> kTypeTokens = [] {
  std::array<bool, 256> tokens{};
  for (const TypeWordRow& row : kRows) tokens[row.typeToken] = true;
  return tokens;
}();

bool IsTypeToken(uint8_t token) { return kTypeTokens[token]; }

uint8_t TypeTokenOfCode(uint8_t typeCode) {
  for (const TypeWordRow& row : kRows) {
    if (row.typeCode == typeCode) return row.typeToken;
  }
  return 0;
}

const char* TypeNameOfToken(uint8_t token) {
  for (const TypeWordRow& row : kRows) {
    if (row.typeToken == token) return NameOfRow(row);
  }
  return nullptr;
}

const char* TypeNameOfCode(uint8_t typeCode) {
  for (const TypeWordRow& row : kRows) {
    if (row.typeCode == typeCode) return NameOfRow(row);
  }
  return nullptr;
}

}  // namespace zentor
