#pragma once
// The settings store as the engine uses it for its named breakpoint and watch sets:
// records of a kind under a name, with a description and their data. The GUI
// provides the store (DialogDescriptionFile) and installs it at start-up; until then
// every operation fails (a negative code) and no set is listed.

#include <cstdint>

#include "support/rw_cstring.h"

namespace zentor {

struct NamedSetList;

// Record kinds of the named sets.
inline constexpr uint32_t kBreakpointSetRecord = 1;
inline constexpr uint32_t kWatchSetRecord = 15;
// Result of an operation without a store.
inline constexpr int32_t kNoSettingsStore = -1;

class SettingsStore {
 public:
  virtual ~SettingsStore();
  // 0 on success; a negative code otherwise (an existing kind and name is refused).
  virtual int32_t AddRecord(uint32_t kind, const RWCString& name, const RWCString& description, uint32_t length,
                            const uint8_t* data);
  // *length: in the room of `data`, out the record's length. 0 on success; 10 a bad
  // checksum; negative codes for other failures (no such record, no room).
  virtual int32_t ReadRecord(uint32_t kind, const RWCString& name, RWCString* description, uint32_t* length,
                             uint8_t* data);
  virtual int32_t RemoveRecord(uint32_t kind, const RWCString& name);
  // The count of the records of the kind; their entries go into the list.
  virtual uint32_t ListAllRecords(uint32_t kind, NamedSetList* list);
};

// Installs the store (the caller keeps it alive); null puts the empty one back.
SettingsStore* InstallSettingsStore(SettingsStore* store);
SettingsStore& TheSettingsStore();

// Whether a named set saved for `saved` belongs to the loaded program `loaded`: the
// two file names equal but for case.
bool SameProgramName(const RWCString& saved, const RWCString& loaded);

}  // namespace zentor
