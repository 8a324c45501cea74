// What every fuzz target does once before its first input, as the program's entry and
// start-up do: alerts go to the standard error and never wait for an answer, and the
// services of the upper subsystems are installed below them.
#include <cstdint>

#include "app/startup.h"
#include "platform/alert.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  zentor::platform::SetAlertMode(zentor::platform::AlertMode::Console);
  zentor::InstallSubsystemServices();
  return 0;
}
