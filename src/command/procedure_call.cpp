#include "command/procedure_call.h"

#include "command/action_table.h"
#include "command/command_scanner.h"
#include "command/debug_variables.h"
#include "command/postfix_executor.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/token_record.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"

#include <cstring>
#include <optional>
#include <vector>

namespace zentor {
namespace {

using namespace value_bytes;

constexpr uint8_t kTokenIdentifier = 121;
constexpr uint8_t kTokenProcedureName = 84;
// Slot of the value display that a return typed at the prompt runs.
constexpr uint16_t kDisplayTopValueSlot = 191;

struct FrameState {
  MemoryFileHandle file = kNullMemoryFile;
  ProcFrameRecord frame;
};

FrameState& Frames() {
  static FrameState state;
  return state;
}

void ThrowIfFailed(DVErrorCode status) {
  if (!status.IsOkay()) throw DVError(status);
}

MemoryFile& FrameFile() {
  FrameState& state = Frames();
  if (state.file == kNullMemoryFile) CreateProcedureFrameFile();
  return MemoryFileOf(state.file);
}

void WriteWord32(MemoryFile& file, uint32_t value) {
  uint8_t bytes[4];
  StoreU32(bytes, value);
  ThrowIfFailed(file.Write(4, 1, bytes));
}

uint32_t ReadWord32(MemoryFile& file) {
  uint8_t bytes[4];
  ThrowIfFailed(file.Read(4, 1, bytes));
  return LoadU32(bytes);
}

void RaiseOutsideProcedure() {
  throw DVError(kMsgParameterOutsideProc, kSeverityError, kDisplayByFocus);
}

// The command's own code and at least one procedure (or other nested run) below the
// running code: the condition under which arguments may be asked for.
bool InsideProcedure() { return PostfixExecutor::CodeStackDepth() >= 2; }

// Puts the frame record saved in front of the current frame back in force.
void RestoreCallerFrame() {
  MemoryFile& file = FrameFile();
  FrameState& state = Frames();
  ThrowIfFailed(file.Seek(state.frame.frameStart));
  uint8_t image[ProcFrameRecord::kImageSize];
  ThrowIfFailed(file.ReadBack(ProcFrameRecord::kImageSize, image));
  state.frame = ProcFrameRecord::ReadImage(image);
  if (file.Size() - file.Position() > kFrameFileShrinkSlack) file.Truncate();
}

struct ProcedureTable {
  // Slot i holds id i + 1; a released slot is empty until it is reused.
  std::vector<std::optional<ProcedureRecord>> slots;
  std::vector<uint32_t> freeSlots;
  uint32_t live = 0;
};

ProcedureTable& Procedures() {
  static ProcedureTable table;
  return table;
}

void DestroyIfSet(MemoryFileHandle handle) {
  if (handle != kNullMemoryFile) DestroyMemoryFile(handle);
}

}  // namespace

uint32_t AddProcedure(const ProcedureRecord& record) {
  ProcedureTable& table = Procedures();
  uint32_t index;
  if (!table.freeSlots.empty()) {
    index = table.freeSlots.back();
    table.freeSlots.pop_back();
    table.slots[index] = record;
  } else {
    index = static_cast<uint32_t>(table.slots.size());
    table.slots.emplace_back(record);
  }
  ++table.live;
  return index + 1;
}

const ProcedureRecord& ProcedureOf(uint32_t id) {
  ProcedureTable& table = Procedures();
  if (id == 0 || id > table.slots.size() || !table.slots[id - 1].has_value()) ZENTOR_INTERNAL_ERROR();
  return *table.slots[id - 1];
}

MemoryFileHandle ProcedureCode(uint32_t id) { return ProcedureOf(id).code; }

void ReleaseProcedure(uint32_t id) {
  ProcedureTable& table = Procedures();
  if (id == 0 || id > table.slots.size() || !table.slots[id - 1].has_value()) return;
  const ProcedureRecord record = *table.slots[id - 1];
  table.slots[id - 1].reset();
  table.freeSlots.push_back(id - 1);
  --table.live;
  // A procedure may be replaced or removed by its own body: its code then lives on
  // until that run has ended.
  PostfixExecutor::DestroyCode(record.code);
  DestroyIfSet(record.text);
}

uint32_t LiveProcedureCount() { return Procedures().live; }

void ReleaseDefinedProcedure(uint8_t token, uint32_t value, const char*) {
  if (token == kTokenProcedureName) ReleaseProcedure(value);
}

// 1. Cut the body and its text out of the running code (the define command's code
//    goes on after them), released again should a later step fail.
// 2. A procedure of the same name is replaced; any other name is refused.
// 3. The name enters the keyword table as a procedure (token 84, flag 1).
void DefineProcedure() {
  ProcedureRecord record;
  try {
    record.code = PostfixExecutor::TakeNestedBlock();
    record.text = PostfixExecutor::TakeEmbeddedBlock();
    TokenRecord& token = CurrentToken();
    const uint8_t savedCode = token.code;
    token.code = kTokenIdentifier;
    if (CommandScanner::LookupKeyword()) {
      if (token.code != kTokenProcedureName) {
        DVError error(kMsgNameDefinedWithOtherType, kSeverityError, kDisplayByFocus);
        error.SetArg(0, token.text);
        throw error;
      }
      CommandScanner::RemoveKeyword();
    }
    token.code = savedCode;
  } catch (...) {
    DestroyIfSet(record.code);
    DestroyIfSet(record.text);
    throw;
  }
  RaiseNameColumnWidth(static_cast<uint32_t>(std::strlen(CurrentToken().text)));
  const uint32_t id = AddProcedure(record);
  try {
    CommandScanner::AddKeywordEntry(kTokenProcedureName, 0, 1, id, CurrentToken().text);
  } catch (...) {
    ReleaseProcedure(id);
    throw;
  }
}

void ProcFrameRecord::WriteImage(uint8_t* image) const {
  StoreU16(image, argumentCount);
  StoreU16(image + 2, callArgumentCount);
  StoreU32(image + 4, writePosition);
  StoreU32(image + 8, argumentTableEnd);
  StoreU32(image + 12, frameStart);
}

ProcFrameRecord ProcFrameRecord::ReadImage(const uint8_t* image) {
  ProcFrameRecord record;
  record.argumentCount = LoadU16(image);
  record.callArgumentCount = LoadU16(image + 2);
  record.writePosition = LoadU32(image + 4);
  record.argumentTableEnd = LoadU32(image + 8);
  record.frameStart = LoadU32(image + 12);
  return record;
}

void CreateProcedureFrameFile() {
  FrameState& state = Frames();
  if (state.file == kNullMemoryFile) ThrowIfFailed(CreateMemoryFile(-1, 1, &state.file));
  ResetProcedureFrames();
}

void ResetProcedureFrames() {
  FrameState& state = Frames();
  if (state.file == kNullMemoryFile) {
    ThrowIfFailed(CreateMemoryFile(-1, 1, &state.file));
  }
  MemoryFileOf(state.file).Clear();
  state.frame = ProcFrameRecord{};
}

MemoryFileHandle ProcedureFrameFile() {
  FrameFile();
  return Frames().file;
}

const ProcFrameRecord& CurrentProcFrame() { return Frames().frame; }

void ProcBeginCall() {
  CommandScanner::PushName();
  MemoryFile& file = FrameFile();
  FrameState& state = Frames();
  ThrowIfFailed(file.Seek(file.Size()));
  uint8_t image[ProcFrameRecord::kImageSize];
  state.frame.WriteImage(image);
  ThrowIfFailed(file.Write(ProcFrameRecord::kImageSize, 1, image));
  state.frame.frameStart = file.Position();
  state.frame.writePosition = file.Position();
  state.frame.argumentCount = 0;
}

void ProcPassArgument() {
  if (ValueStack::TopKind() == kKindSymbolValue) {
    uint8_t symbol[ValueStack::kMaxItemSize];
    ValueStack::Pop(symbol);
    ValueStack::PushLocation(SymbolValueItem::ReadImage(symbol).Location());
  }
  const uint16_t kind = ValueStack::TopKind();
  const uint16_t size = ValueStack::TopSize();
  uint8_t bytes[ValueStack::kMaxItemSize];
  ValueStack::Peek(bytes);
  MemoryFile& file = FrameFile();
  FrameState& state = Frames();
  const uint32_t recordStart = state.frame.writePosition;
  ThrowIfFailed(file.Seek(recordStart));
  uint8_t header[4];
  StoreU16(header, kind);
  StoreU16(header + 2, size);
  ThrowIfFailed(file.Write(4, 1, header));
  ThrowIfFailed(file.Write(1, size, bytes));
  ValueStack::Drop();
  PushWord32(recordStart);
  state.frame.writePosition = file.Position();
  ++state.frame.argumentCount;
}

// 1. Finish the frame: the position table, last argument first.
// 2. The name under the arguments says what to call; only a procedure runs, inside a
//    scope of its own for the local names its body defines.
// 3. A body that ends without a return still leaves the caller's frame in force.
void ProcCall() {
  MemoryFile& file = FrameFile();
  FrameState& state = Frames();
  state.frame.callArgumentCount = state.frame.argumentCount;
  ThrowIfFailed(file.Seek(state.frame.writePosition));
  for (uint16_t i = 0; i < state.frame.argumentCount; ++i) WriteWord32(file, PopWord32());
  state.frame.writePosition = file.Position();
  state.frame.argumentTableEnd = file.Position();

  CommandScanner::PopName();
  TokenRecord& token = CurrentToken();
  token.code = kTokenIdentifier;
  CommandScanner::LookupKeyword();
  if (token.code != kTokenProcedureName) {
    DVError error(kMsgNotADebugProc, kSeverityError, kDisplayByFocus);
    error.SetArg(0, token.text);
    throw error;
  }
  const MemoryFileHandle body = ProcedureCode(token.value);
  const uint32_t calleeFrameStart = state.frame.frameStart;
  CommandScanner::OpenScope();
  PostfixExecutor::Run(body);
  CommandScanner::CloseScope();
  if (state.frame.frameStart == calleeFrameStart) RestoreCallerFrame();
}

void ProcArgument() {
  if (!InsideProcedure()) RaiseOutsideProcedure();
  const uint16_t index = ValueStack::PopOrd2();
  const ProcFrameRecord& frame = Frames().frame;
  if (index >= frame.callArgumentCount) {
    PushNullValue();
    return;
  }
  MemoryFile& file = FrameFile();
  ThrowIfFailed(file.Seek(frame.argumentTableEnd - 4u * index - 4u));
  const uint32_t recordStart = ReadWord32(file);
  ThrowIfFailed(file.Seek(recordStart));
  uint8_t header[4];
  ThrowIfFailed(file.Read(4, 1, header));
  const uint16_t kind = LoadU16(header);
  const uint16_t size = LoadU16(header + 2);
  if (size > ValueStack::kMaxItemSize) ZENTOR_INTERNAL_ERROR();
  uint8_t bytes[ValueStack::kMaxItemSize];
  ThrowIfFailed(file.Read(1, size, bytes));
  ValueStack::PushSized(kind, size, bytes);
}

void ProcArgumentCount() {
  if (!InsideProcedure()) RaiseOutsideProcedure();
  PushCount16(Frames().frame.callArgumentCount);
}

void ProcReturn() {
  if (PostfixExecutor::CodeStackDepth() <= 1) {
    ActionTable::Run(kDisplayTopValueSlot);
    return;
  }
  PostfixExecutor::Stop();
  RestoreCallerFrame();
}

}  // namespace zentor
