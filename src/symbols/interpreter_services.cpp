#include "symbols/interpreter_services.h"

#include "core/dv_error.h"
#include "core/installed_service.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgNotAvailable = 106;

InstalledService<SymbolInterpreter> g_interpreter;

[[noreturn]] void RaiseNotAvailable(const char* what) {
  DVError error(kMsgNotAvailable, kSeverityError, kDisplayByFocus);
  error.SetArg(0, what);
  throw error;
}

}  // namespace

SymbolInterpreter::~SymbolInterpreter() = default;

DVErrorCode SymbolInterpreter::EvaluateTextToLocation(const char* /*text*/, int32_t /*mode*/,
                                                      uint32_t& /*locationClass*/, TypedLocation& /*location*/) {
  return DVErrorCode(kMsgNotAvailable, kSeverityError);
}

void SymbolInterpreter::DereferenceTopValue() { RaiseNotAvailable("Value fetch"); }

void SymbolInterpreter::AssignValue() { RaiseNotAvailable("Assignment"); }

// Without the value output the value goes unshown, but it is taken off the stack as
// the output would take it.
void SymbolInterpreter::DisplayTopValue(uint32_t /*nestingLimit*/) { ValueStack::Drop(); }

SymbolInterpreter* InstallSymbolInterpreter(SymbolInterpreter* interpreter) { return g_interpreter.Install(interpreter); }

SymbolInterpreter& InstalledSymbolInterpreter() { return g_interpreter.Get(); }

}  // namespace zentor
