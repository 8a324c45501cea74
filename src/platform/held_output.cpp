#include "platform/held_output.h"

namespace zentor::platform {
namespace {
HeldOutputWriter g_heldOutputWriter = nullptr;
}  // namespace

void SetHeldOutputWriter(HeldOutputWriter writer) { g_heldOutputWriter = writer; }

void WriteHeldOutput() {
  if (g_heldOutputWriter != nullptr) g_heldOutputWriter();
}

}  // namespace zentor::platform
