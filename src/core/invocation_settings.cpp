#include "core/invocation_settings.h"

namespace zentor {

InvocationSettings& GetInvocationSettings() {
  static InvocationSettings settings;
  return settings;
}

void SetDefaultInvocationSettings() {
  InvocationSettings& settings = GetInvocationSettings();
  settings.m_batch = 0;
  settings.m_macro = 0;
  settings.m_third = 1;
  settings.m_in = 1;
  settings.m_bw = 0;
}

}  // namespace zentor
