// libFuzzer target: command lines through the scanner, the parser and the executor of
// a whole console session (fuzz/drivers/command_line_input.h).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "drivers/command_line_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Never destroyed: the driver's end would reset the session after the program's
  // tables are gone, at the process's exit.
  static zentor::fuzzing::CommandLineHarness& harness = *new zentor::fuzzing::CommandLineHarness;
  harness.Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
