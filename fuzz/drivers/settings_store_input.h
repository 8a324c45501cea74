#pragma once
// The settings store fuzz driver: one input is a whole store file. It is opened as
// the program opens its store (a damaged frame set aside, failing records dropped),
// every listed record is read, then a record is added, the first renamed and the
// second removed, and the store is closed (compacted) and opened again. What the
// reopened store holds must be what it held before the close, with nothing found
// wrong the second time.

#include <cstdint>
#include <string>
#include <string_view>

#include "gui/dialog_description_file.h"
#include "gui/store_write_channel.h"
#include "harness/session/console_session.h"

namespace zentor::fuzzing {

struct SettingsStoreOutcome {
  int32_t m_opened = 0;          // the first open's answer
  uint32_t m_listed = 0;         // records listed after it
  uint32_t m_damage = 0;         // damage it told (message 10)
  uint32_t m_laterDamage = 0;    // damage the reopening told
  bool m_sameAfterReopen = false;  // the reopened store holds what the closed one held
  uint32_t m_raised = 0;         // the number of a DVError an operation raised (0 none)
};

// What is wrong with an outcome ("" when nothing): the open failed, an operation
// raised an error, or the reopened store differs or told damage.
std::string SettingsStoreFault(const SettingsStoreOutcome& outcome);

class SettingsStoreHarness {
 public:
  SettingsStoreHarness();
  SettingsStoreHarness(const SettingsStoreHarness&) = delete;
  SettingsStoreHarness& operator=(const SettingsStoreHarness&) = delete;

  SettingsStoreOutcome Run(std::string_view file);

 private:
  testing_support::ScratchDirectory m_directory;
  std::string m_path;
  // The platform's files without the sync to the disk, which would only slow a run.
  class UnflushedChannel : public StoreWriteChannel {
   public:
    bool Flush() override { return true; }
  };
  UnflushedChannel m_channel;
  DialogDescriptionFile m_store;
  uint32_t m_notices = 0;
};

}  // namespace zentor::fuzzing
