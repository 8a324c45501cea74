#pragma once
// What the settings store's tests share: a write channel that stops part-way as a
// power cut would, the time zone pinned to UTC, and a store's contents read back
// through its own list and read operations.

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "gui/dialog_description_file.h"
#include "gui/store_write_channel.h"

namespace zentor::testing_support {

// The channel of the platform's files that fails once its budget is spent: a write
// takes one unit per byte, every other change one unit. A power cut then stops
// everything: nothing more reaches the disk (a file being written is still closed, as
// the end of the process closes it), and every call fails. A full disk fails only the
// writes and flushes; renames and removals still work.
enum class CutKind { kPowerCut, kDiskFull };

class CutChannel : public StoreWriteChannel {
 public:
  explicit CutChannel(uint64_t budget = UINT64_MAX, CutKind kind = CutKind::kPowerCut)
      : m_budget(budget), m_kind(kind) {}

  bool Create(const std::string& path) override { return Spend(1) && StoreWriteChannel::Create(path); }
  bool Write(const void* bytes, std::size_t count) override {
    const uint64_t room = m_budget - m_spent;
    if (count <= room) {
      m_spent += count;
      return StoreWriteChannel::Write(bytes, count);
    }
    if (room > 0) StoreWriteChannel::Write(bytes, static_cast<std::size_t>(room));
    m_spent = m_budget;
    return false;
  }
  // The cut stands in for what a flush guards against: the disk is not synced.
  bool Flush() override { return Spend(1); }
  bool CloseFile() override {
    const bool closed = StoreWriteChannel::CloseFile();
    return Spend(1) && closed;
  }
  bool Replace(const std::string& from, const std::string& to) override {
    return (Spend(1) || m_kind == CutKind::kDiskFull) && StoreWriteChannel::Replace(from, to);
  }
  bool Remove(const std::string& path) override {
    return (Spend(1) || m_kind == CutKind::kDiskFull) && StoreWriteChannel::Remove(path);
  }

  uint64_t Spent() const { return m_spent; }

 private:
  bool Spend(uint64_t units) {
    if (m_budget - m_spent < units) {
      m_spent = m_budget;
      return false;
    }
    m_spent += units;
    return true;
  }
  uint64_t m_budget;
  CutKind m_kind;
  uint64_t m_spent = 0;
};

// Local time is UTC for the tests' time texts.
inline void UseUtcTime() {
#ifdef _WIN32
  _putenv("TZ=UTC");
  _tzset();
#else
  setenv("TZ", "UTC", 1);
  tzset();
#endif
}

// One record as the store gives it back.
struct StoredRecord {
  std::string description;
  std::string data;
  std::string timeText;
  bool operator==(const StoredRecord& other) const {
    return std::tie(description, data, timeText) == std::tie(other.description, other.data, other.timeText);
  }
  friend void PrintTo(const StoredRecord& record, std::ostream* out) {
    *out << record.description << " | " << record.data.size() << " bytes | " << record.timeText;
  }
};
// Keyed by list position, id and name: the order of the directory counts.
using StoreContents = std::vector<std::tuple<uint32_t, std::string, StoredRecord>>;

// Every record of the current file in list order, each read whole; a record that does
// not read back (a failed checksum, a code) is recorded with its code as the data.
inline StoreContents ContentsOf(DialogDescriptionFile& store) {
  StoreContents contents;
  std::vector<uint8_t> entries;
  const int32_t count = store.ListAllRecords(0, &entries);
  std::size_t at = 0;
  for (int32_t i = 0; i < count; ++i) {
    DialogEntryInfo info;
    const uint32_t size = DialogDescriptionFile::ParseListEntry(entries.data() + at, entries.size() - at, &info);
    if (size == 0) break;
    at += size;
    char description[kDialogDescriptionField];
    std::vector<uint8_t> data(info.m_dataLength + 1);
    uint32_t length = info.m_dataLength;
    const int32_t read = store.ReadRecord(info.m_id, info.m_name, description, &length, data.data());
    StoredRecord record{description, std::string(data.begin(), data.begin() + length), info.m_timeText};
    if (read != 0) record.data = "code " + std::to_string(read);
    contents.emplace_back(info.m_id, info.m_name, record);
  }
  return contents;
}

}  // namespace zentor::testing_support
