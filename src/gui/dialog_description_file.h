#pragma once
// The settings store: records of a kind (1 breakpoint sets, 15 watch sets, the
// layouts, colours and buttons of the GUI) under a name, each with a description and
// its data. The records are kept in memory for the run; the store's file comes with
// the GUI. Start-up installs it as the engine's settings store.

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "engine/settings_store.h"

namespace zentor {

// Result codes of the store.
inline constexpr int32_t kStoreRecordExists = -2;
inline constexpr int32_t kStoreNoSuchRecord = -3;
inline constexpr int32_t kStoreNoRoom = -4;

class DialogDescriptionFile final : public SettingsStore {
 public:
  int32_t AddRecord(uint32_t kind, const RWCString& name, const RWCString& description, uint32_t length,
                    const uint8_t* data) override;
  // The record's description and data; *length in the room, out the data's length
  // (kStoreNoRoom, nothing copied, when the room is too small).
  int32_t ReadRecord(uint32_t kind, const RWCString& name, RWCString* description, uint32_t* length,
                     uint8_t* data) override;
  int32_t RemoveRecord(uint32_t kind, const RWCString& name) override;
  // Names in the order they were added (as many as the list holds).
  uint32_t ListAllRecords(uint32_t kind, NamedSetList* list) override;
  // Every record gone (tests).
  void Clear() { m_records.clear(); }

 private:
  struct Record {
    uint64_t order = 0;
    RWCString description;
    std::vector<uint8_t> data;
  };
  std::map<std::pair<uint32_t, std::string>, Record> m_records;
  uint64_t m_added = 0;
};

// The program's store, installed as the engine's settings store.
DialogDescriptionFile& TheDialogDescriptionFile();
void InstallDialogDescriptionFile();

}  // namespace zentor
