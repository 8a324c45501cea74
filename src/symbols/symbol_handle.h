#pragma once
// The one way the rest of the debugger works with symbols: the engine's inspector,
// watch and locals views, the call-stack view, the address's symbolic text and the
// command handlers that print, evaluate and assign symbols. A handle shares one
// symbol object (symbol_object.h) with other handles through its use count; every
// operation forwards to the object. Handles are made at an address, from a record,
// from an expression text or as a member of another handle, and never throw on a
// symbol-table condition: test IsValid (or read Status) before anything else.

#include <cstdint>

#include "symbols/symbol_object.h"

#include "core/address_descriptor.h"
#include "core/dv_error_code.h"
#include "core/unsigned_int64.h"
#include "support/rw_cstring.h"

namespace zentor {

class SymbolContext;

class SymbolHandle {
 public:
  // No object (not valid).
  SymbolHandle() = default;
  SymbolHandle(const SymbolHandle& other);
  SymbolHandle& operator=(const SymbolHandle& other);
  ~SymbolHandle();

  // Level 0 the program, 1 the module, 2 the procedure that holds the address, 3 the
  // symbol found there (what an address's symbolic text names).
  static SymbolHandle SymbolHandle_AtAddress(SymbolContext* context, const AddressDescriptor& address, uint32_t level);
  // From a description (null: the lookup's current entry).
  static SymbolHandle SymbolHandle_FromRecord(SymbolContext* context, const SymbolDescriptor* description,
                                              uint32_t level);
  static SymbolHandle SymbolHandle_FromExpression(SymbolContext* context, const char* text);
  static SymbolHandle SymbolHandle_Member(const SymbolHandle& parent, uint32_t index);

  bool IsValid() const { return m_object != nullptr && m_object->Status().IsOkay(); }
  DVErrorCode Status() const;
  // Fills the description; okay unless the type cannot be named.
  DVErrorCode TypeName(SymbolDescription& description) const;
  uint32_t TypeSize() const;
  RWCString FullName() const;
  RWCString AccessPathName() const;
  RWCString ShortName() const;
  RWCString QualifiedName() const;
  DVErrorCode Evaluate(uint16_t& kind, uint8_t* value) const;
  // Assigns a value of a value kind to the symbol.
  DVErrorCode AssignValue(uint16_t kind, const uint8_t* value) const;
  // The count of members, elements or characters (16-bit ones with the "unicode"
  // option); the raw count measures a 16-bit string at a pointer's target.
  uint32_t ReadValue() const;
  uint32_t ReadValueRaw() const;
  DVErrorCode GetAddress(AddressDescriptor& address) const;
  DVErrorCode StringValue(RWCString& text) const;

  // The object (null for a handle without one).
  SymbolObject* Object() const { return m_object; }

 private:
  explicit SymbolHandle(SymbolObject* object) : m_object(object) {}

  SymbolObject* m_object = nullptr;
};

}  // namespace zentor
