#include "gui/dialog_description_file.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/dialog_records.h"

namespace zentor {

int32_t DialogDescriptionFile::AddRecord(uint32_t kind, const RWCString& name, const RWCString& description,
                                         uint32_t length, const uint8_t* data) {
  const auto key = std::make_pair(kind, std::string(name.data()));
  if (m_records.count(key) != 0) return kStoreRecordExists;
  Record record;
  record.order = m_added++;
  record.description = description;
  record.data.assign(data, data + length);
  m_records.emplace(key, std::move(record));
  return 0;
}

int32_t DialogDescriptionFile::ReadRecord(uint32_t kind, const RWCString& name, RWCString* description,
                                          uint32_t* length, uint8_t* data) {
  const auto found = m_records.find(std::make_pair(kind, std::string(name.data())));
  if (found == m_records.end()) return kStoreNoSuchRecord;
  const Record& record = found->second;
  if (record.data.size() > *length) return kStoreNoRoom;
  *description = record.description;
  *length = static_cast<uint32_t>(record.data.size());
  if (!record.data.empty()) std::memcpy(data, record.data.data(), record.data.size());
  return 0;
}

int32_t DialogDescriptionFile::RemoveRecord(uint32_t kind, const RWCString& name) {
  return m_records.erase(std::make_pair(kind, std::string(name.data()))) != 0 ? 0 : kStoreNoSuchRecord;
}

uint32_t DialogDescriptionFile::ListAllRecords(uint32_t kind, NamedSetList* list) {
  std::vector<std::pair<uint64_t, RWCString>> names;
  for (const auto& [key, record] : m_records) {
    if (key.first == kind) names.emplace_back(record.order, RWCString(key.second.c_str()));
  }
  std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  if (list != nullptr) {
    const std::size_t room = sizeof list->m_names / sizeof list->m_names[0];
    for (std::size_t i = 0; i < names.size() && i < room; ++i) list->m_names[i] = names[i].second;
  }
  return static_cast<uint32_t>(names.size());
}

DialogDescriptionFile& TheDialogDescriptionFile() {
  static DialogDescriptionFile store;
  return store;
}

void InstallDialogDescriptionFile() { InstallSettingsStore(&TheDialogDescriptionFile()); }

}  // namespace zentor
