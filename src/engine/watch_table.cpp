#include "engine/watch_table.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "command/grammar_object.h"
#include "command/postfix_executor.h"
#include "console/output_writer.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/program_load.h"
#include "core/value_stack.h"
#include "core/viewpoint_manager.h"
#include "engine/breakpoint_commands.h"
#include "engine/breakpoint_table.h"
#include "engine/dialog_records.h"
#include "engine/settings_store.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

struct WatchRecord {
  uint32_t viewpoint = 0;
  uint8_t state = kWatchFree;
  std::unique_ptr<GrammarObject> expression;
  AddressDescriptor scope;
  bool everUsed = false;  // a freed slot keeps its owner; a slot never used has none
};

WatchRecord g_watchSlots[kWatchSlotCount];

// The longest source text a watch command keeps.
constexpr uint32_t kLongestWatchText = 1023;
// Slot 191 of the action table: the command language's display of the top value.
constexpr uint16_t kSlotDisplayTopValue = 191;

DVError InvalidIndex() { return DVError(kMsgInvalidIndex, kSeverityError, kDisplayByFocus); }
DVError SettingsFileError() { return DVError(kMsgSettingsFileError, kSeverityError, kDisplayByFocus); }

uint32_t CurrentValue() { return GetCurrentViewpointValue(); }

bool InUse(const WatchRecord& slot) { return slot.state != kWatchFree; }

void SignalWatches(uint32_t viewpoint) { MarkRegisteredChanged(kRecordWatches, ViewpointHandle(viewpoint)); }

// The index operand: an omitted one is -1, else a 16-bit signed number.
int32_t PopWatchIndex() {
  if (ValueStack::TopKind() == kKindNone) {
    ValueStack::Drop();
    return -1;
  }
  int16_t index = 0;
  ValueStack::PopAs(kKindInt2, &index);
  return index;
}

int32_t FirstFreeSlot() {
  for (uint32_t i = 0; i < kWatchSlotCount; ++i) {
    if (!InUse(g_watchSlots[i])) return static_cast<int32_t>(i);
  }
  throw DVError(kMsgTooManyWatches, kSeverityError, kDisplayByFocus);
}

// -1: the first free slot (203 when none); 0..29 itself; anything else 21.
int32_t ChosenSlot(int32_t slot) {
  if (slot == -1) return FirstFreeSlot();
  if (slot < 0 || slot >= static_cast<int32_t>(kWatchSlotCount)) throw InvalidIndex();
  return slot;
}

// Runs the expression once; its failure is raised.
void RunOnce(GrammarObject& expression) {
  DVErrorCode status;
  uint16_t kind = 0;
  std::vector<uint8_t> value(ValueStack::kMaxItemSize);
  expression.Evaluate(&status, &kind, value.data());
  if (status.IsOkay()) return;
  DVError error;
  expression.LastError(&error);
  if (error.IsOkay()) error = DVError(status);
  throw error;
}

// Stores a watch that has parsed and run, replacing whatever the slot held.
void Store(int32_t slot, const GrammarObject& expression, const AddressDescriptor& scope) {
  WatchTable::Delete(slot);
  WatchRecord& record = g_watchSlots[slot];
  record.expression = std::make_unique<GrammarObject>(expression);
  record.viewpoint = CurrentValue();
  record.scope = scope;
  record.state = kWatchEnabled;
  record.everUsed = true;
  SignalWatches(record.viewpoint);
}

// The shown text: the source text without its last character (the line end).
RWCString ShownTextOf(const WatchRecord& slot) {
  if (slot.expression == nullptr) return RWCString();
  const RWCString& text = slot.expression->Text();
  return text.length() == 0 ? RWCString() : RWCString(text.data(), text.length() - 1);
}

RWCString Cut(const RWCString& text, uint32_t width) {
  return text.length() <= width ? text : RWCString(text.data(), width);
}

// Evaluates the watch and writes its value in the current base; false (nothing
// written) when the evaluation failed or gave no value.
bool DisplayValueOf(const WatchRecord& record) {
  DVErrorCode status;
  uint16_t kind = 0;
  std::vector<uint8_t> value(ValueStack::kMaxItemSize);
  record.expression->Evaluate(&status, &kind, value.data());
  if (!status.IsOkay() || kind == 0) return false;
  ValueStack::Push(kind, value.data());
  ActionTable::Run(kSlotDisplayTopValue);
  return true;
}

RWCString SlotName(uint32_t slot) {
  char name[16];
  std::snprintf(name, sizeof name, "wa[%u]", slot);
  return RWCString(name);
}

// One parsed entry of a saved set.
struct SavedWatch {
  RWCString text;
  RWCString scope;
  bool enabled = false;
};

// A saved set, checked whole before anything changes: the header, then entries of
// four fields (each ended by a NUL or a line end) up to the end mark "EOF\n". Any walk
// past the data, a name that is not wa[...] or a flag other than "1"/"0" is 114.
std::vector<SavedWatch> ParseSet(const uint8_t* data, uint32_t length, RWCString* header) {
  uint32_t at = 0;
  auto field = [&](bool lineEndEnds) {
    const uint32_t start = at;
    while (at < length && data[at] != 0 && !(lineEndEnds && data[at] == '\n')) ++at;
    if (at >= length) throw SettingsFileError();
    RWCString text(reinterpret_cast<const char*>(data) + start, at - start);
    ++at;
    return text;
  };
  *header = field(false);
  std::vector<SavedWatch> entries;
  for (;;) {
    if (length - at >= 4 && std::string(reinterpret_cast<const char*>(data) + at, 4) == "EOF\n") return entries;
    const RWCString name = field(true);
    if (std::string(name.data()).rfind("wa[", 0) != 0) throw SettingsFileError();
    SavedWatch entry;
    entry.text = field(true);
    entry.scope = field(true);
    const RWCString flag = field(true);
    if (flag != "1" && flag != "0") throw SettingsFileError();
    entry.enabled = flag == "1";
    entries.push_back(entry);
  }
}

}  // namespace

// A slot never used since the last start is as that start left it (defining a watch
// is the only change a free slot takes), so only the used ones are made anew.
void InitWatchTable() {
  for (WatchRecord& slot : g_watchSlots) {
    if (slot.everUsed) slot = WatchRecord();
  }
}

bool IsWatchSlotFree(uint32_t slot) {
  if (slot >= kWatchSlotCount) ZENTOR_INTERNAL_ERROR();
  return !InUse(g_watchSlots[slot]);
}

uint32_t FreeWatchSlotCount() { return WatchTable::FreeCount(); }

uint32_t WatchTable::FreeCount() {
  uint32_t count = 0;
  for (const WatchRecord& slot : g_watchSlots) count += InUse(slot) ? 0 : 1;
  return count;
}

uint8_t WatchTable::StateOf(uint32_t slot) { return slot < kWatchSlotCount ? g_watchSlots[slot].state : kWatchFree; }
uint32_t WatchTable::ViewpointOf(uint32_t slot) { return slot < kWatchSlotCount ? g_watchSlots[slot].viewpoint : 0; }
RWCString WatchTable::ShownText(uint32_t slot) {
  return slot < kWatchSlotCount ? ShownTextOf(g_watchSlots[slot]) : RWCString();
}
AddressDescriptor WatchTable::ScopeOf(uint32_t slot) {
  return slot < kWatchSlotCount ? g_watchSlots[slot].scope : AddressDescriptor();
}

void WatchTable::Delete(int32_t slot) {
  if (slot < 0 || slot >= static_cast<int32_t>(kWatchSlotCount)) throw InvalidIndex();
  WatchRecord& record = g_watchSlots[slot];
  if (InUse(record)) SignalWatches(record.viewpoint);
  record.expression.reset();
  record.state = kWatchFree;
}

void WatchTable::DeleteForCurrentViewpoint() {
  const uint32_t current = CurrentValue();
  for (uint32_t i = 0; i < kWatchSlotCount; ++i) {
    if (InUse(g_watchSlots[i]) && g_watchSlots[i].viewpoint == current) Delete(static_cast<int32_t>(i));
  }
}

void WatchTable::SetEnabled(int32_t slot, uint32_t mode) {
  auto change = [mode](WatchRecord& record) {
    if (!InUse(record)) return;
    record.state = mode == kWatchEnable ? kWatchEnabled : kWatchDisabled;
    SignalWatches(record.viewpoint);
  };
  if (slot == -1) {
    const uint32_t current = CurrentValue();
    for (WatchRecord& record : g_watchSlots) {
      if (record.viewpoint == current) change(record);
    }
    return;
  }
  if (slot < 0 || slot >= static_cast<int32_t>(kWatchSlotCount)) throw InvalidIndex();
  change(g_watchSlots[slot]);
}

int32_t WatchTable::DefineFromText(int32_t slot, RWCString* scopeText, const RWCString& expressionText,
                                   uint32_t enabled) {
  SymbolContext* context = GetCurrentSymbolContext();
  const bool scopeGiven = scopeText != nullptr && scopeText->length() != 0;
  AddressDescriptor scope = context->ScopeAddress();
  if (scopeGiven) {
    uint32_t kind = 0;
    TypedLocation location;
    DVError error;
    const DVErrorCode status = EvaluateTextToLocationInto(scopeText->data(), kProductionLocation, &kind, &location,
                                                          &error);
    if (kind == kLocationFromWideInteger || (kind == kLocationInactive && status.IsOkay())) {
      throw DVError(kMsgInvalidExecutionAddress, kSeverityError, kDisplayByFocus);
    }
    if (!status.IsOkay()) throw error.IsOkay() ? DVError(status) : error;
    scope = location.AddressRef();
  }
  GrammarObject expression(expressionText.data(), kProductionExpression);
  if (!expression.Status().IsOkay()) throw DVError(expression.Status());
  if (scopeGiven) {
    context->PushScopeAddress(scope);
    try {
      RunOnce(expression);
    } catch (...) {
      context->PopScopeAddress();
      throw;
    }
    context->PopScopeAddress();
  } else {
    RunOnce(expression);
  }
  slot = ChosenSlot(slot);
  Store(slot, expression, scope);
  if (scopeText != nullptr) *scopeText = scope.SymbolicText();
  SetEnabled(slot, enabled == 1 ? kWatchEnable : kWatchDisable);
  return slot;
}

void WatchTable::AddFromGrammarObject(DVErrorCode* status, const GrammarObject& expression) {
  int32_t slot = -1;
  for (uint32_t i = 0; i < kWatchSlotCount && slot < 0; ++i) {
    if (!InUse(g_watchSlots[i])) slot = static_cast<int32_t>(i);
  }
  if (slot < 0) {
    *status = DVErrorCode(kMsgTooManyWatches, kSeverityError);
    return;
  }
  GrammarObject copy(expression);
  RunOnce(copy);
  Store(slot, copy, GetCurrentSymbolContext()->ScopeAddress());
}

void WatchTable::List(uint32_t all) {
  const uint32_t current = CurrentValue();
  bool first = true;
  for (uint32_t i = 0; i < kWatchSlotCount; ++i) {
    const WatchRecord& record = g_watchSlots[i];
    if ((!InUse(record) && all == 0) || record.viewpoint != current) continue;
    if (!InUse(record) && !record.everUsed) continue;
    if (first) OutputWriter::WriteString(all != 0 ? "--- All Watches ---\r\n" : "--- Watches ---\r\n");
    first = false;
    OutputWriter::Printf("wa[%d] =", static_cast<int32_t>(i));
    if (!InUse(record)) {
      OutputWriter::WriteString(" <Undefined>");
    } else {
      OutputWriter::WriteString(ShownTextOf(record).data());
      if (record.state == kWatchDisabled) OutputWriter::WriteString(" <Disabled>");
    }
    OutputWriter::FreshLine();
  }
}

// The stored text counts its last character, so every shown text is followed by at
// least one blank.
uint32_t WatchTable::LongestEnabledText() {
  const uint32_t current = CurrentValue();
  uint32_t width = 0;
  for (const WatchRecord& record : g_watchSlots) {
    if (record.state == kWatchEnabled && record.viewpoint == current) {
      width = std::max<uint32_t>(width, record.expression->Text().length());
    }
  }
  return width;
}

void WatchTable::WriteWindowLines(uint32_t width) {
  const uint32_t current = CurrentValue();
  for (uint32_t i = 0; i < kWatchSlotCount; ++i) {
    WatchRecord& record = g_watchSlots[i];
    if (record.state != kWatchEnabled || record.viewpoint != current) continue;
    const RWCString shown = ShownTextOf(record);
    std::string head = "wa[" + std::to_string(i) + "] " + shown.data();
    head.append(width > shown.length() ? width - shown.length() : 0, ' ');
    head += ": ";
    OutputWriter::WriteString(head.c_str());
    SymbolContext* context = GetCurrentSymbolContext();
    context->PushScopeAddress(record.scope);
    struct PopScope {
      SymbolContext* context;
      ~PopScope() { context->PopScopeAddress(); }
    } popScope{context};
    try {
      if (!DisplayValueOf(record)) OutputWriter::WriteString("*ERROR*");
    } catch (const DVError&) {
      OutputWriter::WriteString("???");
    }
    OutputWriter::FreshLine();
  }
}

void WatchTable::FillEntry(WatchEntry* entry) {
  if (entry->m_slot < 0 || entry->m_slot >= static_cast<int32_t>(kWatchSlotCount)) throw InvalidIndex();
  const WatchRecord& record = g_watchSlots[entry->m_slot];
  entry->m_enabled = record.state == kWatchEnabled ? 1 : 0;
  entry->m_text = Cut(ShownTextOf(record), kDialogTextWidth);
  // A watch without a scope address names none (its restore takes the current one).
  entry->m_scopeText = record.scope.IsNull() ? RWCString() : Cut(record.scope.SymbolicText(), kDialogScopeWidth);
  entry->m_name = SlotName(static_cast<uint32_t>(entry->m_slot));
  entry->m_kind = kWatchEntryKind;
}

uint32_t WatchTable::CurrentViewpointSlots(int32_t* slots) {
  const uint32_t current = CurrentValue();
  uint32_t count = 0;
  for (uint32_t i = 0; i < kWatchSlotCount; ++i) {
    if (InUse(g_watchSlots[i]) && g_watchSlots[i].viewpoint == current) slots[count++] = static_cast<int32_t>(i);
  }
  return count;
}

void WatchTable::SaveSet(const NamedSetRequest& request) {
  int32_t slots[kWatchSlotCount];
  const uint32_t count = CurrentViewpointSlots(slots);
  std::string data(LoadedProgramFileName().data());
  data += '\0';
  for (uint32_t i = 0; i < count; ++i) {
    WatchEntry entry;
    entry.m_slot = slots[i];
    FillEntry(&entry);
    data += entry.m_name.data();
    data += '\0';
    data += entry.m_text.data();
    data += '\0';
    data += entry.m_scopeText.data();
    data += '\0';
    data += entry.m_enabled != 0 ? "1\n" : "0\n";
  }
  data += "EOF\n";
  if (TheSettingsStore().AddRecord(kWatchSetRecord, request.m_name, request.m_description,
                                   static_cast<uint32_t>(data.size()),
                                   reinterpret_cast<const uint8_t*>(data.data())) != 0) {
    throw SettingsFileError();
  }
}

// The record is read and checked whole first; a set of another program is not
// restored (and says nothing); a sound one replaces the current viewpoint's watches,
// each in the first free slot. An entry that fails ends the restore with its error.
void WatchTable::RestoreSet(const NamedSetRequest& request) {
  std::vector<uint8_t> data(request.m_dataLength);
  uint32_t length = request.m_dataLength;
  RWCString description;
  if (TheSettingsStore().ReadRecord(kWatchSetRecord, request.m_name, &description, &length, data.data()) != 0 ||
      length > data.size()) {
    throw SettingsFileError();
  }
  RWCString header;
  const std::vector<SavedWatch> entries = ParseSet(data.data(), length, &header);
  if (request.m_name != "DEFAULT" && !SameProgramName(header, LoadedProgramFileName())) return;
  DeleteForCurrentViewpoint();
  for (const SavedWatch& entry : entries) {
    RWCString scope = entry.scope;
    DefineFromText(-1, &scope, entry.text, entry.enabled ? 1 : 0);
  }
}

uint32_t WatchTable::HandleDialogRequest(DVError* status, uint32_t code, void* record) {
  status->Reset();
  auto* request = static_cast<WatchDialogRequest*>(record);
  try {
    switch (code) {
      case 0xC9:
      case 0xCB: {
        request->m_busy = -1;
        const int32_t slot = code == 0xC9 ? -1 : request->m_slot;
        const uint32_t enabled = code == 0xC9 ? 1 : request->m_enabled;
        DefineFromText(slot, &request->m_scopeText, request->m_expressionText, enabled);
        request->m_busy = 0;
        break;
      }
      case 0xCA:
        request->m_busy = -1;
        Delete(request->m_slot);
        request->m_busy = 0;
        break;
      case 0xCC: FillEntry(static_cast<WatchEntry*>(record)); break;
      case 0xCD: request->m_slot = static_cast<int32_t>(CurrentViewpointSlots(request->m_slots)); break;
      case 0xCE: request->m_busy = static_cast<int32_t>(FreeCount()); break;
      case 0xD4:
      case 0xD5:
        request->m_busy = -1;
        SetEnabled(request->m_slot, code == 0xD4 ? kWatchEnable : kWatchDisable);
        request->m_busy = 0;
        break;
      default: ZENTOR_INTERNAL_ERROR();
    }
  } catch (const DVError& error) {
    *status = error;
  }
  return status->Number();
}

// 1. The slot: -1 the first free one, 0..29 itself (203 none free, 21 out of range).
// 2. The expression's code and text blocks are taken from the running command.
// 3. The expression runs once in the current scope; only when it ran does it replace
//    what the slot held.
void AddWatchCommand() {
  const int32_t slot = ChosenSlot(PopWatchIndex());
  const MemoryFileHandle code = PostfixExecutor::TakeNestedBlock();
  struct DestroyCode {
    MemoryFileHandle code;
    ~DestroyCode() { PostfixExecutor::DestroyCode(code); }
  } destroy{code};
  const RWCString text = TakeEmbeddedText(kLongestWatchText);
  GrammarObject expression(code, text.data());
  if (!expression.Status().IsOkay()) throw DVError(expression.Status());
  const AddressDescriptor scope = GetCurrentSymbolContext()->ScopeAddress();
  RunOnce(expression);
  Store(slot, expression, scope);
}

void ShowWatchValuesCommand() {
  const int32_t index = PopWatchIndex();
  if (index < -1 || index >= static_cast<int32_t>(kWatchSlotCount)) throw InvalidIndex();
  const uint32_t current = CurrentValue();
  const uint32_t first = index == -1 ? 0 : static_cast<uint32_t>(index);
  const uint32_t end = index == -1 ? kWatchSlotCount : first + 1;
  for (uint32_t i = first; i < end; ++i) {
    WatchRecord& record = g_watchSlots[i];
    if (!InUse(record)) continue;
    const bool own = record.viewpoint == current;
    if (index == -1 && !own) continue;
    if (own) {
      OutputWriter::Printf("wa[%d] =", static_cast<int32_t>(i));
    } else {
      char name[ViewpointManager::kMaxDisplayNameLength + 3] = {};
      FormatViewpointName(record.viewpoint, name, sizeof name, true);
      OutputWriter::Printf("%s wa[%d] =", name, static_cast<int32_t>(i));
    }
    // Another viewpoint's watch is shown in that viewpoint.
    std::optional<ViewpointPushed> other;
    if (!own) other.emplace(ViewpointHandle(record.viewpoint));
    OutputWriter::WriteString(ShownTextOf(record).data());
    OutputWriter::WriteString(" : ");
    if (record.state == kWatchDisabled) {
      OutputWriter::WriteString("<Disabled>");
      OutputWriter::FreshLine();
      continue;
    }
    if (!DisplayValueOf(record)) OutputWriter::WriteString("<Inactive>");
    OutputWriter::FreshLine();
  }
}

void DeleteWatchesCommand() { WatchTable::DeleteForCurrentViewpoint(); }

void BindWatchActions() {
  ActionTable::Bind(62, &AddWatchCommand, "AddWatchCommand");
  ActionTable::Bind(63, &ShowWatchValuesCommand, "ShowWatchValuesCommand");
  ActionTable::Bind(78, &DeleteWatchesCommand, "DeleteWatchesForViewpoint");
}

}  // namespace zentor
