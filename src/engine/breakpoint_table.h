#pragma once
// The host's own table of the user's breakpoints, conditional breakpoints and
// passpoints. Every change is made in the target first (its breakpoint operation);
// only when the target accepts it is the host record written. The listings, the saved
// sets, the dialogs, the source pane's marks and the stop report read the table.
//
// Three vectors, one per kind; a kind's slot number is the index in its vector.
// Valid explicit slots are 0 to 57; a freed slot keeps its place and is reused.

#include <cstdint>

#include "command/grammar_object.h"
#include "core/address_descriptor.h"
#include "core/message_table.h"
#include "core/typed_location.h"
#include "support/rw_cstring.h"
#include "support/rw_tval_vector.h"
#include "target/breakpoint_slots.h"

namespace zentor {

struct BreakpointDialogEntry;

// Kinds of breakpoint record.
inline constexpr uint32_t kBreakKind = 0;
inline constexpr uint32_t kConditionalBreakKind = 1;
inline constexpr uint32_t kPasspointKind = 2;
inline constexpr uint32_t kBreakpointKindCount = 3;
// Slots 0..57 of each kind; arrays of slot numbers hold this many.
inline constexpr int32_t kBreakpointSlotLimit = 58;
// The software breakpoint's access word.
inline constexpr uint32_t kSoftwareAccess = 7;

// Messages of the breakpoint table (besides kMsgInvalidInternalCase).
inline constexpr uint32_t kMsgInvalidIndex = 21;
inline constexpr uint32_t kMsgTooManyBreakpoints = 22;
inline constexpr uint32_t kMsgAddressAlreadyDefined = 26;

// One breakpoint, conditional breakpoint or passpoint, held by value in the vectors.
// Two records are equal when their identities are; nothing else is compared.
struct BreakpointRecord {
  uint32_t m_inUse = 0;
  uint32_t m_identity = 0;  // the target's breakpoint number
  uint32_t m_kind = 0;
  uint32_t m_type = 0;    // 0 software, 1 debug register, 2 task switch
  uint32_t m_access = 0;  // type 0: 7; type 1: 0 execute, 1 write, 2 access, 3 I/O; type 2: 4 or 5
  uint16_t m_length = 0;  // bytes watched
  uint32_t m_enabled = 0;
  uint32_t m_viewpointOnly = 0;
  AddressDescriptor m_address;
  uint32_t m_viewpoint = 0;
  RWCString m_text;  // the symbolic text of the address when it was set
  GrammarObject m_expression;  // condition, passpoint action, or empty
  int32_t m_slot = -1;

  bool operator==(const BreakpointRecord& other) const { return m_identity == other.m_identity; }
  uint32_t TypeWord() const { return m_type; }
  uint32_t EnabledWord() const { return m_enabled; }

  // "br[n]", "cb[n]" or "pp[n]"; another kind raises 2.
  RWCString Name() const;
  // The access name of the record's type and access ("hw", "wr", "acc"), or "".
  RWCString TypeName() const;
  // The expression's text strictly between its first "(" and its last ")".
  RWCString ConditionText() const;
  // 0 without code; else runs the expression in the current scope (its failure is
  // thrown), stores the result and returns 1.
  uint32_t EvaluateExpression(uint16_t* resultKind, uint8_t* value);
  bool AppliesToCurrentViewpoint() const;
  bool IsCodeBreakpoint() const;
  bool MatchesRequest(const BreakpointRequest& request) const;
  // The listing line: name "=" text, the condition, the type name, " <disabled>".
  void PrintLine() const;
  void FillDialogEntry(BreakpointDialogEntry* entry) const;
};

using BreakpointVector = RWTValOrderedVector<BreakpointRecord>;

class BreakpointTable {
 public:
  BreakpointTable();

  // The program's one table.
  static BreakpointTable& Instance();
  // Back to its state at start-up (tests).
  void Reset();

  int32_t Set(int32_t slot, uint32_t kind, uint32_t type, uint32_t access, const TypedLocation& location,
              const GrammarObject& expression, uint32_t enabled, uint32_t viewpointOnly);
  int32_t SetFromSourcePane(uint32_t kind, uint32_t type, const TypedLocation& location, uint32_t viewpointOnly);
  void Delete(int32_t slot, uint32_t kind);
  void Enable(int32_t slot, uint32_t kind);
  void Disable(int32_t slot, uint32_t kind);
  void ClearAll();
  // The current viewpoint's records dropped without a word to the target: for a
  // viewpoint that has gone, whose target refused to clear them.
  void ForgetCurrentViewpoint();
  void EnableAll();
  void DisableAll();
  void DeleteAtAddress(const AddressDescriptor& address);
  void DeleteAtAddressOfType(const AddressDescriptor& address, uint32_t type);

  BreakpointRecord Get(int32_t slot, uint32_t kind);
  BreakpointRecord FindByIdentity(uint32_t identity);
  // (slot, kind) of the record with the identity; slot -1 when none.
  void LocateByIdentity(uint32_t identity, int32_t* slot, uint32_t* kind);
  uint32_t SlotsOfKind(uint32_t kind, int32_t* slots);
  uint32_t CountForCurrentViewpoint();
  void CollectForCurrentViewpoint(BreakpointVector* records);
  uint32_t Next(BreakpointRecord* record);
  uint32_t NextAtAddress(const AddressDescriptor& address, BreakpointRecord* record);
  void ResetCursors();
  // The three rows of the target's breakpoint types.
  void CopyTypeTable(BreakpointTypeRow* rows) const;

  // Lists one slot, or every record of the kind of the current viewpoint under the
  // header (none: no header).
  void List(int32_t slot, uint32_t kind, const char* header);

  BreakpointVector& VectorOfKind(uint32_t kind);

 private:
  // One request carrying only the operation and the identity; failure thrown.
  void TargetOperation(uint32_t operation, uint32_t identity);
  void ChangeOne(int32_t slot, uint32_t kind, uint32_t operation);
  void ApplyToAll(uint32_t operation);
  // The engine's side of ApplyToAll.
  void ApplyToAllRecords(uint32_t operation);
  BreakpointRecord& CheckedRecord(int32_t slot, uint32_t kind);

  BreakpointVector m_vectors[kBreakpointKindCount];
  int32_t m_cursors[kBreakpointKindCount] = {0, 0, 0};
};

// The kind a keyword subcode names: "br" 1 break, "pp" 2 passpoint, "cb" 3
// conditional break.
uint32_t BreakpointKindFromCode(uint32_t code);

// The target's breakpoint types (from its description); null before there is one.
const BreakpointTypeRow* BreakpointTypeTable();

// A failing status of the target as the engine raises it.
void RaiseIfTargetFailed(const TargetStatus& status);

}  // namespace zentor
