#include "core/startup_settings_words.h"

namespace zentor {

StartupSettingsWords& GetStartupSettingsWords() {
  static StartupSettingsWords settings;
  return settings;
}

void SetDefaultInvocationSettings() {
  StartupSettingsWords& settings = GetStartupSettingsWords();
  settings.m_batch = 0;
  settings.m_macro = 0;
  settings.m_third = 1;
  settings.m_in = 1;
  settings.m_bw = 0;
}

}  // namespace zentor
