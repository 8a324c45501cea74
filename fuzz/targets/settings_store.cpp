// libFuzzer target: a whole settings store file opened, listed, read, changed, closed
// and opened again (fuzz/drivers/settings_store_input.h). A store that does not come
// back as it was closed is a fault as much as a crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "drivers/settings_store_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zentor::fuzzing::SettingsStoreHarness harness;
  const std::string fault =
      zentor::fuzzing::SettingsStoreFault(harness.Run(std::string_view(reinterpret_cast<const char*>(data), size)));
  if (!fault.empty()) {
    std::fprintf(stderr, "settings_store: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
