#include "target/register_model.h"

#include <cstring>

#include "target/register_tables.h"
#include "target/target_gui.h"
#include "target/target_state.h"
#include "target/tmi_memory.h"
#include "command/action_table.h"
#include "command/command_scanner.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/hi_service.h"
#include "core/message_table.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgControlC = 80;
constexpr uint32_t kMsgToolExecuting = 84;
constexpr uint32_t kMsgZeroLength = 161;
constexpr uint32_t kMsgUndefinedRegister = 200;
constexpr uint32_t kMsgNoUserProgram = 324;
constexpr uint32_t kChangeKindRegisters = 8;
constexpr uint16_t kMaskWithFloatingPoint = 15;
constexpr uint16_t kMaskWithoutFloatingPoint = 7;
constexpr uint16_t kFramePointerMask = 5;
constexpr uint16_t kSelectorGeneral = 1;
constexpr uint16_t kSelectorFloating = 2;
constexpr uint16_t kDisplayTopValueSlot = 191;
// eflags bits the listing names (the flag table's masks together).
constexpr uint32_t kListedFlagsMask = 0x0ED5;
constexpr uint32_t kStackItemsPerLine = 8;

struct ModelState {
  RegisterBlock record;
  bool stale = true;
  uint32_t cachedViewpoint = ViewpointHandle::kNone;
  RegisterTableRow rows[kRegisterRowCount];
  RegisterTable table;
  bool tableBuilt = false;
};

ModelState& State() {
  static ModelState state;
  return state;
}

uint32_t KindSize(uint16_t kind) {
  switch (kind) {
    case kKindOrd1: return 1;
    case kKindOrd2: return 2;
    case kKindOrd4: return 4;
    case kKindReal10: return 10;
    default: return 0;
  }
}

uint8_t* FieldBytes(const RegisterField& field) { return State().record.Group(field.m_group) + field.m_offset; }

uint32_t FieldWord(const RegisterField& field) {
  uint8_t bytes[4] = {};
  std::memcpy(bytes, FieldBytes(field), KindSize(field.m_kind) < 4 ? KindSize(field.m_kind) : 4);
  return value_bytes::LoadU32(bytes);
}

uint16_t CurrentMask() { return IsFpuPresent() ? kMaskWithFloatingPoint : kMaskWithoutFloatingPoint; }

uint32_t Fill(TargetStatus* status, DVErrorCode code) {
  status->m_number = code.Number();
  status->m_severity = code.Severity();
  status->m_argumentCount = 0;
  status->m_arguments = nullptr;
  return code.Number();
}

TargetAddressRecord MemoryRecord(uint32_t segmentWord, uint32_t offset) {
  TargetAddressRecord record;
  record.m_nullMark = 0;
  record.m_addressClass = kAddressClassMemory;
  record.m_addressKind = kAddressKindMemoryOffset;
  record.m_reserved1 = 0;
  record.m_reserved2 = segmentWord;
  record.m_offset = offset;
  return record;
}

void BrowseToCodeAddress() {
  InstalledTargetGui().BrowseToAddress(MemoryRecord(FieldWord(kFieldCs), FieldWord(kFieldEip)));
}

void ThrowIfFailed(DVErrorCode code) {
  if (!code.IsOkay()) throw DVError(code);
}

// The floating-point rows exist only on a server with a unit.
bool FloatingRowUsable(uint32_t row) { return row < kRegisterRowCount && IsFpuPresent(); }

}  // namespace

void ClearRegisterRecord() { State().record = RegisterBlock{}; }

RegisterBlock& RegisterRecord() { return State().record; }

bool IsFpuPresent() { return AgentHasFloatingPoint(); }

const RegisterTable* GetRegisterTable() {
  ModelState& state = State();
  if (!state.tableBuilt) {
    for (uint32_t row = 0; row < kRegisterRowCount; ++row) {
      uint16_t kind = kKindBool1;
      if (row < kFirstFlagRow) kind = GeneralRegisterAt(row).m_field.m_kind;
      if (row >= kFirstFloatingRow) kind = FloatingRegisterAt(row - kFirstFloatingRow).m_field.m_kind;
      state.rows[row] = RegisterTableRow{RegisterRowName(row), DVPTypeInfo::FromCode(kind).TargetTypeId()};
    }
    state.table = RegisterTable{kRegisterRowCount, state.rows};
    state.tableBuilt = true;
  }
  return &state.table;
}

void AddRegisterKeywords(uint8_t tokenCode) {
  const RegisterTable* table = GetRegisterTable();
  for (uint32_t row = 0; row < table->m_rowCount; ++row) {
    CommandScanner::AddKeyword(tokenCode, static_cast<uint16_t>(row), table->m_rows[row].m_name);
  }
}

void InvalidateRegisterCache() { State().stale = true; }

DVErrorCode LoadRegisterCache() {
  ModelState& state = State();
  const ViewpointHandle current(GetCurrentViewpointValue());
  if (!state.stale && current == ViewpointHandle(state.cachedViewpoint)) return DVErrorCode();
  if (current.IsNone()) return DVErrorCode(kMsgNoUserProgram, kSeverityError);
  state.record.SetMask(CurrentMask());
  if (!TgtReadRegisters(current.Value(), &state.record)) {
    state.stale = true;
    return DVErrorCode(kMsgNoUserProgram, kSeverityError);
  }
  state.stale = false;
  state.cachedViewpoint = current.Value();
  return DVErrorCode();
}

DVErrorCode StoreRegisterCache() {
  ModelState& state = State();
  const uint32_t current = GetCurrentViewpointValue();
  if (current == ViewpointHandle::kNone) return DVErrorCode(kMsgNoUserProgram, kSeverityError);
  if (TgtIsBusy(current)) return DVErrorCode(kMsgToolExecuting, kSeverityError);
  state.record.SetMask(CurrentMask());
  DVErrorCode result;
  if (!TgtWriteRegisters(current, &state.record)) result = DVErrorCode(kMsgNoUserProgram, kSeverityError);
  MarkRegisteredChanged(kChangeKindRegisters, CurrentViewpoint());
  return result;
}

void GetRegisterNameByNumber(DVErrorCode* status, uint32_t number, char* buffer, uint32_t size) {
  *status = LoadRegisterCache();
  if (buffer == nullptr || size == 0) return;
  const char* name = RegisterNameByNumber(number);
  std::strncpy(buffer, name, size - 1);
  buffer[size - 1] = '\0';
}

uint32_t ReadProgramCounterRecord(TargetStatus* status, TargetAddressRecord* record) {
  const DVErrorCode loaded = LoadRegisterCache();
  if (!loaded.IsOkay()) return Fill(status, loaded);
  record->m_addressKind = kAddressKindMemoryOffset;
  record->m_reserved1 = 0;
  record->m_reserved2 = FieldWord(kFieldCs);
  record->m_offset = FieldWord(kFieldEip);
  return Fill(status, DVErrorCode());
}

// 1. Load; a failure is the answer.
// 2. eip takes the record's offset in the cached record.
// 3. Store. A failed store reloads, which keeps the record as it is (the cache is
//    still fresh), so the record shows the new eip until the next stop.
// 4. On success the register views and the code views follow the new address.
uint32_t WriteProgramCounterRecord(TargetStatus* status, const TargetAddressRecord* record) {
  const DVErrorCode loaded = LoadRegisterCache();
  if (!loaded.IsOkay()) return Fill(status, loaded);
  value_bytes::StoreU32(FieldBytes(kFieldEip), record->m_offset);
  const DVErrorCode stored = StoreRegisterCache();
  if (!stored.IsOkay()) {
    LoadRegisterCache();
    return Fill(status, stored);
  }
  MarkRegisteredChanged(kChangeKindRegisters, CurrentViewpoint());
  InstalledTargetGui().BrowseToAddress(*record);
  return Fill(status, DVErrorCode());
}

DVErrorCode ReadFramePointerRecord(TargetAddressRecord* record) {
  record->m_nullMark = 0;
  record->m_addressClass = kAddressClassMemory;
  // The failure is handed back rather than raised: a lookup asks for the frame of each
  // frame-relative symbol it weighs, and with no program every ask fails.
  const DVErrorCode loaded = LoadRegisterCache();
  if (!loaded.IsOkay()) return loaded;
  const uint32_t current = GetCurrentViewpointValue();
  if (current == ViewpointHandle::kNone) return DVErrorCode();
  // The loaded record holds ss and ebp: asking the agent again would bring nothing new.
  record->m_addressKind = kAddressKindMemoryOffset;
  record->m_reserved1 = 0;
  record->m_reserved2 = FieldWord(kFieldSs) & 0xFFFFu;
  record->m_offset = FieldWord(kFieldEbp);
  return DVErrorCode();
}

bool CachedProgramCounter(uint32_t id, uint32_t* eip, uint32_t* cs) {
  if (GetCurrentViewpointValue() != id || !LoadRegisterCache().IsOkay()) return false;
  *eip = FieldWord(kFieldEip);
  *cs = FieldWord(kFieldCs);
  return true;
}

uint32_t RegisterRowSize(uint32_t row) {
  if (row < kFirstFlagRow) return KindSize(GeneralRegisterAt(row).m_field.m_kind);
  if (row < kFirstFloatingRow) return 1;
  if (row < kRegisterRowCount) return KindSize(FloatingRegisterAt(row - kFirstFloatingRow).m_field.m_kind);
  return 0;
}

uint32_t GetRegisterValueByRow(TargetStatus* status, uint32_t, uint32_t row, uint8_t* out) {
  const DVErrorCode loaded = LoadRegisterCache();
  if (!loaded.IsOkay()) return Fill(status, loaded);
  if (row < kFirstFlagRow) {
    const RegisterField& field = GeneralRegisterAt(row).m_field;
    const uint32_t size = KindSize(field.m_kind);
    if (size == 0 || size > 4) return Fill(status, DVErrorCode(kMsgInvalidInternalCase, kSeverityInternal));
    std::memcpy(out, FieldBytes(field), size);
    return Fill(status, DVErrorCode());
  }
  if (row < kFirstFloatingRow) {
    out[0] = (FieldWord(kFieldEflags) & FlagRowAt(row - kFirstFlagRow).m_mask) != 0 ? 1 : 0;
    return Fill(status, DVErrorCode());
  }
  if (!FloatingRowUsable(row)) return Fill(status, DVErrorCode(kMsgUndefinedRegister, kSeverityError));
  const RegisterField& field = FloatingRegisterAt(row - kFirstFloatingRow).m_field;
  std::memcpy(out, FieldBytes(field), KindSize(field.m_kind));
  return Fill(status, DVErrorCode());
}

// 1. Load; a failure is the answer.
// 2. General rows store their 1, 2 or 4 bytes into the field (so "ah" changes byte 1
//    of eax only); a change of cs or eip moves the views to cs:eip before the record
//    goes to the agent.
// 3. Flag rows set or clear their eflags bit by bit 0 of the input byte.
// 4. Floating-point rows need a unit; fia and fda also take their selector words
//    from cs and ds.
// 5. Store; its failure is the answer (the record keeps the written value).
uint32_t SetRegisterValueByRow(TargetStatus* status, uint32_t, uint32_t row, const uint8_t* in) {
  const DVErrorCode loaded = LoadRegisterCache();
  if (!loaded.IsOkay()) return Fill(status, loaded);
  if (row < kFirstFlagRow) {
    const RegisterField& field = GeneralRegisterAt(row).m_field;
    const uint32_t size = KindSize(field.m_kind);
    if (size == 0 || size > 4) return Fill(status, DVErrorCode(kMsgInvalidInternalCase, kSeverityInternal));
    std::memcpy(FieldBytes(field), in, size);
    const bool codeAddressChanged = (field.m_group == kFieldEip.m_group && field.m_offset == kFieldEip.m_offset) ||
                                    (field.m_group == kFieldCs.m_group && field.m_offset == kFieldCs.m_offset);
    if (codeAddressChanged) BrowseToCodeAddress();
  } else if (row < kFirstFloatingRow) {
    const uint32_t mask = FlagRowAt(row - kFirstFlagRow).m_mask;
    uint32_t eflags = FieldWord(kFieldEflags);
    eflags = (in[0] & 1) != 0 ? (eflags | mask) : (eflags & ~mask);
    value_bytes::StoreU32(FieldBytes(kFieldEflags), eflags);
  } else {
    if (!FloatingRowUsable(row)) return Fill(status, DVErrorCode(kMsgUndefinedRegister, kSeverityError));
    const RegisterField& field = FloatingRegisterAt(row - kFirstFloatingRow).m_field;
    std::memcpy(FieldBytes(field), in, KindSize(field.m_kind));
    if (field.m_offset == kFieldFia.m_offset) {
      value_bytes::StoreU32(FieldBytes(kFieldFis), FieldWord(kFieldCs) & 0xFFFFu);
    } else if (field.m_offset == kFieldFda.m_offset) {
      value_bytes::StoreU32(FieldBytes(kFieldFds), FieldWord(kFieldDs) & 0xFFFFu);
    }
  }
  return Fill(status, StoreRegisterCache());
}

void ListRegistersAction() {
  const uint16_t selector = ValueStack::PopOrd2();
  ThrowIfFailed(LoadRegisterCache());
  if (selector == kSelectorGeneral) {
    for (uint32_t row = 0; row < 8; ++row) {
      const uint32_t value = FieldWord(GeneralRegisterAt(row).m_field);
      OutputWriter::Printf("%3s=%04x%04x", GeneralRegisterAt(row).m_name, value >> 16, value & 0xFFFFu);
      if (row == 3 || row == 7) {
        OutputWriter::FreshLine();
      } else {
        OutputWriter::WriteString("    ");
      }
    }
    const uint32_t eip = FieldWord(kFieldEip);
    OutputWriter::Printf("%3s=%04x%04x", "eip", eip >> 16, eip & 0xFFFFu);
    OutputWriter::FreshLine();
    OutputWriter::WriteString("flags: ");
    const uint32_t eflags = FieldWord(kFieldEflags);
    if ((eflags & kListedFlagsMask) == 0) {
      OutputWriter::WriteString(" none");
    } else {
      for (uint32_t index = 0; index < kFlagRowCount; ++index) {
        if ((eflags & FlagRowAt(index).m_mask) == 0) continue;
        OutputWriter::WriteString(FlagRowAt(index).m_name);
        OutputWriter::WriteString("   ");
      }
    }
    OutputWriter::FreshLine();
    return;
  }
  if (selector != kSelectorFloating || !IsFpuPresent()) return;
  Pager::BeginPaging();
  struct EndPaging {
    ~EndPaging() { Pager::EndPaging(); }
  } endPaging;
  for (uint32_t index = 0; index < kFloatingRowCount; ++index) {
    const FloatingRegisterRow& row = FloatingRegisterAt(index);
    OutputWriter::WriteString(row.m_name);
    OutputWriter::WriteString(": ");
    ValueStack::PushTyped(DVPTypeInfo::FromCode(row.m_field.m_kind), FieldBytes(row.m_field));
    ActionTable::Run(kDisplayTopValueSlot);
  }
}

// 1. Load; a failure is thrown.
// 2. The count: 1 when the command gave none, else the value as int4; 0 is 161.
// 3. From ss:esp, 32-bit items, eight to a line; Ctrl+C (80) ends a long listing.
void DumpStackAction() {
  ThrowIfFailed(LoadRegisterCache());
  int32_t count = 1;
  if (ValueStack::TopKind() == kKindNone) {
    ValueStack::Drop();
  } else {
    ValueStack::PopAs(kKindInt4, &count);
  }
  if (count == 0) throw DVError(kMsgZeroLength, kSeverityError, kDisplayByFocus);
  uint32_t address = FieldWord(kFieldEsp);
  const uint32_t stackSegment = FieldWord(kFieldSs);
  // The count is taken as unsigned: a large one (or a negative one) lists until the
  // first unreadable item or until the user breaks it off with Ctrl+C.
  const uint32_t items = static_cast<uint32_t>(count);
  for (uint32_t item = 1; item <= items && item != 0; ++item) {
    if (HiService(kGuiCheckUserBreak) != 0) throw DVError(kMsgControlC, kSeverityError, kDisplayByFocus);
    uint8_t bytes[4] = {};
    ReadTargetWord(MemoryRecord(stackSegment, address), bytes);
    const uint32_t value = value_bytes::LoadU32(bytes);
    OutputWriter::Printf(" %04x%04x", value >> 16, value & 0xFFFFu);
    address += 4;
    if (item % kStackItemsPerLine == 0) OutputWriter::FreshLine();
  }
  OutputWriter::FreshLine();
}

void ResetRegisterModel() {
  ModelState& state = State();
  state.record = RegisterBlock{};
  state.stale = true;
  state.cachedViewpoint = ViewpointHandle::kNone;
}

}  // namespace zentor
