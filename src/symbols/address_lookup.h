#pragma once
// Symbol lookup by address, the reverse question of lookup by name: which module,
// procedure, variable or label lies at a target address, at which offset, on which
// source line. The answers land in the current lookup entry (target module, scope,
// symbol) and in the four texts of AddressNames, which symbol objects keep; the line
// of an address is told by AddressLineInfo and its text.

#include <cstdint>

#include "symbols/vst_file.h"

#include "core/address_descriptor.h"
#include "core/dv_error_code.h"
#include "core/unsigned_int64.h"
#include "support/rw_cstring.h"

namespace zentor {

class ModuleDescriptor;

// The names of what lies at an address: module, nested procedure path, variable (with
// its member path; for code, the line number) and label.
struct AddressNames {
  RWCString m_module;
  RWCString m_procedure;
  RWCString m_variable;
  RWCString m_label;
};

// The distance from a location up to an address: 0 when equal, the difference when
// the location is below, the largest distance when above or not comparable.
OrdinalValue DistanceTo(const AddressDescriptor& location, const AddressDescriptor& address);

// The nearest symbol at or below an address (in a bracketed lookup): names, the
// distance (offset), the offset of the address from its line's start (procedure
// information) and whether it is code.
void FindSymbolAtAddress(DVErrorCode& status, const AddressDescriptor& address, AddressNames& names,
                         OrdinalValue& offset, OrdinalValue& procedureInfo, uint32_t& isCode);
// What the nearest-symbol search answers, in one record.
struct AddressAnswer {
  DVErrorCode m_status;
  AddressNames m_names;
  OrdinalValue m_offset;
  OrdinalValue m_procedureInfo;
  uint32_t m_isCode = 0;
};
// FindSymbolAtAddress with its answers in one record (in a bracketed lookup).
AddressAnswer SymbolAtAddress(const AddressDescriptor& address);
// The procedure that holds an address (the outermost of nested ones), or in the
// global list the nearest code symbol below it.
void FindProcedureAtAddress(DVErrorCode& status, const AddressDescriptor& address, AddressNames& names,
                            OrdinalValue& offset, OrdinalValue& procedureInfo);
// Whether a procedure record holds the address; when it does it becomes the scope
// and the names and offset say so.
bool ProcedureHoldsAddress(RecordHandle procedure, const ModuleDescriptor& module, const AddressDescriptor& address,
                           AddressNames& names, OrdinalValue& offset);
// The nearest label at or below an address in its module.
void FindNearestLabel(DVErrorCode& status, const AddressDescriptor& address, AddressNames& names,
                      OrdinalValue& labelInfo);
// The names of a symbol found at an address.
void FillAddressNames(bool globalPass, const RWCString& moduleName, RecordHandle procedure, RecordHandle symbol,
                      AddressNames& names);
// The line number of an address into the variable slot and its offset from the
// line's start; 323 for an address of a module without its lines.
void AddressLineText(DVErrorCode& status, const AddressDescriptor& address, AddressNames& names,
                     OrdinalValue& procedureInfo);

// The member path of an offset inside a value of a type: "[index]" per array level,
// ".member" per aggregate level; the offset left inside the last part.
void AppendMemberPath(const ModuleDescriptor* module, RWCString& text, OrdinalValue& offset, uint32_t typeIndex);
// The names of the procedures that enclose a record (itself included when it is a
// procedure), outermost first, joined by ".", appended to `text`: with `leadingDot`
// a "." before the first name; with `trailingDot` a "." after them when a name was
// written or `trailingOnlyIfEmpty` is false.
void ProcedurePathText(RecordHandle procedure, bool leadingDot, bool trailingDot, bool trailingOnlyIfEmpty,
                       RWCString& text);

// The line of one address: the module that holds it (or the one given), the line,
// the address's offset from the line's first address (from the module's start when no
// line holds it) and whether a line was found.
class AddressLineInfo {
 public:
  AddressLineInfo() = default;
  AddressLineInfo(const AddressDescriptor& address, ModuleDescriptor* module);

  const AddressDescriptor& Address() const { return m_address; }
  const SymbolKey& ModuleKey() const { return m_moduleKey; }
  const RWCString& ModuleName() const { return m_moduleName; }
  const OptionalLine& Line() const { return m_line; }
  const OrdinalValue& Offset() const { return m_offset; }
  const OrdinalValue& SecondOffset() const { return m_secondOffset; }
  bool IsFound() const { return m_found != 0; }
  // The line number, -1 without one.
  int32_t LineValue() const { return m_line.Get(); }
  // The address moved back to its line's start (the address when no line was found).
  AddressDescriptor LineStart() const;

 private:
  AddressDescriptor m_address;
  SymbolKey m_moduleKey;
  RWCString m_moduleName;
  OptionalLine m_line;
  OrdinalValue m_offset;
  OrdinalValue m_secondOffset;
  uint32_t m_found = 0;
};

// "MODULE:#line + offset" (the line and offset parts when there are), or the address's
// text without module information.
RWCString LineInfoText(const AddressLineInfo& info);

}  // namespace zentor
