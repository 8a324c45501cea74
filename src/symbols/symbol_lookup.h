#pragma once
// Symbol lookup by name and the lookup state it works on. Every symbol question of a
// command, an expression or the engine is answered against the current SymbolEntry
// of the current viewpoint's location: a lookup leaves its answer there (the target
// module, the current procedure, the current symbol with type and location) and the
// next step of a name path (member, subscript, dereference, the push of a value)
// works on the entry again. Nested lookups save the entry on the location's stack and
// restore it when they end, also when a parse fails (through the CleanupStack).
//
// Operations that return a status (module and context searches) leave raising to the
// caller; the others raise a DVError, severity ERROR, with the name as argument.

#include <cstdint>
#include <vector>

#include "symbols/symbol_descriptor.h"
#include "symbols/vst_file.h"

#include "core/address_descriptor.h"
#include "core/dv_error_code.h"
#include "support/rw_cstring.h"

namespace zentor {

class ModuleDescriptor;
class SourceLocation;
struct AddressPair;

// Symbol-table messages of the lookups.
inline constexpr uint32_t kMsgInvalidSymbolRecordType = 303;
inline constexpr uint32_t kMsgDefaultModuleUnknown = 304;
inline constexpr uint32_t kMsgModuleUnknownForLocation = 305;
inline constexpr uint32_t kMsgCannotEvaluateLine = 315;
inline constexpr uint32_t kMsgEndOfSymbolList = 316;
inline constexpr uint32_t kMsgModuleAddressUnknown = 317;
inline constexpr uint32_t kMsgNotAnArray = 318;
inline constexpr uint32_t kMsgNotExecutableLine = 320;
inline constexpr uint32_t kMsgNotAPointer = 321;
inline constexpr uint32_t kMsgNotAnAggregate = 322;
inline constexpr uint32_t kMsgLinesNotLoaded = 323;
inline constexpr uint32_t kMsgNoProgramLoaded = 324;
inline constexpr uint32_t kMsgProgramSymbolsNotLoaded = 325;
inline constexpr uint32_t kMsgModuleSymbolsNotLoaded = 326;
inline constexpr uint32_t kMsgAggregateValue = 328;
inline constexpr uint32_t kMsgSymbolNotActive = 329;
inline constexpr uint32_t kMsgNotAFieldName = 330;
inline constexpr uint32_t kMsgNotAStructure = 331;
inline constexpr uint32_t kMsgSymbolTypeUnrecognized = 332;
inline constexpr uint32_t kMsgFieldOffsetUnknown = 333;
inline constexpr uint32_t kMsgModuleUnknown = 334;
inline constexpr uint32_t kMsgSymbolNotKnown = 335;
inline constexpr uint32_t kMsgIndexInvalid = 21;
// "Expression cannot be resolved to an address."
inline constexpr uint32_t kMsgNoAddressForSymbol = 153;

// The location of the current symbol context, whose entry the lookups use.
SourceLocation& LookupLocation();
SymbolEntry& CurrentEntry();

// ---- the lookup state
// Saves a copy of the current entry at the stack's depth and pushes the routine
// that restores it on the CleanupStack; the new depth.
uint16_t BeginNestedSymbolLookup();
// Restores the newest saved entry (when any); the depth.
uint16_t PopNestedSymbolLookup();
// Drops the restoring routine of the CleanupStack, then pops.
uint16_t EndNestedSymbolLookup();
// Forgets every saved entry.
void ResetSymbolStackDepth();
// Requires a loaded program (324); a nested begin; target, scope and symbol cleared;
// only the location-mode bit kept; subscript count and bit position 0.
void BeginSymbolLookup();
void EndSymbolLookup();
// Saves and restores the entry around a body like the nested pair, also when the
// body raises.
class NestedLookupScope {
 public:
  NestedLookupScope() { BeginNestedSymbolLookup(); }
  ~NestedLookupScope() {
    try {
      EndNestedSymbolLookup();
    } catch (...) {
    }
  }
  NestedLookupScope(const NestedLookupScope&) = delete;
  NestedLookupScope& operator=(const NestedLookupScope&) = delete;
};
// The same around BeginSymbolLookup (which may raise 324 before anything is saved).
class BracketedLookupScope {
 public:
  BracketedLookupScope() { BeginSymbolLookup(); }
  ~BracketedLookupScope() {
    try {
      EndSymbolLookup();
    } catch (...) {
    }
  }
  BracketedLookupScope(const BracketedLookupScope&) = delete;
  BracketedLookupScope& operator=(const BracketedLookupScope&) = delete;
};

// Null clears the target and the current symbol.
void SetLookupTarget(ModuleDescriptor* module);
// A procedure record becomes the current scope (none clears it); a record of another
// type raises 301.
void SetCurrentScopeRecord(RecordHandle record);
// A symbol record becomes the current symbol (none clears it): its type (or the
// type of a pending cast), names, location, and whether its frame is active.
void SetCurrentSymbolRecord(RecordHandle record);
// The current entry with the current record copied into the symbol block.
const SymbolEntry& CurrentSymbolEntry();
void SetCurrentSymbolDescriptor(const SymbolDescriptor& descriptor);
void SetStickyLookupFlag();
void ClearStickyLookupFlag();
// The name of what is current: the procedure in mode 2, the (selected) symbol in
// mode 1, else empty.
RWCString SymbolNameText();

// ---- frames
// The argument-block base of the current frame.
AddressDescriptor FrameArgumentBase();
// Makes a frame-relative location absolute for the selected frame (filled from the
// registers when none is selected) and tells whether the frame is active for the
// current scope. Static locations are active and stay as they are.
void ResolveFrameRelativeLocation(AddressExtent& location, uint32_t& active);
// The same for a frame the caller found (SelectedOrCurrentFrame): a search that
// resolves many locations finds the frame once.
void ResolveFrameRelativeLocation(AddressExtent& location, uint32_t& active, const AddressPair& frame);

// ---- modules
ModuleDescriptor* FindModuleByName(DVErrorCode& status, const RWCString& name);
// The module whose range holds the address (the location's current module first); a
// deferred module found is loaded first.
ModuleDescriptor* FindModuleAtAddress(const AddressDescriptor& address, DVErrorCode& status);
// The module of the scope address becomes the target (none clears it).
ModuleDescriptor* LookupModuleOfScope(DVErrorCode& status);
// The target, looked up from the scope when none is set; 305 is raised as 304.
ModuleDescriptor* RequireLookupModule();

// ---- names
void FindSymbolByName(const RWCString& name);
DVErrorCode FindSymbolInContext(const RWCString& name);
bool FindSymbolInScope(const RWCString& name, RecordHandle firstRecord);

// Member selection modes.
inline constexpr uint32_t kFieldOfStructure = 0;
inline constexpr uint32_t kFieldOfUnion = 1;
inline constexpr uint32_t kFieldOfAggregate = 0xAA;  // decided by the aggregate
void SelectStructureField(const RWCString& name, uint32_t mode);
void SubscriptSymbol(int32_t index);
void DereferenceSymbol();
// The 1-based ordinal of a member of the current symbol's aggregate type; the name of
// the member with a given ordinal (empty when there is none).
uint32_t FindFieldOrdinal(const RWCString& name, uint32_t mode);
OrdinalValue FieldOffset(uint32_t ordinal, uint32_t mode);
// Where each member of an aggregate type lies, in member order: its offset, type and
// (for a bit field) bit position. Empty for a type without members.
struct MemberPlace {
  OrdinalValue m_offset;
  uint32_t m_type = 0;
  uint16_t m_bitPosition = 0;
};
std::vector<MemberPlace> MemberPlaces(uint32_t aggregateTypeIndex, uint32_t mode);
// The place of member `ordinal` (1-based) alone, as MemberPlaces would give it; false
// when the type has fewer members.
bool MemberPlaceAt(uint32_t aggregateTypeIndex, uint32_t mode, uint32_t ordinal, MemberPlace& place);
RWCString MemberNameByOrdinal(uint32_t typeIndex, uint32_t ordinal);
// The name and the type of a union's member, from the one-member lists of its group.
SymbolKey UnionMemberName(uint32_t namesListIndex);
uint32_t UnionMemberType(uint32_t typesListIndex);
// The lower bound of an array type's index in a module.
int32_t ArrayLowerBound(uint32_t arrayTypeIndex, const ModuleDescriptor* module);

// ---- locations pushed on the value stack
void PushModuleLocation();
void PushLineLocation(int32_t line);

// The pointee type index of a pointer type entry (format 20: its reference; other
// formats: the reference of the entry it refers to).
uint32_t PointeeTypeIndex(const TypeEntryView& pointer);

}  // namespace zentor
