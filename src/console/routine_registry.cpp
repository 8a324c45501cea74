#include "console/routine_registry.h"

#include "core/dv_error.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace zentor {
namespace {

struct RegistryEntry {
  ActionRoutine routine;
  std::string name;
};

// Constant-initialised (so Invoke, which every call of command code passes, reaches it
// without a guard) and therefore destroyed after every object made at start-up.
constinit std::vector<RegistryEntry> g_entries;

std::vector<RegistryEntry>& Entries() { return g_entries; }

// Every start-up registers its several hundred routines again, and code generation
// registers each routine it calls: the ids of each routine, so that neither walks the
// whole list (nor makes a string) to find the id it had.
std::unordered_map<ActionRoutine, std::vector<RoutineId>>& IdsOfRoutine() {
  static std::unordered_map<ActionRoutine, std::vector<RoutineId>> ids;
  return ids;
}

RoutineId g_running = kNoRoutineId;

}  // namespace

RoutineId RoutineRegistry::Register(ActionRoutine routine, const char* name) {
  if (routine == nullptr || name == nullptr) ZENTOR_INTERNAL_ERROR();
  std::vector<RegistryEntry>& entries = Entries();
  std::vector<RoutineId>& ids = IdsOfRoutine()[routine];
  for (RoutineId id : ids) {
    if (entries[id].name == name) return id;
  }
  ids.push_back(static_cast<RoutineId>(entries.size()));
  entries.push_back(RegistryEntry{routine, name});
  return ids.back();
}

RoutineId RoutineRegistry::Find(ActionRoutine routine) {
  const std::vector<RegistryEntry>& entries = Entries();
  for (size_t id = 0; id < entries.size(); ++id) {
    if (entries[id].routine == routine) return static_cast<RoutineId>(id);
  }
  return kNoRoutineId;
}

RoutineId RoutineRegistry::FindByName(std::string_view name) {
  const std::vector<RegistryEntry>& entries = Entries();
  for (size_t id = 0; id < entries.size(); ++id) {
    if (entries[id].name == name) return static_cast<RoutineId>(id);
  }
  return kNoRoutineId;
}

bool RoutineRegistry::IsValid(RoutineId id) { return id < Entries().size(); }

const char* RoutineRegistry::Name(RoutineId id) {
  return IsValid(id) ? Entries()[id].name.c_str() : "<no routine>";
}

ActionRoutine RoutineRegistry::Routine(RoutineId id) { return IsValid(id) ? Entries()[id].routine : nullptr; }

uint32_t RoutineRegistry::Count() { return static_cast<uint32_t>(Entries().size()); }

void RoutineRegistry::Invoke(RoutineId id) {
  if (!IsValid(id)) throw DVError(kMsgBadPostfixCode, kSeverityInternal);
  const ActionRoutine routine = Entries()[id].routine;
  // The running id is put back however the routine ends, so a routine that raises
  // does not leave a stale id for the next one.
  struct RunningScope {
    RoutineId saved;
    explicit RunningScope(RoutineId now) : saved(g_running) { g_running = now; }
    ~RunningScope() { g_running = saved; }
  } scope(id);
  routine();
}

RoutineId RoutineRegistry::Running() { return g_running; }

}  // namespace zentor
