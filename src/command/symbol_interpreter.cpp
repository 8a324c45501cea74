#include "command/symbol_interpreter.h"

#include "command/grammar_object.h"
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
};

}  // namespace

void InstallCommandSymbolInterpreter() {
  static CommandSymbolInterpreter interpreter;
  InstallSymbolInterpreter(&interpreter);
  // The value model's locations made from expression texts are this interpreter's too.
  InstallLocationTextEvaluator(&EvaluateTextToLocationInto);
}

}  // namespace zentor
