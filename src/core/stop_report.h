#pragma once
// The text of the last stop report ("[ Break due to ..."), kept for the status line:
// the stop caption of the symbol context ends with it. The engine sets it when it
// reports a stop and clears it when a program is loaded.

#include <cstdint>

#include "support/rw_cstring.h"

namespace zentor {

void SetLastStopText(const RWCString& text);
void ClearLastStopText();
// A copy of the last stop's text ("" when there was none).
RWCString CopyLastStopText();

// Code of the last stop before anything has stopped.
inline constexpr uint32_t kNoStopYet = 10;

// Resets the last-stop record (code kNoStopYet, empty text) and clears the
// stop-report flags; start-up calls it once.
void InitBreakReport();
uint32_t LastStopCode();
// The last stop: its reason (9 an unrecognised breakpoint hit) and its short label
// ("Halt", "Exit", br[0], "StepInto", ...).
void SetLastStop(uint32_t code, const RWCString& text);

// The same record as one object: its code and short label.
struct LastStopRecord {
  static void Reset() { InitBreakReport(); }
  static void Set(uint32_t code, const RWCString& text) { SetLastStop(code, text); }
  static void SetText(const RWCString& text) { SetLastStopText(text); }
  static uint32_t Code() { return LastStopCode(); }
  static RWCString Text() { return CopyLastStopText(); }
};
uint32_t StopReportFlags();

}  // namespace zentor
