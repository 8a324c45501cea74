#include "core/viewpoint_manager.h"

#include "core/current_viewpoint.h"
#include "core/frame_list.h"

#include <cstring>
#include <memory>
#include <vector>

namespace zentor {
namespace {

struct ViewpointRecord {
  ViewpointHandle handle;
  // An alias the user sets has at most 8 characters; one the target proposes for a
  // viewpoint it creates ("Processor 0") may be as long as a display name.
  char alias[ViewpointManager::kMaxDisplayNameLength + 1] = {};
  SymbolContext* symbolContext = nullptr;
  // The call stack of the viewpoint's thread, made with the record and freed with it.
  std::shared_ptr<FrameList> ownFrames = std::make_shared<FrameList>();
  FrameList* frames = ownFrames.get();
  uint32_t runState = 0;
};

std::vector<ViewpointRecord>& Records() {
  static std::vector<ViewpointRecord> records;
  return records;
}

// Records are found by raw value: the manager keeps one record per id the target
// issued, so no target round trip is needed to tell them apart.
ViewpointRecord* FindRecord(uint32_t value) {
  for (ViewpointRecord& record : Records()) {
    if (record.handle.Value() == value) return &record;
  }
  return nullptr;
}

}  // namespace

int32_t ViewpointManager::AddViewpoint(ViewpointHandle handle) {
  auto& records = Records();
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].handle.Value() == handle.Value()) return static_cast<int32_t>(i);
  }
  ViewpointRecord record;
  record.handle = handle;
  records.push_back(record);
  return static_cast<int32_t>(records.size() - 1);
}

int32_t ViewpointManager::AddViewpoint(ViewpointHandle handle, const char* proposedAlias) {
  const int32_t index = AddViewpoint(handle);
  if (proposedAlias == nullptr) return index;
  char* alias = Records()[static_cast<size_t>(index)].alias;
  std::strncpy(alias, proposedAlias, kMaxDisplayNameLength);
  alias[kMaxDisplayNameLength] = '\0';
  return index;
}

void ViewpointManager::RemoveViewpoint(ViewpointHandle handle) {
  auto& records = Records();
  for (auto it = records.begin(); it != records.end(); ++it) {
    if (it->handle.Value() == handle.Value()) {
      records.erase(it);
      return;
    }
  }
}

void ViewpointManager::RemoveAllViewpoints() { Records().clear(); }

uint32_t ViewpointManager::Count() { return static_cast<uint32_t>(Records().size()); }

bool ViewpointManager::SetAlias(int32_t index, const char* alias) {
  auto& records = Records();
  if (index < 0 || static_cast<size_t>(index) >= records.size() || alias == nullptr) return false;
  size_t length = std::strlen(alias);
  if (length > kMaxAliasLength) return false;
  std::memcpy(records[index].alias, alias, length + 1);
  return true;
}

void ViewpointManager::ApplyPendingSelection() {}

uint32_t ViewpointManager::RunStateOf(ViewpointHandle handle) {
  ViewpointRecord* record = FindRecord(handle.Value());
  return record != nullptr ? record->runState : 0;
}

void ViewpointManager::SetRunState(ViewpointHandle handle, uint32_t state) {
  if (ViewpointRecord* record = FindRecord(handle.Value())) record->runState = state;
}

bool ViewpointManager::AnyRunning() {
  for (const ViewpointRecord& record : Records()) {
    if (record.runState == kRunStateRunning) return true;
  }
  return false;
}

ViewpointHandle ViewpointManager::HandleAt(int32_t index) {
  auto& records = Records();
  if (index < 0 || static_cast<size_t>(index) >= records.size()) return ViewpointHandle::None();
  return records[index].handle;
}

int32_t ViewpointManager::FindIndexByAlias(const char* text) {
  if (text == nullptr) return -1;
  auto& records = Records();
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].alias[0] != '\0' && std::strcmp(records[i].alias, text) == 0) {
      return static_cast<int32_t>(i);
    }
  }
  ViewpointHandle handle;
  handle.SetFromText(text);
  if (handle.IsNone()) return -1;
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].handle.Value() == handle.Value()) return static_cast<int32_t>(i);
  }
  return -1;
}

RWCString ViewpointManager::DisplayNameOf(uint32_t value, bool aliasWanted) {
  char buffer[kMaxDisplayNameLength + 3];
  FormatViewpointName(value, buffer, sizeof buffer, aliasWanted);
  return RWCString(buffer);
}

int32_t ViewpointManager::SetCurrentSymbolContext(SymbolContext* context) {
  uint32_t current = GetCurrentViewpointValue();
  if (current == ViewpointHandle::kNone) return -1;
  ViewpointRecord* record = FindRecord(current);
  if (record == nullptr) return -1;
  record->symbolContext = context;
  return 0;
}

SymbolContext* ViewpointManager::SymbolContextOf(ViewpointHandle handle) {
  ViewpointRecord* record = FindRecord(handle.Value());
  return record != nullptr ? record->symbolContext : nullptr;
}

void ViewpointManager::CopySymbolContextToOthers(ViewpointHandle handle) {
  const ViewpointRecord* source = FindRecord(handle.Value());
  if (source == nullptr) return;
  SymbolContext* context = source->symbolContext;
  for (ViewpointRecord& record : Records()) record.symbolContext = context;
}

void ViewpointManager::SetFrameList(ViewpointHandle handle, FrameList* frames) {
  if (ViewpointRecord* record = FindRecord(handle.Value())) {
    record->frames = frames != nullptr ? frames : record->ownFrames.get();
  }
}

FrameList* ViewpointManager::FrameListOf(ViewpointHandle handle) {
  ViewpointRecord* record = FindRecord(handle.Value());
  return record != nullptr ? record->frames : nullptr;
}

void FormatViewpointName(uint32_t value, char* buffer, uint32_t size, bool aliasWanted) {
  if (buffer == nullptr || size == 0) return;
  char name[ViewpointHandle::kMaxTextLength + 1] = {};
  ViewpointRecord* record = FindRecord(value);
  if (aliasWanted && record != nullptr && record->alias[0] != '\0') {
    std::memcpy(name, record->alias, std::strlen(record->alias) + 1);
  } else {
    ViewpointHandle(value).GetText(name);
  }
  // "[" + name + "]" + NUL, cut to the buffer.
  size_t length = std::strlen(name);
  if (length > ViewpointManager::kMaxDisplayNameLength) length = ViewpointManager::kMaxDisplayNameLength;
  if (size < 3) {
    buffer[0] = '\0';
    return;
  }
  if (length > size - 3) length = size - 3;
  buffer[0] = '[';
  std::memcpy(buffer + 1, name, length);
  buffer[length + 1] = ']';
  buffer[length + 2] = '\0';
}

}  // namespace zentor
