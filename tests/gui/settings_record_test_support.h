#pragma once
// What the settings records' tests share: bytes written by hand in hex, and a settings
// store in memory that answers as the store file does where the GUI's
// settings records care: -1002 for a name taken, -1007 for no such record, -1009 with
// the record's length for a room too small, 10 (data delivered) for a record marked
// damaged. Installed for its lifetime.

#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/settings_store.h"

namespace zentor {

// Bytes from hex pairs separated by blanks ("EF CD AB 89").
inline std::vector<uint8_t> Hex(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::istringstream words(text);
  std::string word;
  while (words >> word) bytes.push_back(static_cast<uint8_t>(std::strtoul(word.c_str(), nullptr, 16)));
  return bytes;
}
inline std::vector<uint8_t> Zeros(std::size_t count) { return std::vector<uint8_t>(count, 0); }
inline std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class SettingsStoreFake final : public SettingsStore {
 public:
  struct Record {
    std::string description;
    std::vector<uint8_t> data;
    bool damaged = false;
  };

  SettingsStoreFake() : m_previous(InstallSettingsStore(this)) {}
  ~SettingsStoreFake() override { InstallSettingsStore(m_previous); }

  int32_t AddRecord(uint32_t kind, const RWCString& name, const RWCString& description, uint32_t length,
                    const uint8_t* data) override {
    const auto key = std::make_pair(kind, std::string(name.data()));
    if (m_records.count(key) != 0) return -1002;
    m_records[key] = Record{description.data(), std::vector<uint8_t>(data, data + length)};
    return 0;
  }
  int32_t ReadRecord(uint32_t kind, const RWCString& name, RWCString* description, uint32_t* length,
                     uint8_t* data) override {
    const auto found = m_records.find(std::make_pair(kind, std::string(name.data())));
    if (found == m_records.end()) return -1007;
    const Record& record = found->second;
    *description = RWCString(record.description.c_str());
    const uint32_t room = *length;
    *length = static_cast<uint32_t>(record.data.size());
    if (room < *length) return -1009;
    if (!record.data.empty()) std::memcpy(data, record.data.data(), record.data.size());
    return record.damaged ? 10 : 0;
  }
  int32_t RemoveRecord(uint32_t kind, const RWCString& name) override {
    return m_records.erase(std::make_pair(kind, std::string(name.data()))) != 0 ? 0 : -1007;
  }
  // Only the count: the list's form is the store's own business.
  uint32_t ListAllRecords(uint32_t kind, NamedSetList*) override {
    uint32_t count = 0;
    for (const auto& entry : m_records) count += entry.first.first == kind ? 1 : 0;
    return count;
  }

  void Put(uint32_t kind, const std::string& name, std::vector<uint8_t> data, bool damaged = false) {
    m_records[std::make_pair(kind, name)] = Record{"", std::move(data), damaged};
  }
  // The record's data, empty when there is none.
  std::vector<uint8_t> DataOf(uint32_t kind, const std::string& name) const {
    const auto found = m_records.find(std::make_pair(kind, name));
    return found != m_records.end() ? found->second.data : std::vector<uint8_t>();
  }

 private:
  SettingsStore* m_previous;
  std::map<std::pair<uint32_t, std::string>, Record> m_records;
};

}  // namespace zentor
