// libFuzzer target: a C expression through the hand-over, the C expression parser,
// code generation and evaluation (fuzz/drivers/c_expression_input.h).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "drivers/c_expression_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Never destroyed: the driver's end would reset the session after the program's
  // tables are gone, at the process's exit.
  static zentor::fuzzing::CExpressionHarness& harness = *new zentor::fuzzing::CExpressionHarness;
  harness.Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
