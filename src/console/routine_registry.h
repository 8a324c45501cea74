#pragma once
// The routines that command code and the undo stack name by id: recorded calls name
// routines by id, never by address, so the same code runs on 64-bit Linux and 32-bit
// Windows and a 32-bit operand cannot hold a pointer. The registry holds the action
// table's routines, every routine the code emitters call directly and the undo
// routines of half-done commands, each with a name that code dumps print.

#include <cstdint>
#include <string_view>

namespace zentor {

using ActionRoutine = void (*)();
using RoutineId = uint32_t;
inline constexpr RoutineId kNoRoutineId = 0xFFFFFFFFu;

// "Attempt to execute bad postfix code." (INTERNAL ERROR).
inline constexpr uint32_t kMsgBadPostfixCode = 72;

class RoutineRegistry {
 public:
  // Registers a routine under a name and returns its id. The same routine under the
  // same name keeps its first id; under another name it gets a new id (so one routine
  // may stand in several slots and still be told apart by name). A null routine or
  // name is an internal error.
  static RoutineId Register(ActionRoutine routine, const char* name);
  // The first id of a routine; kNoRoutineId when it was never registered.
  static RoutineId Find(ActionRoutine routine);
  static RoutineId FindByName(std::string_view name);

  static bool IsValid(RoutineId id);
  // "<no routine>" for an id naming none.
  static const char* Name(RoutineId id);
  // Null for an id naming none.
  static ActionRoutine Routine(RoutineId id);
  static uint32_t Count();

  // Calls the routine of an id. An id naming no routine raises message 72 (INTERNAL
  // ERROR, display chosen at report): bad postfix code.
  static void Invoke(RoutineId id);
  // The id of the innermost routine running through Invoke; kNoRoutineId outside.
  static RoutineId Running();
};

}  // namespace zentor
