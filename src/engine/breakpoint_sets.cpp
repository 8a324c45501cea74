#include "engine/breakpoint_sets.h"

#include <cctype>
#include <vector>

#include "command/action_table.h"
#include "command/grammar_object.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/program_load.h"
#include "core/viewpoint_manager.h"
#include "engine/breakpoint_commands.h"
#include "engine/breakpoint_table.h"
#include "engine/dialog_records.h"
#include "engine/engine_target.h"
#include "engine/settings_store.h"
#include "engine/watch_table.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgControlC = 80;
// The interpreter's keep-locations pair around a location text.
constexpr uint16_t kSlotBeginKeepLocations = 64;
constexpr uint16_t kSlotEndKeepLocations = 65;

DVError SettingsFileError() { return DVError(kMsgSettingsFileError, kSeverityError, kDisplayByFocus); }

// The field up to the next NUL, removed with it; a field without its NUL is 114.
std::string TakeField(std::string& text) {
  const std::size_t end = text.find('\0');
  if (end == std::string::npos) throw SettingsFileError();
  std::string field = text.substr(0, end);
  text.erase(0, end + 1);
  return field;
}

// The access field of a saved breakpoint.
const char* AccessField(uint32_t type, uint32_t access) {
  static const char* const kDigits[] = {"0", "1", "2", "3"};
  if (type == kEngineTypeSoftware) return "0";
  if (type == kEngineTypeDebugRegister) return access <= 2 ? kDigits[access] : "3";
  return access == 4 ? "0" : "1";
}

}  // namespace

void SerializeBreakpointEntry(std::string& text, const BreakpointDialogEntry& entry) {
  auto add = [&text](const RWCString& field) {
    text.append(field.data(), field.length());
    text += '\0';
  };
  add(entry.m_name);
  add(ViewpointManager::DisplayNameOf(entry.m_viewpoint, false));
  add(entry.m_locationText);
  add(entry.m_conditionText);
  add(RWCString(entry.m_enabled != 0 ? "1" : "0"));
  add(RWCString(entry.m_type == 0 ? "0" : entry.m_type == 1 ? "1" : "2"));
  add(RWCString(AccessField(entry.m_type, entry.m_access)));
  add(RWCString(entry.m_viewpointOnly != 0 ? "1" : "0"));
}

uint32_t ParseBreakpointText(std::string& text, BreakpointDialogEntry* entry) {
  const std::string name = TakeField(text);
  if (name == "EOF\n") return 0;
  const std::string prefix = name.substr(0, 2);
  if (prefix == "br") {
    entry->m_kind = kBreakKind;
  } else if (prefix == "cb") {
    entry->m_kind = kConditionalBreakKind;
  } else if (prefix == "pp") {
    entry->m_kind = kPasspointKind;
  } else {
    throw SettingsFileError();
  }
  entry->m_slot = name.size() > 3 ? std::atoi(name.c_str() + 3) : 0;
  TakeField(text);  // the viewpoint: every restored breakpoint is the current one's
  entry->m_locationText = TakeField(text).c_str();
  const std::string condition = TakeField(text);
  if (entry->m_kind == kConditionalBreakKind) {
    entry->m_conditionText = ("if (" + condition + ")").c_str();
  } else if (entry->m_kind == kPasspointKind && !condition.empty()) {
    entry->m_conditionText = ("printf (" + condition + ")").c_str();
  } else {
    entry->m_conditionText = condition.c_str();
  }
  entry->m_enabled = TakeField(text) == "1" ? 1 : 0;
  const std::string type = TakeField(text);
  if (type != "0" && type != "1" && type != "2") throw SettingsFileError();
  entry->m_type = static_cast<uint32_t>(type[0] - '0');
  const std::string access = TakeField(text);
  if (entry->m_type == kEngineTypeSoftware) {
    entry->m_access = kSoftwareAccess;
  } else if (entry->m_type == kEngineTypeDebugRegister) {
    if (access.size() != 1 || access[0] < '0' || access[0] > '3') throw SettingsFileError();
    entry->m_access = static_cast<uint32_t>(access[0] - '0');
  } else {
    if (access != "0" && access != "1") throw SettingsFileError();
    entry->m_access = access == "0" ? 4 : 5;
  }
  entry->m_viewpointOnly = TakeField(text) == "1" ? 1 : 0;
  return 1;
}

// 1. The location from its text, as code (a software or execute breakpoint) or data;
//    task-switch breakpoints cannot be set from texts.
// 2. The condition ("if (...)") or the passpoint's action ("printf (...)") parsed and
//    run once where it will run.
// 3. The breakpoint set in the slot asked for.
void AddBreakpointFromEntry(int32_t* result, uint32_t kind, int32_t slot, uint32_t type, uint32_t access,
                            const RWCString& locationText, const RWCString& conditionText, uint32_t enabled,
                            uint32_t viewpointOnly) {
  enabled = enabled == 1 ? 1 : 0;
  if (type == kEngineTypeTaskSwitch) ZENTOR_INTERNAL_ERROR();
  const bool dataWatch = type == kEngineTypeDebugRegister && access != kEngineAccessExecute;
  *result = -1;
  uint32_t locationKind = 0;
  TypedLocation location;
  DVError error;
  if (ActionTable::IsAvailable(kSlotBeginKeepLocations)) ActionTable::Run(kSlotBeginKeepLocations);
  const DVErrorCode status =
      EvaluateTextToLocationInto(locationText.data(), dataWatch ? kProductionLocationClass2 : kProductionLocation,
                                 &locationKind, &location, &error);
  if (ActionTable::IsAvailable(kSlotEndKeepLocations)) ActionTable::Run(kSlotEndKeepLocations);
  if (!status.IsOkay()) throw error.IsOkay() ? DVError(status) : error;
  if (locationKind == kLocationInactive) throw DVError(kMsgInvalidExecutionAddress, kSeverityError, kDisplayByFocus);

  *result = -2;
  GrammarObject expression;
  if (kind == kConditionalBreakKind) {
    expression = GrammarObject(conditionText.data(), kProductionCondition);
  } else if (kind == kPasspointKind && conditionText.length() != 0) {
    expression = GrammarObject(conditionText.data(), kProductionPassOutput);
  }
  if (!expression.Status().IsOkay()) throw DVError(expression.Status());
  if (expression.Code() != kNullMemoryFile) {
    const AddressDescriptor scope = dataWatch ? GetCurrentSymbolContext()->ScopeAddress() : location.AddressRef();
    CheckBreakpointExpression(scope, expression);
  }
  *result = -1;
  *result = BreakpointTable::Instance().Set(slot, kind, type, access, location, expression, enabled, viewpointOnly);
}

void FillDialogEntryFromSlot(BreakpointDialogEntry* entry) {
  BreakpointTable::Instance().Get(entry->m_slot, entry->m_kind).FillDialogEntry(entry);
}

void SaveBreakpointSet(const NamedSetRequest& request) {
  ScopedBreakMonitor monitor;
  std::string data(LoadedProgramFileName().data());
  data += '\0';
  for (uint32_t kind : {kBreakKind, kConditionalBreakKind, kPasspointKind}) {
    int32_t slots[kBreakpointSlotLimit];
    const uint32_t count = BreakpointTable::Instance().SlotsOfKind(kind, slots);
    for (uint32_t i = 0; i < count; ++i) {
      if (monitor.UserBreak()) throw DVError(kMsgControlC, kSeverityError, kDisplayByFocus);
      BreakpointDialogEntry entry;
      entry.m_slot = slots[i];
      entry.m_kind = kind;
      FillDialogEntryFromSlot(&entry);
      SerializeBreakpointEntry(data, entry);
    }
  }
  data += "EOF\n";
  if (TheSettingsStore().AddRecord(kBreakpointSetRecord, request.m_name, request.m_description,
                                   static_cast<uint32_t>(data.size()),
                                   reinterpret_cast<const uint8_t*>(data.data())) != 0) {
    throw SettingsFileError();
  }
}

// 1. The record, read whole (114 when the store fails); its first field is the
//    program it was saved for: "DEFAULT" is for any program, another set only for a
//    program of the same file name (ignoring case), else 334 and nothing changes.
// 2. Every entry is parsed before anything changes: a record that ends early, lacks
//    its end mark or holds an unknown name, type or access is 114.
// 3. Only then are the current viewpoint's breakpoints cleared and the entries set,
//    each in the first free slot of its kind; an entry that fails ends the restore.
void RestoreBreakpointSet(const NamedSetRequest& request) {
  std::vector<uint8_t> buffer(request.m_dataLength);
  uint32_t length = request.m_dataLength;
  RWCString description;
  if (TheSettingsStore().ReadRecord(kBreakpointSetRecord, request.m_name, &description, &length, buffer.data()) !=
          0 ||
      length > buffer.size()) {
    throw SettingsFileError();
  }
  std::string text(reinterpret_cast<const char*>(buffer.data()), length);
  text += '\0';
  const std::string program = TakeField(text);
  if (std::string(request.m_name.data()) != "DEFAULT" &&
      !SameProgramName(RWCString(program.c_str()), LoadedProgramFileName())) {
    DVError error(kMsgUnknownModule, kSeverityError, kDisplayByFocus);
    error.SetArg(0, program.c_str());
    throw error;
  }
  std::vector<BreakpointDialogEntry> entries;
  for (;;) {
    BreakpointDialogEntry entry;
    if (ParseBreakpointText(text, &entry) == 0) break;
    entries.push_back(entry);
  }
  if (!text.empty()) throw SettingsFileError();
  BreakpointTable::Instance().ClearAll();
  for (const BreakpointDialogEntry& entry : entries) {
    int32_t result = 0;
    AddBreakpointFromEntry(&result, entry.m_kind, -1, entry.m_type, entry.m_access, entry.m_locationText,
                           entry.m_conditionText, entry.m_enabled, entry.m_viewpointOnly);
  }
}

void HandleBreakpointRequest(DVError* status, uint32_t /*window*/, uint32_t code, void* data) {
  status->Reset();
  try {
    auto* request = static_cast<BreakpointDialogRequest*>(data);
    BreakpointTable& table = BreakpointTable::Instance();
    switch (code) {
      case 0xC9:
      case 0xCA:
      case 0xCD:
      case 0xCE:
      case 0xD4:
      case 0xD5:
        if (request->m_kind == kWatchEntryKind) {
          WatchTable::HandleDialogRequest(status, code, &request->m_watch);
          return;
        }
        break;
      case 0xCC: {
        auto* entry = static_cast<BreakpointDialogEntry*>(data);
        if (entry->m_kind == kWatchEntryKind) {
          WatchTable::HandleDialogRequest(status, code, &entry->m_watch);
          return;
        }
        break;
      }
      default: break;
    }
    switch (code) {
      case 0x58:
      case 0xD1: RestoreBreakpointSet(*static_cast<NamedSetRequest*>(data)); break;
      case 0xC9:
      case 0xCB:
        request->m_result = -1;
        AddBreakpointFromEntry(&request->m_result, request->m_kind, request->m_slot, request->m_type,
                               request->m_access, request->m_locationText, request->m_conditionText,
                               request->m_enabled, request->m_viewpointOnly);
        break;
      case 0xCA:
      case 0xD4:
      case 0xD5:
        request->m_result = -1;
        if (code == 0xCA) table.Delete(request->m_slot, request->m_kind);
        if (code == 0xD4) table.Enable(request->m_slot, request->m_kind);
        if (code == 0xD5) table.Disable(request->m_slot, request->m_kind);
        request->m_result = 0;
        break;
      case 0xCC: FillDialogEntryFromSlot(static_cast<BreakpointDialogEntry*>(data)); break;
      case 0xCD:
        request->m_slot = 0;
        request->m_slot = static_cast<int32_t>(table.SlotsOfKind(request->m_kind, request->m_slots));
        break;
      case 0xCE:
        request->m_result = -1;
        request->m_result = static_cast<int32_t>(table.CountForCurrentViewpoint());
        break;
      case 0xCF:
        request->m_result = -1;
        table.ClearAll();
        request->m_result = 0;
        break;
      case 0xD0: SaveBreakpointSet(*static_cast<NamedSetRequest*>(data)); break;
      case 0xD2:
        if (TheSettingsStore().RemoveRecord(kBreakpointSetRecord, static_cast<NamedSetRequest*>(data)->m_name) != 0) {
          throw SettingsFileError();
        }
        break;
      case 0xD3: {
        auto* list = static_cast<NamedSetList*>(data);
        list->m_count = TheSettingsStore().ListAllRecords(kBreakpointSetRecord, list);
        break;
      }
      case 0xD6: table.CopyTypeTable(static_cast<BreakpointTypeRow*>(data)); break;
      default: ZENTOR_INTERNAL_ERROR();
    }
  } catch (const DVError& error) {
    *status = error;
  }
}

}  // namespace zentor
