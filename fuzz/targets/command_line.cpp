// libFuzzer target: command lines through the scanner, the parser and the executor of
// a whole console session (fuzz/drivers/command_line_input.h).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "drivers/command_line_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zentor::fuzzing::CommandLineHarness harness;
  harness.Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
