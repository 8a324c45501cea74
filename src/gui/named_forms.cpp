#include "gui/named_forms.h"

#include <string>

#include "core/dv_error.h"
#include "core/token_record.h"
#include "engine/settings_store.h"

namespace zentor {
namespace {

struct HandlerRow {
  uint32_t id;
  DialogFormLoadHandler handler;
};

HandlerRow g_handlers[] = {{0, nullptr}, {2, nullptr},  {4, nullptr},  {5, nullptr},
                           {6, nullptr}, {7, nullptr},  {8, nullptr},  {9, nullptr},
                           {10, nullptr}, {12, nullptr}, {255, nullptr}};

// Record ids the program saves under names, beside those of the table: a name that
// only these hold is still a form name, with nothing to load.
constexpr uint32_t kOtherRecordIds[] = {1, 15, 20, 32, 64, 65};

// Whether a record (id, name) exists, with what the store tells of it. The data is
// not read: a room of 0 bytes makes the store answer with the record's length.
bool FindRecord(uint32_t id, const RWCString& name, NamedFormEntry* entry) {
  uint8_t room = 0;
  uint32_t length = 0;
  RWCString description;
  const int32_t result = TheSettingsStore().ReadRecord(id, name, &description, &length, &room);
  if (result < 0 && length == 0) return false;
  entry->id = id;
  entry->name = name;
  entry->description = description;
  entry->length = length;
  return true;
}

}  // namespace

bool DialogFormLoadHandlerTable::SetHandler(uint32_t id, DialogFormLoadHandler handler) {
  for (HandlerRow& row : g_handlers) {
    if (row.id == id) {
      row.handler = handler;
      return true;
    }
  }
  return false;
}

DialogFormLoadHandler DialogFormLoadHandlerTable::Find(uint32_t id) {
  for (const HandlerRow& row : g_handlers) {
    if (row.id == id) return row.handler;
  }
  return nullptr;
}

void DialogFormLoadHandlerTable::Clear() {
  for (HandlerRow& row : g_handlers) row.handler = nullptr;
}

// 1. The records under the name: one per record id of the table and of the other
//    ids in use (id 0 matches any id in the store's file).
// 2. None: message 220.
// 3. Each record's loader runs; the answer of the last one that ran decides.
void RestoreNamedForms() {
  const TokenRecord& token = CurrentToken();
  const RWCString name(std::string(token.text, token.textLength).c_str());
  bool found = false;
  int32_t result = 0;
  NamedFormEntry entry;
  for (const HandlerRow& row : g_handlers) {
    if (!FindRecord(row.id, name, &entry)) continue;
    found = true;
    if (row.handler != nullptr) result = row.handler(0, kFormLoadRequest, entry);
  }
  for (uint32_t id : kOtherRecordIds) found = found || FindRecord(id, name, &entry);
  if (!found) throw DVError(kMsgNotAFormName, kSeverityError, kDisplayByFocus);
  if (result != 0) throw DVError(static_cast<uint32_t>(result), kSeverityError, kDisplayByFocus);
}

}  // namespace zentor
