#pragma once
// The invocation settings: six words chosen on the command line or in the invocation
// dialog and read by start-up, error display and the console. Batch on makes every
// error go to the command output without a beep.

#include <cstdint>

namespace zentor {

struct InvocationSettings {
  uint16_t m_batch = 0;    // 1 while commands come from a batch file
  uint16_t m_macro = 0;    // 1 runs the start-up macro file
  uint16_t m_third = 1;    // no option changes it
  uint16_t m_in = 1;       // "in"
  uint16_t m_bw = 0;       // "bw": the black-and-white colour scheme
  uint16_t m_console = 0;  // console mode
};

InvocationSettings& GetInvocationSettings();
// Batch, macro, third, "in" and "bw" to 0, 0, 1, 1 and 0; the console word is kept.
void SetDefaultInvocationSettings();

}  // namespace zentor
