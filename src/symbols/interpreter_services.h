#pragma once
// What the symbol tables ask of the command language's interpreter, which sits above
// them: evaluating an expression text to a location (symbol objects made from
// expressions and their re-resolution), the interpreter's value fetch and assignment
// (reading and writing a symbol object's value), and the typed value output (the
// call-stack frame printer). The command language installs its interpreter at
// start-up; until then evaluation and value access are internal-consistency errors
// and nothing is displayed.

#include <cstdint>

#include "core/dv_error_code.h"
#include "core/typed_location.h"

namespace zentor {

// Location classes of an evaluation: resolved locations 0, 1 and 2 (1 a code
// location), 5 an inactive symbol.
inline constexpr uint32_t kLocationClassOrdinalPointer = 0;
inline constexpr uint32_t kLocationClassCode = 1;
inline constexpr uint32_t kLocationClassTyped = 2;
inline constexpr uint32_t kLocationClassInactive = 5;
// The evaluation mode symbol objects use.
inline constexpr int32_t kEvaluateAddressContext = 3;

class SymbolInterpreter {
 public:
  virtual ~SymbolInterpreter();
  // Evaluates `text` in the current symbol context to a location and its class.
  virtual DVErrorCode EvaluateTextToLocation(const char* text, int32_t mode, uint32_t& locationClass,
                                             TypedLocation& location);
  // Replaces the reference on top of the value stack by the value stored there.
  virtual void DereferenceTopValue();
  // Pops a value and the reference below it and stores the value there.
  virtual void AssignValue();
  // Prints the value on top of the value stack (and takes it off) with the given
  // nesting limit for the members of aggregates.
  virtual void DisplayTopValue(uint32_t nestingLimit);
};

// Installs the interpreter (the caller keeps it alive); null puts the base back.
// Returns the one installed before (null for the base).
SymbolInterpreter* InstallSymbolInterpreter(SymbolInterpreter* interpreter);
SymbolInterpreter& InstalledSymbolInterpreter();

}  // namespace zentor
