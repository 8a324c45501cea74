#include "symbols/interpreter_services.h"

#include "core/dv_error.h"
#include "core/installed_service.h"
#include "core/message_table.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

InstalledService<SymbolInterpreter> g_interpreter;


}  // namespace

SymbolInterpreter::~SymbolInterpreter() = default;

DVErrorCode SymbolInterpreter::EvaluateTextToLocation(const char* /*text*/, int32_t /*mode*/,
                                                      uint32_t& /*locationClass*/, TypedLocation& /*location*/) {
  return DVErrorCode(kMsgInternalAnomaly, kSeverityInternal);
}

void SymbolInterpreter::DereferenceTopValue() { ZENTOR_INTERNAL_ERROR(); }

void SymbolInterpreter::AssignValue() { ZENTOR_INTERNAL_ERROR(); }

// Without the value output the value goes unshown, but it is taken off the stack as
// the output would take it.
void SymbolInterpreter::DisplayTopValue(uint32_t /*nestingLimit*/) { ValueStack::Drop(); }

SymbolInterpreter* InstallSymbolInterpreter(SymbolInterpreter* interpreter) { return g_interpreter.Install(interpreter); }

SymbolInterpreter& InstalledSymbolInterpreter() { return g_interpreter.Get(); }

}  // namespace zentor
