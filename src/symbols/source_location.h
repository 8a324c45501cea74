#pragma once
// The place in the program that one symbol context looks at: where the program
// stopped, the location shown (address, module, procedure, line), the scope against
// which names are resolved, and whether the user is browsing (line mode) or looking at
// the stop (address mode). It also owns the context's search path and carries the
// work state of the symbol lookups: the current lookup entry with the stack of entries
// saved by nested lookups, and the type-name lookup state of the expression scanner.
// The SymbolContext moves the location; the status line, the source pane and the
// lookups read it.

#include <cstdint>
#include <string_view>
#include <vector>

#include "symbols/search_path.h"
#include "symbols/symbol_descriptor.h"
#include "symbols/type_lookup.h"
#include "symbols/vst_file.h"

#include "core/address_descriptor.h"
#include "core/dv_error_code.h"
#include "core/unsigned_int64.h"
#include "support/rw_cstring.h"

namespace zentor {

class DisplayInteger;
class ModuleDescriptor;

// An integer as the display writes it, in the current number base; an offset as an
// address-sized number the same way.
RWCString DisplayIntegerText(const DisplayInteger& value);
RWCString AddressOffsetText(const OrdinalValue& offset);

// The location being shown.
struct LocationRecord {
  AddressDescriptor m_address;
  RecordHandle m_record;
  // The module whose address ranges hold the address; null when none does. Owned by
  // the loaded program's module collection.
  ModuleDescriptor* m_module = nullptr;
  RWCString m_moduleName;
  RWCString m_procedureName;
  // The range for which the procedure name holds (both null when cleared).
  AddressDescriptor m_procedureFirst;
  AddressDescriptor m_procedureLast;
  // Absent when the address has no line; then m_offset is the address's distance from
  // the start of its address space, else its distance from the line's first address.
  OptionalLine m_line;
  OrdinalValue m_offset;
};

class SourceLocation {
 public:
  // Line mode: the user browses; address mode: the location is where the program
  // stopped.
  static constexpr uint32_t kLineMode = 0;
  static constexpr uint32_t kAddressMode = 1;

  // An empty search path, status 0, every address null, line mode.
  SourceLocation();
  ~SourceLocation();
  SourceLocation(const SourceLocation&) = delete;
  SourceLocation& operator=(const SourceLocation&) = delete;

  SearchPath& Path() { return m_searchPath; }
  const SearchPath& Path() const { return m_searchPath; }
  DVErrorCode Status() const { return m_status; }
  void SetStatus(DVErrorCode status) { m_status = status; }

  const AddressDescriptor& CurrentExecutionAddress() const { return m_executionAddress; }
  const LocationRecord& Location() const { return m_location; }
  LocationRecord& Location() { return m_location; }
  uint32_t Mode() const { return m_mode; }
  // The address last made current by SymbolContext::SetCurrentAddress.
  const AddressDescriptor& LocationAddress() const { return m_locationAddress; }
  const AddressDescriptor& ScopeAddress() const { return m_scopeAddress; }
  const AddressDescriptor& SavedScopeAddress() const { return m_savedScopeAddress; }

  // "Mod: " and the module name; "  Proc: " and the procedure name when there is
  // one; then "  Address: " and the address's text when the line is absent, or
  // "  Line: #" and the line in decimal, with " + " and the offset (an address-sized
  // number in the display base) when the offset is not 0.
  RWCString LocationText() const { return LocationText(std::string_view()); }
  // The same text after `prefix` (a caption's), made in one piece.
  RWCString LocationText(std::string_view prefix) const;

  // The lookups' current entry, the entries saved by nested lookups (the vector only
  // grows; entries above the depth are kept to be overwritten) and the depth.
  SymbolEntry& Entry() { return m_entry; }
  const SymbolEntry& Entry() const { return m_entry; }
  std::vector<SymbolEntry>& LookupStack() { return m_lookupStack; }
  uint32_t LookupDepth() const { return m_lookupDepth; }
  void SetLookupDepth(uint32_t depth) { m_lookupDepth = depth; }
  // The expression scanner's type-name consultation.
  TypeLookupState& TypeLookup() { return m_typeLookup; }

 private:
  friend class SymbolContext;

  SymbolEntry m_entry;
  TypeLookupState m_typeLookup;
  SearchPath m_searchPath;
  DVErrorCode m_status;
  AddressDescriptor m_executionAddress;
  LocationRecord m_location;
  uint32_t m_mode = kLineMode;
  AddressDescriptor m_locationAddress;
  AddressDescriptor m_scopeAddress;
  AddressDescriptor m_savedScopeAddress;
  std::vector<SymbolEntry> m_lookupStack;
  uint32_t m_lookupDepth = 0;
};

}  // namespace zentor
