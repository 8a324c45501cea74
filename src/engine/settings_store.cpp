#include "engine/settings_store.h"

#include <cctype>

#include "core/installed_service.h"

namespace zentor {
namespace {

InstalledService<SettingsStore> g_store;

}  // namespace

SettingsStore::~SettingsStore() = default;

int32_t SettingsStore::AddRecord(uint32_t, const RWCString&, const RWCString&, uint32_t, const uint8_t*) {
  return kNoSettingsStore;
}

int32_t SettingsStore::ReadRecord(uint32_t, const RWCString&, RWCString*, uint32_t*, uint8_t*) {
  return kNoSettingsStore;
}

int32_t SettingsStore::RemoveRecord(uint32_t, const RWCString&) { return kNoSettingsStore; }

uint32_t SettingsStore::ListAllRecords(uint32_t, NamedSetList*) { return 0; }

SettingsStore* InstallSettingsStore(SettingsStore* store) { return g_store.Install(store); }

SettingsStore& TheSettingsStore() { return g_store.Get(); }

bool SameProgramName(const RWCString& saved, const RWCString& loaded) {
  if (saved.length() != loaded.length()) return false;
  for (std::size_t i = 0; i < saved.length(); ++i) {
    if (std::tolower(static_cast<unsigned char>(saved[i])) != std::tolower(static_cast<unsigned char>(loaded[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace zentor
