#include "core/dvp_types.h"

#include "core/dv_error.h"
#include "core/target_calls.h"

namespace zentor {
namespace {

// One row of TypeCodeMap: how a symbol-table type code, the debugger's code and the
// target's type id correspond. Lookups scan the rows in order; the first match wins.
struct TypeCodeRow {
  int32_t symbolCode;
  int32_t dvpCode;
  uint32_t targetTypeId;  // 0 = none
};

constexpr TypeCodeRow kTypeCodeMap[] = {
    {1, 1, 0},     {2, 2, 1},     {3, 3, 0},     {4, 4, 0},     {5, 5, 0},     {7, 7, 0},
    {8, 7, 0},     {128, 23, 0},  {127, 22, 0},  {106, 6, 2},   {9, 8, 3},     {10, 9, 4},
    {11, 10, 5},   {12, 11, 6},   {13, 12, 7},   {14, 13, 8},   {15, 14, 9},   {16, 15, 10},
    {17, 16, 11},  {18, 17, 12},  {19, 18, 13},  {24, 19, 15},  {25, 20, 16},  {26, 21, 17},
    {-1, 42, 19},  {43, 34, 20},  {44, 35, 21},  {45, 36, 22},  {46, 37, 23},  {47, 38, 24},
    {48, 39, 25},  {49, 40, 26},  {50, 41, 27},  {52, 24, 0},
};
static_assert(sizeof(kTypeCodeMap) / sizeof(kTypeCodeMap[0]) == 34);

// Byte size of value kinds 0..33: the DVPType sizes, then the value stack's item
// sizes (25 PointerLocation, 26 SymbolValueItem, 27 TypedLocation, 28 OrdinalValue,
// 29 inactive symbol, 30 routine reference, 31 and 32 reserved, 33 marker).
constexpr uint16_t kFixedKindSizes[34] = {
    0, 4, 1, 2, 4, 8, 1, 10, 1, 2, 4, 8, 10, 12, 16, 1, 2,
    4, 8, 4, 8, 10, 1, 1, 1, 60, 221, 48, 8, 0, 4, 16, 4, 0,
};

// The target interface of this debugger describes its types this way; start-up may
// install the connected target's own table instead.
constexpr TargetTypeRow kBuiltInTargetTypes[] = {
    {19, 4, 0, "<invalid>"}, {20, 4, 0, "pointer"},   {21, 0, 0, "<invalid>"},
    {22, 0, 0, "<invalid>"}, {23, 0, 0, "<invalid>"}, {24, 0, 0, "<invalid>"},
    {25, 0, 0, "<invalid>"}, {26, 0, 0, "<invalid>"}, {27, 4, 0, "register"},
    {kTargetTypeTableEnd, 0, 0, nullptr},
};

const TargetTypeRow* g_installedTargetTypes = nullptr;

// Rows of a target table are read up to the end row; a table that never ends is cut
// off here so that a damaged description cannot send the scan through memory.
constexpr uint32_t kMaxTargetTypeRows = 256;

const TargetTypeRow* FindTargetTypeRow(uint32_t id) {
  const TargetTypeRow* rows = CurrentTargetTypeTable();
  for (uint32_t i = 0; i < kMaxTargetTypeRows && rows[i].m_typeId != kTargetTypeTableEnd; ++i) {
    if (rows[i].m_typeId == id) return &rows[i];
  }
  return nullptr;
}

// The target's row of a target-defined code; an internal error when there is none.
const TargetTypeRow& TargetRowOf(const DVPTypeInfo& type) {
  const TargetTypeRow* row = FindTargetTypeRow(type.TargetTypeId());
  if (row == nullptr) ZENTOR_INTERNAL_ERROR();
  return *row;
}

}  // namespace

void InstallTargetTypeTable(const TargetTypeRow* rows) { g_installedTargetTypes = rows; }

const TargetTypeRow* CurrentTargetTypeTable() {
  if (g_installedTargetTypes != nullptr) return g_installedTargetTypes;
  const TargetTypeRow* described = KeptTargetDescription().m_typeTable;
  return described != nullptr ? described : kBuiltInTargetTypes;
}

DVPType::DVPType(int32_t code) : m_code(code) {
  if (code < 0 || code > kKindLastCode) ZENTOR_INTERNAL_ERROR();
}

DVPTypeInfo::DVPTypeInfo(SymbolTypeCode code) {
  for (const TypeCodeRow& row : kTypeCodeMap) {
    if (row.symbolCode == code.Value()) {
      m_code = row.dvpCode;
      return;
    }
  }
  ZENTOR_INTERNAL_ERROR();
}

DVPTypeInfo DVPTypeInfo::FromTargetTypeId(uint32_t targetTypeId) {
  for (const TypeCodeRow& row : kTypeCodeMap) {
    if (row.targetTypeId == targetTypeId) return FromCode(row.dvpCode);
  }
  ZENTOR_INTERNAL_ERROR();
}

uint32_t DVPTypeInfo::TargetTypeId() const {
  for (const TypeCodeRow& row : kTypeCodeMap) {
    if (row.dvpCode == m_code) return row.targetTypeId;
  }
  return 0;
}

uint32_t DVPTypeInfo::Size() const {
  if (IsTargetDefinedKind(static_cast<uint32_t>(m_code))) return TargetRowOf(*this).m_size;
  return GetValueKindSize(static_cast<uint32_t>(m_code));
}

uint32_t DVPTypeInfo::DisplayWidth(uint32_t base) const {
  if (!IsTargetDefinedKind(static_cast<uint32_t>(m_code))) ZENTOR_INTERNAL_ERROR();
  const uint32_t size = TargetRowOf(*this).m_size;
  if (base == 2) return size * 8;
  if (base == 10) return size * 5 / 2;  // 2.5 digits a byte, truncated
  return size * 2 + 2;                  // digits and the "0x" prefix
}

const char* DVPTypeInfo::TargetAttribute() const {
  if (!IsTargetDefinedKind(static_cast<uint32_t>(m_code))) ZENTOR_INTERNAL_ERROR();
  return TargetRowOf(*this).m_name;
}

uint16_t GetValueKindSize(uint32_t kind) {
  if (IsTargetDefinedKind(kind)) return static_cast<uint16_t>(DVPTypeInfo::FromCode(static_cast<int32_t>(kind)).Size());
  return kind < sizeof(kFixedKindSizes) / sizeof(kFixedKindSizes[0]) ? kFixedKindSizes[kind] : 0;
}

uint16_t SymbolTypeCodeToDVPTypeCode(uint16_t symbolCode) {
  for (const TypeCodeRow& row : kTypeCodeMap) {
    if (row.symbolCode != SymbolTypeCode::kNone && row.symbolCode == symbolCode) {
      return static_cast<uint16_t>(row.dvpCode);
    }
  }
  return 0;
}

uint16_t DVPTypeCodeToSymbolTypeCode(uint16_t dvpCode) {
  for (const TypeCodeRow& row : kTypeCodeMap) {
    if (row.symbolCode != SymbolTypeCode::kNone && row.dvpCode == dvpCode) {
      return static_cast<uint16_t>(row.symbolCode);
    }
  }
  return 0;
}

bool HasSymbolTypeCode(const DVPTypeInfo& type) {
  return type.Code() >= 0 && type.Code() <= 0xFFFF &&
         DVPTypeCodeToSymbolTypeCode(static_cast<uint16_t>(type.Code())) != 0;
}

}  // namespace zentor
