#include "command/symbol_interpreter.h"

#include "command/debug_variables.h"
#include "command/grammar_object.h"
#include "command/value_output.h"
#include "core/typed_location.h"
#include "symbols/interpreter_services.h"

namespace zentor {
namespace {

class CommandSymbolInterpreter final : public SymbolInterpreter {
 public:
  DVErrorCode EvaluateTextToLocation(const char* text, int32_t mode, uint32_t& locationClass,
                                     TypedLocation& location) override {
    return zentor::EvaluateTextToLocation(text, mode, &locationClass, &location);
  }
  void DereferenceTopValue() override { zentor::DereferenceTopValue(); }
  void AssignValue() override { zentor::AssignValue(); }
  // The limit holds for this value only, also when its display fails.
  void DisplayTopValue(uint32_t nestingLimit) override {
    PushNestingLimit(nestingLimit);
    struct PopLimit {
      ~PopLimit() { (void)PopNestingLimit(); }
    } pop;
    zentor::DisplayTopValue();
  }
};

}  // namespace

void InstallCommandSymbolInterpreter() {
  static CommandSymbolInterpreter interpreter;
  InstallSymbolInterpreter(&interpreter);
  // The value model's locations made from expression texts are this interpreter's too.
  InstallLocationTextEvaluator(&EvaluateTextToLocationInto);
}

}  // namespace zentor
