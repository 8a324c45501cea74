#pragma once
// The records that carry the answer of a symbol lookup. A lookup does not return an
// object: it leaves what it found (the target module, the current procedure with its
// scope, the current symbol with its location and type) in the SymbolEntry of the
// current location, and every next step of a name path works on that entry again.
// A SymbolDescriptor is the part of the entry that outlives the lookup: symbol
// objects keep one, and a symbol value on the value stack carries one as its image.

#include <cstdint>

#include "symbols/list_holders.h"
#include "symbols/symbol_records.h"
#include "symbols/vst_file.h"

#include "core/address_descriptor.h"
#include "core/unsigned_int64.h"

namespace zentor {

class ModuleDescriptor;

// Lookup modes (bits 0-3 of the flag word).
inline constexpr uint32_t kLookupNothing = 0;
inline constexpr uint32_t kLookupSymbol = 1;
inline constexpr uint32_t kLookupProcedure = 2;
inline constexpr uint32_t kLookupModeMask = 0x000F;
// The member search met recorded member offsets (loader format 20).
inline constexpr uint32_t kLookupRecordedOffsets = 0x4000;
// Location mode: module, line and symbol references push a plain one-element
// location instead of a value that spans the object. Survives the reset that begins a
// lookup.
inline constexpr uint32_t kLookupLocationMode = 0x8000;

// What a procedure record tells the lookup: its scope.
struct ScopeBlock {
  RecordHandle m_record;
  uint32_t m_recordType = kProcedureRecordType;
  RecordHandle m_parent;
  AddressDescriptor m_start;
  OrdinalValue m_length;
  uint32_t m_typeIndex = 0;
  OrdinalValue m_secondValue;
  SymbolKey m_name;
  uint16_t m_attribute = 0;
};

// What a symbol record tells the lookup, and what member selection, subscripts and
// dereferences made of it since.
struct SymbolBlock {
  RecordHandle m_record;
  AddressExtent m_location;
  // 1 when the symbol is static or its frame is active.
  uint32_t m_active = 0;
  uint32_t m_typeIndex = 0;
  // The name of the selected part (a field's name after member selection).
  SymbolKey m_name;
  // The name of the symbol record itself.
  SymbolKey m_baseName;
  // Bit offset inside the byte while a bit field is selected.
  uint16_t m_bitPosition = 0;
};

class SymbolDescriptor {
 public:
  // The value-stack image of a description (inside a symbol value item).
  static constexpr uint32_t kImageSize = 169;

  SymbolDescriptor() = default;

  uint32_t LookupMode() const { return m_flags & kLookupModeMask; }
  // Sets the mode, clearing the other mode bits.
  void SetLookupMode(uint32_t mode) { m_flags = (m_flags & ~kLookupModeMask) | (mode & kLookupModeMask); }
  bool HasTarget() const { return m_targetSet != 0; }
  bool HasScope() const { return m_scopeSet != 0; }
  bool HasSymbol() const { return m_symbolSet != 0; }
  // The target module: the module of that id in the current loader state, null when
  // none is set or the id names no module.
  ModuleDescriptor* Target() const;

  void WriteImage(uint8_t* image) const;
  static SymbolDescriptor ReadImage(const uint8_t* image);

  uint32_t m_flags = 0;
  uint32_t m_targetSet = 0;
  // The target module by its id in the loader state (0 none): descriptors are copied
  // into value-stack images and symbol objects, which must never hold a pointer into
  // a program that may have gone.
  uint32_t m_targetModuleId = 0;
  uint32_t m_scopeSet = 0;
  ScopeBlock m_scope;
  uint32_t m_symbolSet = 0;
  SymbolBlock m_symbol;
};

class SymbolEntry : public SymbolDescriptor {
 public:
  SymbolEntry() = default;
  // The description part is assigned, then the three trailing fields.
  SymbolEntry& operator=(const SymbolEntry& other) = default;
  SymbolEntry(const SymbolEntry& other) = default;

  const SymbolDescriptor& Descriptor() const { return *this; }
  SymbolDescriptor& Descriptor() { return *this; }

  // Array dimensions already applied.
  uint8_t m_subscriptCount = 0;
  // The member offset recorded by the member search (loader format 20).
  uint32_t m_fieldOffset = 0;
  // What the last successful lookup made current (procedure or symbol).
  RecordHandle m_currentRecord;
};

using SymbolEntryVector = EntryVector<SymbolEntry>;

// A location's frame dependence.
inline bool IsFrameRelative(const AddressExtent& location) {
  return (location.m_flags & (kLocationStackRelative | kLocationArgumentBlock)) != 0;
}
// Frame relative and not yet made absolute for a frame.
inline bool IsUnresolvedFrameRelative(const AddressExtent& location) {
  return IsFrameRelative(location) && (location.m_flags & (kLocationResolved | kLocationRegister)) == 0;
}

// Moves a symbol's address by a byte count: forward or back. A location that is not
// a memory address yet (frame relative, unresolved) moves its frame offset instead,
// so that the frame it is later resolved for sees the moved place; a register cannot
// move (internal-consistency error).
void AdvanceSymbolAddress(AddressExtent& location, const OrdinalValue& bytes);
void MoveSymbolAddressBack(AddressExtent& location, const OrdinalValue& bytes);

}  // namespace zentor
