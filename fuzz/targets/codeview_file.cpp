// libFuzzer target: a whole symbol file through the load driver, the CodeView loader,
// the deferred module loads and the lookups (fuzz/drivers/codeview_file_input.h).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "drivers/codeview_file_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zentor::fuzzing::CodeViewFileHarness harness;
  harness.Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
