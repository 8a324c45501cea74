#pragma once
// The debugger's own type codes. Every value the debugger handles is described by a
// small code of its own (DVPType, 0..44), independent of the symbol-file format and of
// the target. TypeCodeMap relates those codes to the symbol tables' type codes and to
// the target interface's type ids; DVPTypeInfo is the type object the value model
// passes around (conversions between the numberings, byte size, display width).
//
// The value stack's item kinds share the number space: 0..24 and 34..42 are DVPType
// codes, 25..33 and a few codes above 0xFFF0 are the stack's own (value_stack.h).

#include <cstdint>

#include "core/target_status.h"

namespace zentor {

// Value kinds: DVPType codes and the value stack's own item kinds.
inline constexpr uint16_t kKindNone = 0;
inline constexpr uint16_t kKindCode1 = 1;  // symbol-table code 1, read as "ord4"
inline constexpr uint16_t kKindBool1 = 2;
inline constexpr uint16_t kKindBool2 = 3;
inline constexpr uint16_t kKindBool4 = 4;
inline constexpr uint16_t kKindBool8 = 5;
inline constexpr uint16_t kKindChar = 6;
inline constexpr uint16_t kKindPacked = 7;  // 10-byte packed decimal
inline constexpr uint16_t kKindOrd1 = 8;
inline constexpr uint16_t kKindOrd2 = 9;
inline constexpr uint16_t kKindOrd4 = 10;
inline constexpr uint16_t kKindOrd8 = 11;
inline constexpr uint16_t kKindOrd10 = 12;
inline constexpr uint16_t kKindOrd12 = 13;
inline constexpr uint16_t kKindOrd16 = 14;
inline constexpr uint16_t kKindInt1 = 15;
inline constexpr uint16_t kKindInt2 = 16;
inline constexpr uint16_t kKindInt4 = 17;
inline constexpr uint16_t kKindInt8 = 18;
inline constexpr uint16_t kKindReal4 = 19;
inline constexpr uint16_t kKindReal8 = 20;
inline constexpr uint16_t kKindReal10 = 21;
inline constexpr uint16_t kKindNString = 22;  // NUL-terminated
inline constexpr uint16_t kKindLString = 23;  // length byte, then the characters
inline constexpr uint16_t kKindOffset = 24;   // offset type; pointer arithmetic on it is unscaled
inline constexpr uint16_t kKindPointerLocation = 25;
inline constexpr uint16_t kKindSymbolValue = 26;
inline constexpr uint16_t kKindTypedLocation = 27;
inline constexpr uint16_t kKindOrdinal = 28;  // OrdinalValue: lengths, offsets
inline constexpr uint16_t kKindInactiveSymbol = 29;
inline constexpr uint16_t kKindRoutine = 30;
inline constexpr uint16_t kKindReserved31 = 31;
inline constexpr uint16_t kKindReserved32 = 32;
inline constexpr uint16_t kKindMarker = 33;
inline constexpr uint16_t kKindFirstTarget = 34;         // target pointer ("pointer", id 20)
inline constexpr uint16_t kKindLastTargetAddress = 41;   // target register ("register", id 27)
inline constexpr uint16_t kKindAddressOffset = 42;       // size of an address offset (id 19)
inline constexpr uint16_t kKindLastCode = 44;
inline constexpr uint16_t kKindAddressRange = 0xFFFC;
inline constexpr uint16_t kKindUnresolvedName = 0xFFFD;
inline constexpr uint16_t kKindEmpty = 0xFFFF;  // top kind of an empty stack

inline constexpr bool IsTargetAddressKind(uint32_t kind) {
  return kind >= kKindFirstTarget && kind <= kKindLastTargetAddress;
}
inline constexpr bool IsTargetDefinedKind(uint32_t kind) {
  return kind >= kKindFirstTarget && kind <= kKindAddressOffset;
}

// Target type ids of the target interface's address records.
inline constexpr uint32_t kTargetTypePointer = 20;
inline constexpr uint32_t kTargetTypeRegister = 27;
// The type table that sizes and names target-defined types: an installed table when
// there is one, else the one in the connected target's kept description, else the
// table of the target interface this debugger is built with (ids 19 and 20 four
// bytes, 21..26 none, 27 four bytes). Rows end with id 28.
void InstallTargetTypeTable(const TargetTypeRow* rows);
const TargetTypeRow* CurrentTargetTypeTable();

// A symbol-table type code; -1 means none.
class SymbolTypeCode {
 public:
  static constexpr int32_t kNone = -1;
  constexpr explicit SymbolTypeCode(int32_t code) : m_code(code) {}
  constexpr int32_t Value() const { return m_code; }

 private:
  int32_t m_code;
};

// A DVPType code, always within 0..44.
class DVPType {
 public:
  // Anything outside 0..44 is an internal error.
  explicit DVPType(int32_t code);
  int32_t Code() const { return m_code; }
  bool operator==(int32_t code) const { return m_code == code; }
  bool operator!=(int32_t code) const { return m_code != code; }

 private:
  int32_t m_code;
};

// The type object of the value model: one DVPType code (0 = no type).
class DVPTypeInfo {
 public:
  constexpr DVPTypeInfo() = default;
  DVPTypeInfo(const DVPType& type) : m_code(type.Code()) {}  // NOLINT: a type is a type object
  // Through the map; a code the map does not know is an internal error.
  explicit DVPTypeInfo(SymbolTypeCode code);
  // A code that is known to be valid (range-checked like DVPType).
  static DVPTypeInfo FromCode(int32_t code) { return DVPTypeInfo(DVPType(code)); }
  // The first map row with that target type id; an unknown id is an internal error.
  static DVPTypeInfo FromTargetTypeId(uint32_t targetTypeId);

  DVPTypeInfo& operator=(const DVPType& type) {
    m_code = type.Code();
    return *this;
  }
  DVPTypeInfo& operator=(SymbolTypeCode code) { return *this = DVPTypeInfo(code); }

  DVPType GetDVPType() const { return DVPType(m_code); }
  int32_t Code() const { return m_code; }
  bool IsNone() const { return m_code == 0; }
  bool operator==(const DVPTypeInfo& other) const { return m_code == other.m_code; }
  bool operator!=(const DVPTypeInfo& other) const { return m_code != other.m_code; }

  // The target type id of the first map row with this code; 0 when there is none.
  uint32_t TargetTypeId() const;
  // Byte size: from the target's type table for 34..42, else the fixed kind size.
  uint32_t Size() const;
  // Characters a value of a target-defined type takes in `base` (2, 10, other).
  uint32_t DisplayWidth(uint32_t base) const;
  // The target's name of a target-defined type.
  const char* TargetAttribute() const;

 private:
  int32_t m_code = 0;
};

// Byte size of a value kind: 0..33 from the fixed sizes (the two strings and the
// offset type count one byte; the stack sizes strings by their text), 34..42 from the
// target's type table, 0 for every other kind (0xFFFC and 0xFFFD items are pushed
// with their size).
uint16_t GetValueKindSize(uint32_t kind);

// The symbol-table code map as the value stack uses it (16-bit codes, no row for the
// "none" symbol code): 0 when there is no row.
uint16_t SymbolTypeCodeToDVPTypeCode(uint16_t symbolCode);
uint16_t DVPTypeCodeToSymbolTypeCode(uint16_t dvpCode);
// True when the type's code stands in the map's DVPType column (with a symbol code).
bool HasSymbolTypeCode(const DVPTypeInfo& type);

}  // namespace zentor
