#pragma once
// The bridge from the command grammar to the rest of the debugger. Every action
// symbol An of the grammar names slot n of the ActionTable (213 slots), and each slot
// holds one semantic routine: no arguments, no result; it works on the ValueStack
// and the current token. The parser calls the routine at parse time or records a call
// of it into the postfix code, which the executor runs later.
//
// Recorded calls name routines by id in the RoutineRegistry, never by address: the
// same code runs on 64-bit Linux and 32-bit Windows and a 32-bit operand cannot hold a
// pointer. The registry holds the table's routines and every routine the code
// emitters call directly (the expression code generator, the subcode push), each with
// a name that code dumps print.
//
// The table starts with the routines of the command language that exist bound to
// their slots; every other slot holds a routine that raises the internal-consistency
// error until the module that owns the slot's operation binds it at start-up with
// ActionTable::Bind. Start-up binds all 213.

#include "console/routine_registry.h"

#include <cstdint>

namespace zentor {

class ActionTable {
 public:
  static constexpr uint16_t kSlotCount = 213;

  // Slots the parser turns into instructions of their own instead of calls; their
  // routines do nothing.
  static constexpr uint16_t kSlotMarkStart = 67;
  static constexpr uint16_t kSlotMarkEnd = 70;
  static constexpr uint16_t kSlotSubcode = 141;
  static constexpr uint16_t kSlotEmitString = 202;
  static constexpr uint16_t kSlotRunAtOnce = 210;
  static constexpr uint16_t kSlotNestingOut = 211;
  static constexpr uint16_t kSlotNestingIn = 212;

  // The routine id of a slot; a slot outside 0..212 is an internal error.
  static RoutineId RoutineIdOf(uint16_t slot);
  static const char* RoutineNameOf(uint16_t slot);
  // Calls a slot's routine now (through the registry).
  static void Run(uint16_t slot);

  // Binds `routine` to a slot, registering it under `name`; the slot's earlier
  // routine is forgotten. Used by every module for the slots it owns.
  static void Bind(uint16_t slot, ActionRoutine routine, const char* name);
  // Gives the slot back its unbound routine.
  static void Unbind(uint16_t slot);
  // False while the slot holds its unbound routine.
  static bool IsAvailable(uint16_t slot);
  // What the slot serves ("The go command").
  static const char* ServedBy(uint16_t slot);
  // The routine name the slot is known by ("GoCommand").
  static const char* DefaultRoutineName(uint16_t slot);

  // Every slot back to the bindings the table starts with (tests that bind fakes).
  static void ResetToDefaults();
};

// The routine a slot holds until its owner binds it: the internal-consistency error.
void RaiseUnboundAction();

// The routine of the marker slots (202, 210, 141, 212, 211, 67, 70): nothing. The
// parser recognises these slots by number and emits their instructions instead.
void ParserMarkerRoutine();

// The routine of slots that stand in the grammar with nothing to do (124, 127).
void DoNothingAction();

// The address-context flag: on while an "_AC_" text is parsed (slots 115 set and
// 113 clear it); the expression code generator reads it.
void SetAddressContext();
void ClearAddressContext();
bool IsAddressContext();

}  // namespace zentor
