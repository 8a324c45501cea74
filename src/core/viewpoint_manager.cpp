#include "core/viewpoint_manager.h"

#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/frame_list.h"
#include "core/installed_service.h"
#include "core/message_table.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace zentor {
namespace {

struct ViewpointRecord {
  ViewpointHandle handle;
  // An alias the user sets has at most 8 characters; one the target proposes for a
  // viewpoint it creates ("Processor 0") may be longer.
  RWCString alias;
  int32_t aliasNumber = -1;
  RWCString eventText;
  RWCString statusText;
  // Owned: freed through the state port when the record goes. No two records hold the
  // same one; viewpoints share the tables inside them instead.
  SymbolContext* symbolContext = nullptr;
  // The call stack of the viewpoint's thread, made with the record and freed with it.
  std::shared_ptr<FrameList> ownFrames = std::make_shared<FrameList>();
  FrameList* frames = ownFrames.get();
  int32_t runState = 0;
  int32_t colorSet = 0;
};

// The manager's state; one reset (RemoveAllViewpoints) puts it back.
struct ManagerState {
  std::vector<ViewpointRecord> records;
  int32_t current = -1;
  int32_t dialogSelection = -1;
  uint32_t aliasedCount = 0;
  bool locked = false;
  // Grows for the whole session, so that numbered aliases never repeat.
  uint32_t aliasCounter = 0;
  ViewpointHandle pending = ViewpointHandle::None();
};

ManagerState& State() {
  static ManagerState state;
  return state;
}

std::vector<ViewpointRecord>& Records() { return State().records; }

InstalledService<ViewpointWindowPort> g_windows;
InstalledService<ViewpointStatePort> g_state;
InstalledService<SymbolContextPort> g_contexts;

ViewpointWindowPort& Windows() { return g_windows.Get(); }

bool ValidIndex(int32_t index) { return index >= 0 && static_cast<std::size_t>(index) < Records().size(); }

// Records are found by raw value: the manager keeps one record per id the target
// issued, so no target round trip is needed to tell them apart.
ViewpointRecord* FindRecord(uint32_t value) {
  for (ViewpointRecord& record : Records()) {
    if (record.handle.Value() == value) return &record;
  }
  return nullptr;
}

int32_t IndexOfValue(uint32_t value) {
  auto& records = Records();
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].handle.Value() == value) return static_cast<int32_t>(i);
  }
  return -1;
}

// What hangs on a record that has left the list goes in the record's own viewpoint,
// pushed for the while: its breakpoints and watches, the notice to what is left of
// its windows. The record is out of the list by then, so nothing finds its symbol
// context any more; that goes last (the tables it shares stay with the contexts of the
// others). A failure is reported: the viewpoint is gone whatever its state answers.
void RetireRecord(ViewpointRecord& record) {
  try {
    ViewpointPushed pushed(record.handle);
    g_state.Get().ForgetCurrentViewpointState();
    Windows().NotifyViewpointRemoved(record.handle.Value());
  } catch (DVError& error) {
    error.Report();
  }
  SymbolContext* context = record.symbolContext;
  record.symbolContext = nullptr;
  if (context != nullptr) g_state.Get().FreeSymbolContext(context);
}

}  // namespace

ViewpointWindowPort::~ViewpointWindowPort() = default;
void ViewpointWindowPort::SetCommandWindowViewpoint(ViewpointHandle) {}
void ViewpointWindowPort::RepaintCommandWindow() {}
void ViewpointWindowPort::RefillViewpointDialog() {}
void ViewpointWindowPort::RebuildWindowMenu() {}
void ViewpointWindowPort::ApplyToWindowGroup(uint32_t, uint32_t) {}
int32_t ViewpointWindowPort::AllocateColorSlot() { return 0; }
void ViewpointWindowPort::ReleaseColorSlot(int32_t) {}
bool ViewpointWindowPort::BusyCursorOnTop() { return false; }
void ViewpointWindowPort::NotifyViewpointRemoved(uint32_t) {}

ViewpointWindowPort* InstallViewpointWindowPort(ViewpointWindowPort* port) { return g_windows.Install(port); }

ViewpointStatePort::~ViewpointStatePort() = default;
void ViewpointStatePort::ForgetCurrentViewpointState() {}
void ViewpointStatePort::FreeSymbolContext(SymbolContext*) {}

ViewpointStatePort* InstallViewpointStatePort(ViewpointStatePort* port) { return g_state.Install(port); }

SymbolContextPort::~SymbolContextPort() = default;
void SymbolContextPort::ShareTables(SymbolContext&, const SymbolContext&) {}

SymbolContextPort* InstallSymbolContextPort(SymbolContextPort* port) { return g_contexts.Install(port); }

int32_t ViewpointManager::AddViewpoint(ViewpointHandle handle, const char* proposedAlias) {
  const int32_t existing = IndexOfValue(handle.Value());
  if (existing >= 0) return existing;
  ManagerState& state = State();
  ViewpointRecord record;
  record.handle = handle;
  state.records.push_back(record);
  const int32_t index = static_cast<int32_t>(state.records.size() - 1);
  if (index == 0) {
    state.dialogSelection = 0;
    SelectIfNeeded(0, false);
  }
  if (proposedAlias != nullptr) {
    DVError status(0, 0, kDisplayByFocus);
    std::string base(proposedAlias);
    uint32_t result = SetAlias(RWCString(base.c_str()), index, status);
    for (uint32_t tries = 0; result == kMsgAliasInUse && tries < kAliasNumberingTries; ++tries) {
      char number[16];
      std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(++state.aliasCounter));
      const std::size_t digits = std::strlen(number);
      if (base.size() + digits > kMaxAliasLength) base.resize(digits < kMaxAliasLength ? kMaxAliasLength - digits : 0);
      result = SetAlias(RWCString((base + number).c_str()), index, status);
    }
    if (result != 0) status.Report();
  }
  MarkAllRecordsOfKindChanged(kRecordViewpointList);
  state.records[static_cast<std::size_t>(index)].colorSet = Windows().AllocateColorSlot();
  Windows().RepaintCommandWindow();
  return index;
}

// 1. The record's colour set is released and its windows close.
// 2. The record leaves the list. The dialog's selection stays on the record it was on;
//    when that was the removed one, on the record that takes its place (the new last
//    one when it was last).
// 3. The viewpoint to be current: the record that takes the removed one's place when
//    that was current (the new last one when it was last); otherwise the one that was
//    current stays so. It is applied at the next command read.
// 4. What hangs on the viewpoint goes with it (RetireRecord).
// 5. Nothing is current until the pending selection is applied.
void ViewpointManager::RemoveViewpoint(ViewpointHandle handle) {
  ManagerState& state = State();
  const int32_t index = IndexOfValue(handle.Value());
  if (index < 0) return;
  Windows().ReleaseColorSlot(state.records[static_cast<std::size_t>(index)].colorSet);
  ApplyToWindowGroup(handle.Value(), kWindowGroupClose);
  // The windows' closing may have run anything: the record is looked up again.
  const int32_t at = IndexOfValue(handle.Value());
  if (at < 0) return;
  const ViewpointHandle wasCurrent = HandleAt(state.current);
  ViewpointRecord removed = std::move(state.records[static_cast<std::size_t>(at)]);
  state.records.erase(state.records.begin() + at);
  const int32_t count = static_cast<int32_t>(state.records.size());
  if (state.dialogSelection > at) --state.dialogSelection;
  if (state.dialogSelection >= count) state.dialogSelection = count - 1;
  if (state.current >= count) {
    state.pending = HandleAt(count - 1);
  } else if (state.current == at) {
    state.pending = HandleAt(at);
  } else if (state.current >= 0) {
    // As written the selection was left alone here and the forced deselection below
    // left no viewpoint current at all after another one went away.
    state.pending = wasCurrent;
  }
  RenumberAliases();
  RetireRecord(removed);
  MarkAllRecordsOfKindChanged(kRecordViewpointList);
  if (count == 0) {
    MarkAllRecordsOfKindChanged(kRecordCurrentViewpoint);
    state.dialogSelection = -1;
    state.aliasedCount = 0;
  }
  SelectIfNeeded(-1, true);
}

void ViewpointManager::RemoveAllViewpoints() { State() = ManagerState{}; }

uint32_t ViewpointManager::Count() { return static_cast<uint32_t>(Records().size()); }

int32_t ViewpointManager::CurrentIndex() { return State().current; }

uint32_t ViewpointManager::SetAlias(const RWCString& alias, int32_t index, DVError& status) {
  auto& records = Records();
  if (!ValidIndex(index)) {
    status.Set(kMsgViewpointNotValid, kSeverityError, kDisplayByFocus, nullptr);
    return kMsgViewpointNotValid;
  }
  if (!alias.isNull()) {
    for (std::size_t i = 0; i < records.size(); ++i) {
      if (static_cast<int32_t>(i) != index && records[i].alias == alias) {
        status.Set(kMsgAliasInUse, kSeverityError, kDisplayByFocus, nullptr);
        return kMsgAliasInUse;
      }
    }
  }
  ViewpointRecord& record = records[static_cast<std::size_t>(index)];
  record.alias = alias;
  MarkRegisteredChanged(kRecordViewpointAlias, record.handle);
  Windows().RebuildWindowMenu();
  RenumberAliases();
  return 0;
}

bool ViewpointManager::SetAlias(int32_t index, const char* alias) {
  if (alias == nullptr || std::strlen(alias) > kMaxAliasLength) return false;
  DVError status(0, 0, kDisplayByFocus);
  return SetAlias(RWCString(alias), index, status) == 0;
}

void ViewpointManager::RenumberAliases() {
  int32_t next = 0;
  for (ViewpointRecord& record : Records()) record.aliasNumber = record.alias.isNull() ? -1 : next++;
  State().aliasedCount = static_cast<uint32_t>(next);
}

void ViewpointManager::SelectViewpoint(int32_t index) {
  ManagerState& state = State();
  state.current = index;
  const ViewpointHandle handle = ValidIndex(index) ? state.records[static_cast<std::size_t>(index)].handle
                                                   : ViewpointHandle::None();
  SetBaseViewpoint(handle);
  Windows().SetCommandWindowViewpoint(handle);
  MarkAllRecordsOfKindChanged(kRecordCurrentViewpoint);
  Windows().RefillViewpointDialog();
  Windows().RepaintCommandWindow();
}

void ViewpointManager::SelectIfNeeded(int32_t index, bool force) {
  if (force || index != State().current) SelectViewpoint(index);
}

void ViewpointManager::SelectByHandle(ViewpointHandle handle) {
  const int32_t index = IndexOfValue(handle.Value());
  if (index >= 0 && index != State().current) SelectViewpoint(index);
}

void ViewpointManager::SetPendingSelection(ViewpointHandle handle) { State().pending = handle; }

ViewpointHandle ViewpointManager::PendingSelection() { return State().pending; }

void ViewpointManager::ApplyPendingSelection() {
  ManagerState& state = State();
  if (state.locked || Windows().BusyCursorOnTop()) return;
  const int32_t index = state.pending.IsNone() ? -1 : IndexOfValue(state.pending.Value());
  state.pending = ViewpointHandle::None();
  if (index >= 0 && index != state.current) SelectViewpoint(index);
}

void ViewpointManager::SetSelectionLock(bool on) { State().locked = on; }

bool ViewpointManager::SelectionLocked() { return State().locked; }

void ViewpointManager::SetDialogSelection(int32_t index) {
  if (!ValidIndex(index)) return;
  State().dialogSelection = index;
  MarkAllRecordsOfKindChanged(kRecordStatusLine);
}

int32_t ViewpointManager::SelectedIndex(bool aliasedOnly) {
  ManagerState& state = State();
  if (!aliasedOnly || !ValidIndex(state.dialogSelection)) return state.dialogSelection;
  if (state.records[static_cast<std::size_t>(state.dialogSelection)].aliasNumber >= 0) return state.dialogSelection;
  for (std::size_t i = 0; i < state.records.size(); ++i) {
    if (state.records[i].aliasNumber >= 0) {
      state.dialogSelection = static_cast<int32_t>(i);
      return state.dialogSelection;
    }
  }
  return -1;
}

uint32_t ViewpointManager::AliasedCount() { return State().aliasedCount; }

void ViewpointManager::ApplyToWindowGroup(uint32_t value, uint32_t operation) {
  if (value == ViewpointHandle::kNone) return;
  if (operation > kWindowGroupRestore) ZENTOR_INTERNAL_ERROR();
  Windows().ApplyToWindowGroup(value, operation);
}

int32_t ViewpointManager::RunStateOf(ViewpointHandle handle) {
  ViewpointRecord* record = FindRecord(handle.Value());
  return record != nullptr ? record->runState : -1;
}

void ViewpointManager::SetRunState(ViewpointHandle handle, int32_t state) {
  if (ViewpointRecord* record = FindRecord(handle.Value())) record->runState = state;
}

bool ViewpointManager::AnyRunning() {
  for (const ViewpointRecord& record : Records()) {
    if (record.runState == kRunStateRunning) return true;
  }
  return false;
}

ViewpointHandle ViewpointManager::HandleAt(int32_t index) {
  return ValidIndex(index) ? Records()[static_cast<std::size_t>(index)].handle : ViewpointHandle::None();
}

RWCString ViewpointManager::AliasOf(int32_t index) {
  return ValidIndex(index) ? Records()[static_cast<std::size_t>(index)].alias : RWCString();
}

int32_t ViewpointManager::AliasNumberOf(int32_t index) {
  return ValidIndex(index) ? Records()[static_cast<std::size_t>(index)].aliasNumber : -1;
}

int32_t ViewpointManager::FindIndexByHandle(ViewpointHandle handle) {
  auto& records = Records();
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].handle == handle) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t ViewpointManager::FindIndexByAlias(const char* text) {
  if (text == nullptr) return -1;
  auto& records = Records();
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (!records[i].alias.isNull() && std::strcmp(records[i].alias.data(), text) == 0) {
      return static_cast<int32_t>(i);
    }
  }
  ViewpointHandle handle;
  handle.SetFromText(text);
  if (handle.IsNone()) return -1;
  return IndexOfValue(handle.Value());
}

ViewpointHandle ViewpointManager::ParseViewpointSpec(const char* text) {
  if (text == nullptr) return ViewpointHandle::None();
  if (text[0] == '[') ++text;
  if (std::strlen(text) > kMaxSpecLength) return ViewpointHandle::None();
  return HandleAt(FindIndexByAlias(text));
}

int32_t ViewpointManager::ColorSetOf(ViewpointHandle handle) {
  ViewpointRecord* record = FindRecord(handle.Value());
  return record != nullptr ? record->colorSet : 0;
}

void ViewpointManager::SetEventText(ViewpointHandle handle, const RWCString& text) {
  if (ViewpointRecord* record = FindRecord(handle.Value())) record->eventText = text;
}

RWCString ViewpointManager::EventTextOf(ViewpointHandle handle) {
  ViewpointRecord* record = FindRecord(handle.Value());
  return record != nullptr ? record->eventText : RWCString();
}

void ViewpointManager::SetStatusText(ViewpointHandle handle, const RWCString& text) {
  if (ViewpointRecord* record = FindRecord(handle.Value())) record->statusText = text;
}

RWCString ViewpointManager::StatusTextOf(ViewpointHandle handle) {
  ViewpointRecord* record = FindRecord(handle.Value());
  return record != nullptr ? record->statusText : RWCString();
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
  if (source == nullptr || source->symbolContext == nullptr) return;
  const SymbolContext& tables = *source->symbolContext;
  for (ViewpointRecord& record : Records()) {
    if (&record == source || record.symbolContext == nullptr) continue;
    g_contexts.Get().ShareTables(*record.symbolContext, tables);
  }
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

RWCString ViewpointManager::BuildDisplayName(uint32_t value, bool aliasWanted) {
  char name[ViewpointHandle::kMaxTextLength + 1] = {};
  ViewpointRecord* record = FindRecord(value);
  if (aliasWanted && record != nullptr && !record->alias.isNull()) {
    std::strncpy(name, record->alias.data(), ViewpointHandle::kMaxTextLength);
  } else {
    ViewpointHandle(value).GetText(name);
  }
  if (std::strlen(name) > kMaxDisplayNameLength) name[kMaxDisplayNameLength] = '\0';
  return RWCString(name);
}

void FormatViewpointName(uint32_t value, char* buffer, uint32_t size, bool aliasWanted) {
  if (buffer == nullptr || size == 0) return;
  if (size < 3) {
    buffer[0] = '\0';
    return;
  }
  const RWCString name = ViewpointManager::BuildDisplayName(value, aliasWanted);
  // "[" + name + "]" + NUL, cut to the buffer.
  size_t length = name.length();
  if (length > size - 3) length = size - 3;
  buffer[0] = '[';
  std::memcpy(buffer + 1, name.data(), length);
  buffer[length + 1] = ']';
  buffer[length + 2] = '\0';
}

}  // namespace zentor
