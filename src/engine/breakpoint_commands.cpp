#include "engine/breakpoint_commands.h"

#include <vector>

#include "command/action_table.h"
#include "command/grammar_object.h"
#include "command/postfix_executor.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/memory_file.h"
#include "core/typed_location.h"
#include "core/value_stack.h"
#include "engine/breakpoint_table.h"
#include "engine/watch_table.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

// The selector of the enable and disable commands: 0 enable, else disable.
uint32_t g_disableSelected = 0;

// Location modes of ConvertTopToLocation.
constexpr uint32_t kCodeLocation = 1;
constexpr uint32_t kDataLocation = 2;
// The longest text kept with a breakpoint's expression.
constexpr uint32_t kLongestExpressionText = 255;

// The optional slot: an empty item is -1; a negative number is 21.
int32_t PopOptionalSlot() {
  if (ValueStack::TopKind() == kKindNone) {
    ValueStack::Drop();
    return -1;
  }
  int16_t slot = 0;
  ValueStack::PopAs(kKindInt2, &slot);
  if (slot < 0) throw DVError(kMsgInvalidIndex, kSeverityError, kDisplayByFocus);
  return slot;
}

bool TopIsEmpty() { return ValueStack::TopKind() == kKindNone; }

class ScopedCode {
 public:
  explicit ScopedCode(MemoryFileHandle code) : m_code(code) {}
  ~ScopedCode() {
    if (m_code != kNullMemoryFile) PostfixExecutor::DestroyCode(m_code);
  }
  ScopedCode(const ScopedCode&) = delete;
  ScopedCode& operator=(const ScopedCode&) = delete;
  MemoryFileHandle Get() const { return m_code; }

 private:
  MemoryFileHandle m_code;
};

}  // namespace

RWCString TakeEmbeddedText(uint32_t limit) {
  ScopedCode block(PostfixExecutor::TakeEmbeddedBlock());
  MemoryFile& file = MemoryFileOf(block.Get());
  const uint32_t size = file.Size() < limit ? file.Size() : limit;
  std::vector<char> text(size + 1, '\0');
  DVErrorCode status = file.Seek(0);
  if (status.IsOkay() && size != 0) status = file.Read(1, size, text.data());
  if (!status.IsOkay()) ThrowIfError(DVError(status));
  return RWCString(text.data(), std::char_traits<char>::length(text.data()));
}

void TypeAndAccessOfOption(uint32_t option, uint32_t* type, uint32_t* access) {
  switch (option) {
    case 2: *type = kEngineTypeDebugRegister; *access = kEngineAccessExecute; break;
    case 3: *type = kEngineTypeDebugRegister; *access = kEngineAccessReadWrite; break;
    case 4: *type = kEngineTypeDebugRegister; *access = kEngineAccessWrite; break;
    case 5: *type = kEngineTypeDebugRegister; *access = kEngineAccessInputOutput; break;
    case 6: *type = kEngineTypeTaskSwitch; *access = 4; break;
    case 7: *type = kEngineTypeTaskSwitch; *access = 5; break;
    default: *type = kEngineTypeSoftware; *access = kSoftwareAccess; break;
  }
}

void BreakpointTypeOption() {
  uint32_t option = 0;
  if (TopIsEmpty()) {
    ValueStack::Drop();
  } else {
    option = ValueStack::PopOrd2();
  }
  uint32_t type = 0;
  uint32_t access = 0;
  TypeAndAccessOfOption(option, &type, &access);
  const auto typeWord = static_cast<uint16_t>(type);
  const auto accessWord = static_cast<uint16_t>(access);
  ValueStack::Push(kKindOrd2, &typeWord);
  ValueStack::Push(kKindOrd2, &accessWord);
}

void CheckBreakpointExpression(const AddressDescriptor& address, GrammarObject& expression) {
  SymbolContext* context = GetCurrentSymbolContext();
  DVErrorCode status;
  if (context->Loader().ModuleAtAddress(*context, address, status) == nullptr) {
    if (status.IsOkay()) status = DVErrorCode(kMsgNotResolvableToAddress, kSeverityError);
    throw DVError(status);
  }
  context->PushScopeAddress(address);
  OutputWriter::InstallHook([](char) {});
  uint16_t kind = 0;
  std::vector<uint8_t> value(ValueStack::kMaxItemSize);
  DVErrorCode result;
  try {
    expression.Evaluate(&result, &kind, value.data());
  } catch (...) {
    OutputWriter::RemoveHook();
    context->PopScopeAddress();
    throw;
  }
  OutputWriter::RemoveHook();
  context->PopScopeAddress();
  if (!result.IsOkay()) {
    DVError error;
    expression.LastError(&error);
    if (error.IsOkay()) error = DVError(result);
    throw error;
  }
}

// 1. The type option's marked block runs first and leaves type and access.
// 2. An empty item on top: a passpoint without action.
// 3. The location, as data for a watch of data (type 1, access not execute), else as
//    code; then the slot and the kind.
// 4. A conditional break and a passpoint with action take their code block; every
//    form takes its text block.
// 5. The expression is run once where it will run (a data watch: the current scope),
//    then the breakpoint is set, enabled, for this viewpoint only.
void SetBreakpointCommand() {
  {
    ScopedCode typeBlock(PostfixExecutor::TakeMarkedBlock());
    PostfixExecutor::RunMarkedBlock(typeBlock.Get());
  }
  const uint32_t access = ValueStack::PopOrd2();
  const uint32_t type = ValueStack::PopOrd2();
  bool hasExpression = true;
  if (TopIsEmpty()) {
    ValueStack::Drop();
    hasExpression = false;
  }
  const bool dataWatch = type == kEngineTypeDebugRegister && access != kEngineAccessExecute;
  ValueStack::ConvertTopToLocation(dataWatch ? kDataLocation : kCodeLocation, AddressDescriptor::Null());
  const TypedLocation location = ValueStack::PopLocation();
  const int32_t slot = PopOptionalSlot();
  const uint32_t kind = BreakpointKindFromCode(ValueStack::PopOrd2());

  MemoryFileHandle code = kNullMemoryFile;
  if (kind == kConditionalBreakKind || (kind == kPasspointKind && hasExpression)) {
    code = PostfixExecutor::TakeNestedBlock();
  }
  ScopedCode codeBlock(code);
  const RWCString text = TakeEmbeddedText(kLongestExpressionText);
  GrammarObject expression = code != kNullMemoryFile ? GrammarObject(code, text.data()) : GrammarObject();
  if (!expression.Status().IsOkay()) ThrowIfError(DVError(expression.Status()));
  if (code != kNullMemoryFile) {
    const AddressDescriptor scope = dataWatch ? GetCurrentSymbolContext()->ScopeAddress() : location.AddressRef();
    CheckBreakpointExpression(scope, expression);
  }
  BreakpointTable::Instance().Set(slot, kind, type, access, location, expression, 1, 1);
}

void ListBreakpointsCommand() {
  const int32_t slot = PopOptionalSlot();
  const uint32_t kind = BreakpointKindFromCode(ValueStack::PopOrd2());
  BreakpointTable::Instance().List(slot, kind, nullptr);
}

void EnableBreakpointCommand() {
  const int32_t slot = PopOptionalSlot();
  BreakpointTable& table = BreakpointTable::Instance();
  if (TopIsEmpty()) {
    ValueStack::Drop();
    if (g_disableSelected == 0) {
      table.EnableAll();
    } else {
      table.DisableAll();
    }
    return;
  }
  const uint32_t kind = BreakpointKindFromCode(ValueStack::PopOrd2());
  if (g_disableSelected == 0) {
    table.Enable(slot, kind);
  } else {
    table.Disable(slot, kind);
  }
}

void ClearBreakpointCommand() {
  const int32_t slot = PopOptionalSlot();
  if (TopIsEmpty()) {
    ValueStack::Drop();
    BreakpointTable::Instance().ClearAll();
    return;
  }
  BreakpointTable::Instance().Delete(slot, BreakpointKindFromCode(ValueStack::PopOrd2()));
}

void EnableWatchCommand() {
  const int32_t slot = PopOptionalSlot();
  WatchTable::SetEnabled(slot, g_disableSelected == 0 ? kWatchEnable : kWatchDisable);
}

void SelectEnableOrDisable() { g_disableSelected = ValueStack::PopOrd2(); }

void PushStepDefault() {}

void ListBreakpointsAndWatches(uint32_t section) {
  Pager::BeginPaging();
  struct EndPaging {
    ~EndPaging() { Pager::EndPaging(); }
  } endPaging;
  BreakpointTable& table = BreakpointTable::Instance();
  const bool all = section == kListAllSections;
  if (all || section == kListBreaks) table.List(-1, kBreakKind, "--- Breaks ---\n");
  if (all || section == kListPasspoints) table.List(-1, kPasspointKind, "--- Passpoints ---\n");
  if (all || section == kListConditionalBreaks) table.List(-1, kConditionalBreakKind, "--- Conditional Breaks ---\n");
  if (all || section == kListWatches) WatchTable::List(0);
  OutputWriter::FreshLine();
}

void BindBreakpointActions() {
  ActionTable::Bind(66, &SetBreakpointCommand, "SetBreakpointCommand");
  ActionTable::Bind(69, &BreakpointTypeOption, "BreakpointTypeOption");
  ActionTable::Bind(71, &ListBreakpointsCommand, "ListBreakpointsCommand");
  ActionTable::Bind(72, &EnableWatchCommand, "EnableWatchCommand");
  ActionTable::Bind(73, &EnableBreakpointCommand, "EnableBreakpointCommand");
  ActionTable::Bind(80, &ClearBreakpointCommand, "ClearBreakpointCommand");
  ActionTable::Bind(124, &PushStepDefault, "PushStepDefault");
  ActionTable::Bind(131, &SelectEnableOrDisable, "SelectEnableOrDisable");
}

}  // namespace zentor
