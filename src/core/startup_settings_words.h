#pragma once
// The start-up settings words: the five words the command language's start-up sets
// from its options (batch, macro, a third word, "in", "bw"), read by start-up, error
// display and the console, and the console-mode word beside them. Batch on makes
// every error go to the command output without a beep. The invocation dialog's own
// record is another thing: it lives with the GUI.

#include <cstdint>

namespace zentor {

struct StartupSettingsWords {
  uint16_t m_batch = 0;    // 1 while commands come from a batch file
  uint16_t m_macro = 0;    // 1 runs the start-up macro file
  uint16_t m_third = 1;    // no option changes it
  uint16_t m_in = 1;       // "in"
  uint16_t m_bw = 0;       // "bw": the black-and-white colour scheme
  uint16_t m_console = 0;  // console mode
};

StartupSettingsWords& GetStartupSettingsWords();
// Batch, macro, third, "in" and "bw" to 0, 0, 1, 1 and 0; the console word is kept.
void SetDefaultInvocationSettings();

}  // namespace zentor
