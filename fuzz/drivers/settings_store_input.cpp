#include "settings_store_input.h"

#include <filesystem>
#include <string>
#include <vector>

#include "core/dv_error.h"

namespace zentor::fuzzing {
namespace {

// Every listed record with what reading it answers: its code, its description and
// its data.
std::vector<std::string> Contents(DialogDescriptionFile& store) {
  std::vector<std::string> contents;
  std::vector<uint8_t> entries;
  const int32_t count = store.ListAllRecords(0, &entries);
  std::size_t at = 0;
  for (int32_t i = 0; i < count; ++i) {
    DialogEntryInfo info;
    const uint32_t size = DialogDescriptionFile::ParseListEntry(entries.data() + at, entries.size() - at, &info);
    if (size == 0) break;
    at += size;
    char description[kDialogDescriptionField] = {};
    std::vector<uint8_t> data(info.m_dataLength + 1);  // never null, also for no data
    uint32_t length = info.m_dataLength;
    const int32_t read = store.ReadRecord(info.m_id, info.m_name, description, &length, data.data());
    contents.push_back(std::to_string(info.m_id) + " " + info.m_name + " " + info.m_timeText + " " +
                       std::to_string(read) + " " + description + " " +
                       std::string(data.begin(), data.begin() + (read == 0 ? length : 0)));
  }
  return contents;
}

}  // namespace

std::string SettingsStoreFault(const SettingsStoreOutcome& outcome) {
  if (outcome.m_opened != 0) return "the open answered " + std::to_string(outcome.m_opened);
  if (outcome.m_raised != 0) return "an operation raised " + std::to_string(outcome.m_raised);
  if (outcome.m_laterDamage != 0) return "the reopened store told damage";
  if (!outcome.m_sameAfterReopen) return "the reopened store holds other records";
  return std::string();
}

SettingsStoreHarness::SettingsStoreHarness()
    : m_directory("fuzz-store"), m_path(m_directory.File("store.ddb")) {
  m_store.SetClock([] { return 0u; });
  m_store.SetWriteChannel(&m_channel);
  m_store.SetNoticeHandler([this](uint32_t) { ++m_notices; });
}

SettingsStoreOutcome SettingsStoreHarness::Run(std::string_view file) {
  SettingsStoreOutcome outcome;
  m_store.Reset();
  for (const auto& entry : std::filesystem::directory_iterator(m_directory.Path())) {
    std::filesystem::remove(entry.path());
  }
  m_directory.Write("store.ddb", file);
  m_notices = 0;
  try {
    outcome.m_opened = m_store.Open(m_path.c_str());
    outcome.m_damage = m_notices;
    std::vector<uint8_t> entries;
    const int32_t listed = m_store.ListAllRecords(0, &entries);
    outcome.m_listed = listed > 0 ? static_cast<uint32_t>(listed) : 0;
    std::vector<std::string> names;
    std::size_t at = 0;
    DialogEntryInfo info;
    while (names.size() < 2 && at < entries.size()) {
      const uint32_t size = DialogDescriptionFile::ParseListEntry(entries.data() + at, entries.size() - at, &info);
      if (size == 0) break;
      at += size;
      names.push_back(info.m_name);
    }
    static const uint8_t kData[] = "added by the driver";
    m_store.AddRecord(5, "driver", "a record", sizeof kData, kData);
    if (!names.empty()) m_store.RenameRecord(0, names[0].c_str(), "renamed");
    if (names.size() > 1) m_store.RemoveRecord(0, names[1].c_str());
    const std::vector<std::string> closed = Contents(m_store);
    m_store.Close();
    m_notices = 0;
    m_store.Open(m_path.c_str());
    outcome.m_laterDamage = m_notices;
    outcome.m_sameAfterReopen = Contents(m_store) == closed;
  } catch (const DVError& error) {
    outcome.m_raised = error.Number();
  }
  m_store.Reset();
  return outcome;
}

}  // namespace zentor::fuzzing
