#include "console/cleanup_stack.h"

#include <optional>
#include <string>
#include <vector>

#include "console/char_channel.h"
#include "console/command_device.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/memory_file.h"
#include "core/value_bytes.h"

namespace zentor {
namespace {

constexpr uint32_t kEntrySize = 4;

struct StackState {
  MemoryFileHandle file = kNullMemoryFile;
  uint32_t count = 0;
  ActionRoutine prelude = nullptr;
};

StackState& State() {
  static StackState state;
  return state;
}

MemoryFile& File() {
  CleanupStack::Create();
  return MemoryFileOf(State().file);
}

}  // namespace

void CleanupStack::Create() {
  StackState& state = State();
  if (state.file != kNullMemoryFile) return;
  ThrowIfMemoryFileError(CreateMemoryFile(0, 0, &state.file));
}

void CleanupStack::Clear() {
  File().Clear();
  State().count = 0;
}

void CleanupStack::Push(RoutineId routine) {
  MemoryFile& file = File();
  uint8_t bytes[kEntrySize];
  value_bytes::StoreU32(bytes, routine);
  ThrowIfMemoryFileError(file.Write(1, kEntrySize, bytes));
  ++State().count;
}

void CleanupStack::Push(ActionRoutine routine, const char* name) {
  RoutineId id = kNoRoutineId;
  if (name != nullptr) {
    id = RoutineRegistry::Register(routine, name);
  } else {
    id = RoutineRegistry::Find(routine);
    if (id == kNoRoutineId) id = RoutineRegistry::Register(routine, "undo routine");
  }
  Push(id);
}

void CleanupStack::Drop() {
  StackState& state = State();
  if (state.count == 0) return;
  MemoryFile& file = File();
  // The position is always just after the newest entry.
  ThrowIfMemoryFileError(file.Seek(file.Position() - kEntrySize));
  --state.count;
}

void CleanupStack::RunAll() {
  StackState& state = State();
  if (state.prelude != nullptr) state.prelude();
  HiService(kGuiPopCursor);
  if (CharChannel::IsCreated()) CharChannel::Clear();

  // Take the routines off the stack first: what they push or drop while they run
  // belongs to no walk.
  std::vector<RoutineId> pending;
  MemoryFile& file = File();
  while (state.count > 0) {
    --state.count;
    uint8_t bytes[kEntrySize];
    if (!file.ReadBack(kEntrySize, bytes).IsOkay()) break;
    pending.push_back(value_bytes::LoadU32(bytes));
  }
  state.count = 0;
  file.Clear();

  // The older routines still have their own states to undo: a routine that fails
  // does not stop them, and its error is reported once they have all run.
  std::optional<DVError> failure;
  for (const RoutineId routine : pending) {
    try {
      RoutineRegistry::Invoke(routine);
    } catch (const DVError& error) {
      if (!failure.has_value()) failure = error;
    }
  }
  Clear();
  if (failure.has_value()) failure->Report();
}

uint32_t CleanupStack::Count() { return State().count; }

void CleanupStack::SetRunAllPrelude(ActionRoutine prelude) { State().prelude = prelude; }

}  // namespace zentor
