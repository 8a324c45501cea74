// libFuzzer target: a whole settings store file opened, listed, read, changed, closed
// and opened again (fuzz/drivers/settings_store_input.h).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "drivers/settings_store_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zentor::fuzzing::SettingsStoreHarness harness;
  harness.Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
