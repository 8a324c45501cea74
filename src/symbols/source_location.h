#pragma once
// The place in the program that one symbol context looks at: where the program
// stopped, the location shown (address, module, procedure, line), the scope against
// which names are resolved, and whether the user is browsing (line mode) or looking at
// the stop (address mode). It also owns the context's search path and carries the
// per-location work state of the symbol lookups, which those lookups attach to it.
// The SymbolContext moves the location; the status line, the source pane and the
// lookups read it.

#include <cstdint>
#include <memory>

#include "symbols/search_path.h"
#include "symbols/vst_file.h"

#include "core/address_descriptor.h"
#include "core/dv_error_code.h"
#include "core/unsigned_int64.h"
#include "support/rw_cstring.h"

namespace zentor {

class ModuleDescriptor;

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

// Work state that a part of the symbol tables keeps per location (the lookup entry
// and its nested stack, the type-name lookup state). The location owns it and
// destroys it with itself; the owner part creates it on first use.
class LocationAttachment {
 public:
  virtual ~LocationAttachment() = default;
};

enum class LocationSlot : uint32_t { SymbolLookup = 0, TypeNameLookup = 1 };
inline constexpr uint32_t kLocationSlotCount = 2;

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
  RWCString LocationText() const;

  // The attached work state of a slot, null until one is attached.
  LocationAttachment* Attachment(LocationSlot slot) const;
  // Attaches (replacing and destroying any earlier one).
  void Attach(LocationSlot slot, std::unique_ptr<LocationAttachment> attachment);

 private:
  friend class SymbolContext;

  SearchPath m_searchPath;
  DVErrorCode m_status;
  AddressDescriptor m_executionAddress;
  LocationRecord m_location;
  uint32_t m_mode = kLineMode;
  AddressDescriptor m_locationAddress;
  AddressDescriptor m_scopeAddress;
  AddressDescriptor m_savedScopeAddress;
  std::unique_ptr<LocationAttachment> m_attachments[kLocationSlotCount];
};

// The work state of `slot` as a T, made on first use. A slot holding another type is
// an internal-consistency error.
template <typename T>
T& AttachmentOf(SourceLocation& location, LocationSlot slot);

[[noreturn]] void RaiseAttachmentMismatch();

template <typename T>
T& AttachmentOf(SourceLocation& location, LocationSlot slot) {
  LocationAttachment* existing = location.Attachment(slot);
  if (existing == nullptr) {
    auto made = std::make_unique<T>();
    T& result = *made;
    location.Attach(slot, std::move(made));
    return result;
  }
  T* typed = dynamic_cast<T*>(existing);
  if (typed == nullptr) RaiseAttachmentMismatch();
  return *typed;
}

}  // namespace zentor
