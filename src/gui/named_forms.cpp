#include "gui/named_forms.h"

#include <string>
#include <vector>

#include "core/dv_error.h"
#include "core/token_record.h"
#include "gui/dialog_description_file.h"

namespace zentor {
namespace {

struct HandlerRow {
  uint32_t id;
  DialogFormLoadHandler handler;
};

HandlerRow g_handlers[] = {{0, nullptr}, {2, nullptr},  {4, nullptr},  {5, nullptr},
                           {6, nullptr}, {7, nullptr},  {8, nullptr},  {9, nullptr},
                           {10, nullptr}, {12, nullptr}, {255, nullptr}};

// The store's list batches are read in pieces of this many bytes.
constexpr uint32_t kListBatchBytes = 1280;

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

// 1. Every record with the name, of any id, in list batches of 1280 bytes.
// 2. None: message 220.
// 3. Each record's loader runs; the answer of the last one that ran decides.
void RestoreNamedForms() {
  const TokenRecord& token = CurrentToken();
  const std::string name(token.text, token.textLength);
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  std::vector<DialogEntryInfo> entries;
  std::vector<uint8_t> batch(kListBatchBytes);
  for (uint32_t mode = kListFirstBatch;; mode = kListNextBatch) {
    const int32_t count = store.ListRecords(0, mode, batch.data(), kListBatchBytes, name.c_str());
    if (count <= 0) break;
    std::size_t offset = 0;
    for (int32_t i = 0; i < count; ++i) {
      DialogEntryInfo info;
      const uint32_t used = DialogDescriptionFile::ParseListEntry(batch.data() + offset, batch.size() - offset, &info);
      if (used == 0) break;
      entries.push_back(info);
      offset += used;
    }
  }
  if (entries.empty()) throw DVError(kMsgNotAFormName, kSeverityError, kDisplayByFocus);
  int32_t result = 0;
  for (const DialogEntryInfo& entry : entries) {
    if (DialogFormLoadHandler handler = DialogFormLoadHandlerTable::Find(entry.m_id)) result = handler(0, kFormLoadRequest, entry);
  }
  if (result != 0) throw DVError(static_cast<uint32_t>(result), kSeverityError, kDisplayByFocus);
}

}  // namespace zentor
