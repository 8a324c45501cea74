#include "engine/breakpoint_table.h"

#include <cstring>

#include "console/output_writer.h"
#include "console/pager.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/target_calls.h"
#include "core/viewpoint_manager.h"
#include "engine/dialog_records.h"
#include "engine/engine_target.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

// Starting capacities of the three vectors (break, conditional break, passpoint).
constexpr uint32_t kStartCapacity[kBreakpointKindCount] = {29, 14, 14};
// Order in which iteration visits the kinds.
constexpr uint32_t kVisitOrder[kBreakpointKindCount] = {kBreakKind, kPasspointKind, kConditionalBreakKind};

DVError InvalidIndex() { return DVError(kMsgInvalidIndex, kSeverityError, kDisplayByFocus); }

uint32_t CurrentValue() { return GetCurrentViewpointValue(); }

void SignalBreakpoints(uint32_t viewpoint) { MarkRegisteredChanged(kRecordBreakpoints, ViewpointHandle(viewpoint)); }

}  // namespace

const BreakpointTypeRow* BreakpointTypeTable() {
  const BreakpointTypeRow* rows = KeptTargetDescription().m_secondTable;
  return rows != nullptr ? rows : TmiBreakpointTypeTable();
}

void RaiseIfTargetFailed(const TargetStatus& status) { RaiseTargetStatus(status); }

uint32_t BreakpointKindFromCode(uint32_t code) {
  switch (code) {
    case 1: return kBreakKind;
    case 2: return kPasspointKind;
    case 3: return kConditionalBreakKind;
    default: ZENTOR_INTERNAL_ERROR();
  }
}

// ---- BreakpointRecord

RWCString BreakpointRecord::Name() const {
  static const char* const kPrefixes[kBreakpointKindCount] = {"br[", "cb[", "pp["};
  if (m_kind >= kBreakpointKindCount) throw DVError(kMsgInvalidInternalCase, kSeverityError, kDisplayByFocus);
  char text[32];
  std::snprintf(text, sizeof text, "%s%d]", kPrefixes[m_kind], m_slot);
  return RWCString(text);
}

RWCString BreakpointRecord::TypeName() const {
  const BreakpointTypeRow* rows = BreakpointTypeTable();
  for (uint32_t row = 0; row < kBreakpointTypeRowCount; ++row) {
    if (rows[row].m_type != m_type) continue;
    for (uint32_t code = 0; code < 6; ++code) {
      if (rows[row].m_accessCodes[code] == m_access) {
        const char* name = rows[row].m_accessNames[code];
        return RWCString(name != nullptr ? name : "");
      }
    }
    return RWCString();
  }
  return RWCString();
}

RWCString BreakpointRecord::ConditionText() const {
  const RWCString& text = m_expression.Text();
  const char* data = text.data();
  const char* open = std::strchr(data, '(');
  const char* close = std::strrchr(data, ')');
  if (open == nullptr || close == nullptr || close <= open) return RWCString();
  return RWCString(open + 1, static_cast<std::size_t>(close - open - 1));
}

uint32_t BreakpointRecord::EvaluateExpression(uint16_t* resultKind, uint8_t* value) {
  if (m_expression.Code() == kNullMemoryFile) return 0;
  DVErrorCode status;
  m_expression.Evaluate(&status, resultKind, value);
  if (!status.IsOkay()) {
    DVError error;
    m_expression.LastError(&error);
    if (error.IsOkay()) error = DVError(status);
    throw error;
  }
  return 1;
}

bool BreakpointRecord::AppliesToCurrentViewpoint() const {
  const uint32_t current = CurrentValue();
  if (m_viewpoint == current) return true;
  if (m_viewpointOnly != 0) return false;
  SymbolContext* own = ViewpointManager::SymbolContextOf(ViewpointHandle(m_viewpoint));
  SymbolContext* now = ViewpointManager::SymbolContextOf(ViewpointHandle(current));
  return own != nullptr && now != nullptr && &own->Loader() == &now->Loader();
}

bool BreakpointRecord::IsCodeBreakpoint() const {
  if (m_type == kEngineTypeTaskSwitch) return false;
  return !(m_type == kEngineTypeDebugRegister && m_access != kEngineAccessExecute);
}

bool BreakpointRecord::MatchesRequest(const BreakpointRequest& request) const {
  return m_type == request.m_hardware && m_access == request.m_lengthCode &&
         m_viewpointOnly == request.m_viewpointOnly &&
         m_address.Compare(AddressDescriptor(request.m_address)) == kAddressEqual;
}

void BreakpointRecord::PrintLine() const {
  RWCString line = Name();
  line += "=";
  line += m_text;
  if (m_kind == kConditionalBreakKind || m_kind == kPasspointKind) {
    line += "  ";
    line += ConditionText();
  }
  if (m_type == kEngineTypeDebugRegister || m_type == kEngineTypeTaskSwitch) {
    line += " ";
    line += TypeName();
  }
  if (m_enabled == 0) line += " <disabled>";
  line += "\r\n";
  OutputWriter::WriteString(line.data());
}

void BreakpointRecord::FillDialogEntry(BreakpointDialogEntry* entry) const {
  entry->m_enabled = m_enabled;
  entry->m_viewpointOnly = m_viewpointOnly;
  entry->m_type = m_type;
  entry->m_access = m_access;
  entry->m_locationText = m_text;
  entry->m_conditionText = ConditionText();
  entry->m_addressText = m_address.Text();
  entry->m_name = Name();
  entry->m_slot = m_slot;
  entry->m_kind = m_kind;
  entry->m_viewpoint = m_viewpoint;
}

// ---- BreakpointTable

BreakpointTable::BreakpointTable() { Reset(); }

BreakpointTable& BreakpointTable::Instance() {
  static BreakpointTable table;
  return table;
}

// A vector still at its starting capacity only needs its records emptied: the
// ordered vector keeps every slot past its entries a default record, so clearing
// leaves exactly what a fresh vector holds (session resets run once per fuzz input).
void BreakpointTable::Reset() {
  for (uint32_t kind = 0; kind < kBreakpointKindCount; ++kind) {
    if (m_vectors[kind].capacity() == kStartCapacity[kind]) {
      m_vectors[kind].clear();
    } else {
      m_vectors[kind] = BreakpointVector(64);
      m_vectors[kind].resize(kStartCapacity[kind]);
    }
    m_cursors[kind] = 0;
  }
}

BreakpointVector& BreakpointTable::VectorOfKind(uint32_t kind) {
  if (kind >= kBreakpointKindCount) ZENTOR_INTERNAL_ERROR();
  return m_vectors[kind];
}

BreakpointRecord& BreakpointTable::CheckedRecord(int32_t slot, uint32_t kind) {
  BreakpointVector& vector = VectorOfKind(kind);
  if (slot < 0 || slot >= kBreakpointSlotLimit || static_cast<uint32_t>(slot) >= vector.entries() ||
      vector[static_cast<uint32_t>(slot)].m_inUse == 0) {
    throw InvalidIndex();
  }
  return vector[static_cast<uint32_t>(slot)];
}

// 1. The request: operation 0, the location's address, type, access, the low 16 bits
//    of the element size, enabled, the viewpoint-only flag.
// 2. Slot -1 takes the first free record (or appends). An explicit slot outside 0..57
//    is 21. An in-use conditional break or passpoint of this viewpoint at the same
//    place only takes the new expression (no target request). Any other in-use slot
//    is replaced: its breakpoint is lifted first, and when the target refuses the new
//    one the old one is set again and its record restored before the first error is
//    raised.
// 3. The target's answer; refused, nothing in the table changed.
// 4. The record stored: appended, overwritten, or after free records up to the slot.
int32_t BreakpointTable::Set(int32_t slot, uint32_t kind, uint32_t type, uint32_t access,
                             const TypedLocation& location, const GrammarObject& expression, uint32_t enabled,
                             uint32_t viewpointOnly) {
  BreakpointRequest request;
  request.m_operation = kBreakpointAdd;
  request.m_address = location.AddressRef().Record();
  request.m_hardware = type;
  request.m_lengthCode = access;
  request.m_accessKind = static_cast<uint16_t>(location.ElementSize().Low());
  request.m_enabled = enabled;
  request.m_viewpointOnly = viewpointOnly;
  const uint32_t current = CurrentValue();
  BreakpointVector& vector = VectorOfKind(kind);

  if (slot == -1) {
    for (uint32_t i = 0; i < vector.entries(); ++i) {
      if (vector[i].m_inUse == 0) {
        slot = static_cast<int32_t>(i);
        break;
      }
    }
  } else if (slot < 0 || slot >= kBreakpointSlotLimit) {
    throw InvalidIndex();
  }

  BreakpointRecord replaced;
  if (slot >= 0 && static_cast<uint32_t>(slot) < vector.entries() &&
      vector[static_cast<uint32_t>(slot)].m_inUse != 0) {
    BreakpointRecord& old = vector[static_cast<uint32_t>(slot)];
    if ((kind == kConditionalBreakKind || kind == kPasspointKind) && old.m_viewpoint == current &&
        old.MatchesRequest(request)) {
      old.m_expression = expression;
      SignalBreakpoints(current);
      return slot;
    }
    replaced = old;
    Delete(slot, kind);
  }

  TargetStatus status;
  TheEngineTarget().BreakpointOperation(&status, current, &request);
  if (status.m_number != 0 && replaced.m_inUse != 0) {
    const DVError first(status);
    if (!first.IsWarning()) {
      BreakpointRequest again;
      again.m_operation = kBreakpointAdd;
      again.m_address = replaced.m_address.Record();
      again.m_hardware = replaced.m_type;
      again.m_lengthCode = replaced.m_access;
      again.m_accessKind = replaced.m_length;
      again.m_enabled = replaced.m_enabled;
      again.m_viewpointOnly = replaced.m_viewpointOnly;
      // Putting the old breakpoint back is a best effort: whatever happens to it, the
      // user gets the failure of what was asked.
      bool restored = false;
      try {
        ViewpointPushed pushed(ViewpointHandle(replaced.m_viewpoint));
        TargetStatus restore;
        TheEngineTarget().BreakpointOperation(&restore, replaced.m_viewpoint, &again);
        restored = restore.m_number == 0;
      } catch (const DVError&) {
        // The viewpoint could not be selected: the old breakpoint stays cleared.
      }
      if (restored) {
        replaced.m_identity = again.m_number;
        vector[static_cast<uint32_t>(slot)] = replaced;
        SignalBreakpoints(replaced.m_viewpoint);
      }
      throw first;
    }
  }
  RaiseTargetStatus(status);
  SignalBreakpoints(current);

  BreakpointRecord record;
  record.m_inUse = 1;
  record.m_identity = request.m_number;
  record.m_kind = kind;
  record.m_type = request.m_hardware;
  record.m_access = request.m_lengthCode;
  record.m_length = static_cast<uint16_t>(location.ElementSize().Low());
  record.m_enabled = request.m_enabled;
  record.m_viewpointOnly = request.m_viewpointOnly;
  record.m_address = AddressDescriptor(request.m_address);
  record.m_viewpoint = current;
  record.m_expression = expression;
  record.m_text = record.m_address.SymbolicText();

  if (slot == -1) {
    vector.insert(record);
    slot = static_cast<int32_t>(vector.entries() - 1);
  } else if (static_cast<uint32_t>(slot) < vector.entries()) {
    vector[static_cast<uint32_t>(slot)] = record;
  } else {
    while (vector.entries() < static_cast<uint32_t>(slot)) vector.insert(BreakpointRecord());
    vector.insert(record);
  }
  vector[static_cast<uint32_t>(slot)].m_slot = slot;
  return slot;
}

int32_t BreakpointTable::SetFromSourcePane(uint32_t kind, uint32_t type, const TypedLocation& location,
                                           uint32_t viewpointOnly) {
  return Set(-1, kind, type, type == kEngineTypeDebugRegister ? kEngineAccessExecute : kSoftwareAccess, location,
             GrammarObject(), 1, viewpointOnly);
}

void BreakpointTable::TargetOperation(uint32_t operation, uint32_t identity) {
  BreakpointRequest request;
  request.m_operation = operation;
  request.m_number = identity;
  TargetStatus status;
  TheEngineTarget().BreakpointOperation(&status, CurrentValue(), &request);
  RaiseTargetStatus(status);
}

void BreakpointTable::ChangeOne(int32_t slot, uint32_t kind, uint32_t operation) {
  auto apply = [&](BreakpointRecord& record) {
    TargetOperation(operation, record.m_identity);
    if (operation == kBreakpointDelete) {
      record.m_inUse = 0;
    } else {
      record.m_enabled = operation == kBreakpointEnable ? 1 : 0;
    }
  };
  if (slot != -1) {
    BreakpointRecord& record = CheckedRecord(slot, kind);
    apply(record);
    SignalBreakpoints(record.m_viewpoint);
    return;
  }
  const uint32_t current = CurrentValue();
  BreakpointVector& vector = VectorOfKind(kind);
  for (uint32_t i = 0; i < vector.entries(); ++i) {
    if (vector[i].m_inUse == 0 || vector[i].m_viewpoint != current) continue;
    apply(vector[i]);
    SignalBreakpoints(current);
  }
}

void BreakpointTable::Delete(int32_t slot, uint32_t kind) { ChangeOne(slot, kind, kBreakpointDelete); }
void BreakpointTable::Enable(int32_t slot, uint32_t kind) { ChangeOne(slot, kind, kBreakpointEnable); }
void BreakpointTable::Disable(int32_t slot, uint32_t kind) { ChangeOne(slot, kind, kBreakpointDisable); }

void BreakpointTable::ApplyToAll(uint32_t operation) {
  if (CountForCurrentViewpoint() == 0) return;
  TargetOperation(operation, 0);
  ApplyToAllRecords(operation);
}

void BreakpointTable::ApplyToAllRecords(uint32_t operation) {
  const uint32_t current = CurrentValue();
  SignalBreakpoints(current);
  for (uint32_t kind : kVisitOrder) {
    BreakpointVector& vector = m_vectors[kind];
    for (uint32_t i = 0; i < vector.entries(); ++i) {
      BreakpointRecord& record = vector[i];
      if (record.m_inUse == 0 || record.m_viewpoint != current) continue;
      switch (operation) {
        case kBreakpointDeleteAll: record.m_inUse = 0; break;
        case kBreakpointEnableAll: record.m_enabled = 1; break;
        case kBreakpointDisableAll: record.m_enabled = 0; break;
        default: throw DVError(kMsgInvalidInternalCase, kSeverityError, kDisplayByFocus);
      }
    }
  }
}

void BreakpointTable::ClearAll() { ApplyToAll(kBreakpointDeleteAll); }
void BreakpointTable::ForgetCurrentViewpoint() {
  if (CountForCurrentViewpoint() != 0) ApplyToAllRecords(kBreakpointDeleteAll);
}
void BreakpointTable::EnableAll() { ApplyToAll(kBreakpointEnableAll); }
void BreakpointTable::DisableAll() { ApplyToAll(kBreakpointDisableAll); }

void BreakpointTable::DeleteAtAddress(const AddressDescriptor& address) {
  DeleteAtAddressOfType(address, 0xFFFFFFFFu);
}

void BreakpointTable::DeleteAtAddressOfType(const AddressDescriptor& address, uint32_t type) {
  // The records are collected first: a deletion must not disturb the walk.
  ResetCursors();
  BreakpointRecord record;
  std::vector<std::pair<int32_t, uint32_t>> found;
  while (NextAtAddress(address, &record) != 0) {
    if (type == 0xFFFFFFFFu || record.m_type == type) found.emplace_back(record.m_slot, record.m_kind);
  }
  for (const auto& [slot, kind] : found) Delete(slot, kind);
}

BreakpointRecord BreakpointTable::Get(int32_t slot, uint32_t kind) { return CheckedRecord(slot, kind); }

void BreakpointTable::LocateByIdentity(uint32_t identity, int32_t* slot, uint32_t* kind) {
  *slot = -1;
  for (uint32_t k : kVisitOrder) {
    const BreakpointVector& vector = m_vectors[k];
    for (uint32_t i = 0; i < vector.entries(); ++i) {
      if (vector[i].m_inUse != 0 && vector[i].m_identity == identity) {
        *slot = static_cast<int32_t>(i);
        *kind = k;
        return;
      }
    }
  }
}

BreakpointRecord BreakpointTable::FindByIdentity(uint32_t identity) {
  int32_t slot = -1;
  uint32_t kind = 0;
  LocateByIdentity(identity, &slot, &kind);
  if (slot < 0) return BreakpointRecord();
  return m_vectors[kind][static_cast<uint32_t>(slot)];
}

uint32_t BreakpointTable::SlotsOfKind(uint32_t kind, int32_t* slots) {
  const BreakpointVector& vector = VectorOfKind(kind);
  uint32_t count = 0;
  for (uint32_t i = 0; i < vector.entries() && count < static_cast<uint32_t>(kBreakpointSlotLimit); ++i) {
    if (vector[i].m_inUse != 0) slots[count++] = static_cast<int32_t>(i);
  }
  return count;
}

uint32_t BreakpointTable::CountForCurrentViewpoint() {
  const uint32_t current = CurrentValue();
  uint32_t count = 0;
  for (const BreakpointVector& vector : m_vectors) {
    for (uint32_t i = 0; i < vector.entries(); ++i) {
      if (vector[i].m_inUse != 0 && vector[i].m_viewpoint == current) ++count;
    }
  }
  return count;
}

void BreakpointTable::CollectForCurrentViewpoint(BreakpointVector* records) {
  records->clear();
  ResetCursors();
  BreakpointRecord record;
  while (Next(&record) != 0) {
    if (record.AppliesToCurrentViewpoint()) records->insert(record);
  }
}

uint32_t BreakpointTable::Next(BreakpointRecord* record) {
  for (uint32_t kind : kVisitOrder) {
    int32_t& cursor = m_cursors[kind];
    if (cursor == -1) continue;
    const BreakpointVector& vector = m_vectors[kind];
    for (uint32_t i = static_cast<uint32_t>(cursor); i < vector.entries(); ++i) {
      if (vector[i].m_inUse != 0) {
        *record = vector[i];
        cursor = static_cast<int32_t>(i + 1);
        return 1;
      }
    }
    cursor = -1;
  }
  ResetCursors();
  return 0;
}

uint32_t BreakpointTable::NextAtAddress(const AddressDescriptor& address, BreakpointRecord* record) {
  while (Next(record) != 0) {
    if (record->m_address.Compare(address) == kAddressEqual && record->AppliesToCurrentViewpoint()) return 1;
  }
  return 0;
}

void BreakpointTable::ResetCursors() {
  for (int32_t& cursor : m_cursors) cursor = 0;
}

void BreakpointTable::CopyTypeTable(BreakpointTypeRow* rows) const {
  const BreakpointTypeRow* table = BreakpointTypeTable();
  for (uint32_t row = 0; row < kBreakpointTypeRowCount; ++row) rows[row] = table[row];
}

// 1. An explicit slot must be in use (21): it is listed, after the name of its
//    viewpoint when that is not the current one.
// 2. Slot -1: every record of the kind of the current viewpoint, the header before
//    the first, in one paged section.
void BreakpointTable::List(int32_t slot, uint32_t kind, const char* header) {
  if (slot != -1) {
    const BreakpointRecord& record = CheckedRecord(slot, kind);
    if (record.m_viewpoint != CurrentValue()) {
      char name[ViewpointManager::kMaxDisplayNameLength + 3] = {};
      FormatViewpointName(record.m_viewpoint, name, sizeof name, true);
      OutputWriter::WriteString(name);
      OutputWriter::WriteString(" ");
    }
    record.PrintLine();
    return;
  }
  const uint32_t current = CurrentValue();
  const BreakpointVector& vector = VectorOfKind(kind);
  Pager::BeginPaging();
  struct EndPaging {
    ~EndPaging() { Pager::EndPaging(); }
  } endPaging;
  bool first = true;
  for (uint32_t i = 0; i < vector.entries(); ++i) {
    if (vector[i].m_inUse == 0 || vector[i].m_viewpoint != current) continue;
    if (first && header != nullptr) OutputWriter::WriteString(header);
    first = false;
    vector[i].PrintLine();
  }
}

}  // namespace zentor
