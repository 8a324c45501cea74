#pragma once
// Why a thread stopped, as the target interface tells the engine: filled by run
// control when a step ends and by the agent event handlers when the agent reports a
// stop, and read by the engine's stop report. The engine makes a fresh record before
// each call; the exception names are the texts a stop of reason 7 carries.

#include <cstdint>

#include "core/target_status.h"

namespace zentor {

// The reason word of a stop record.
enum BreakReason : uint32_t {
  kBreakReasonStepsDone = 0,         // the requested steps completed
  kBreakReasonTemporaryBreak = 1,    // a go with temporary breakpoints ended
  kBreakReasonUnknownThread = 2,     // the thread is gone, or its state says nothing
  kBreakReasonHalted = 4,            // the thread was halted
  kBreakReasonBreakpoint = 6,        // a breakpoint slot was hit
  kBreakReasonEvent = 7,             // an agent event or an exception stopped it
  kBreakReasonNone = 9,              // nothing decoded yet
};

struct StopRecord {
  StopRecord() { m_location.m_nullMark = 1; }

  uint32_t m_viewpoint = 0;
  uint32_t m_reason = kBreakReasonNone;
  // Where the thread stands: its program counter as a memory address; null when the
  // thread is gone or its registers cannot be read.
  TargetAddressRecord m_location;
  const char* m_text = nullptr;       // an exception name
  const char* m_classText = nullptr;  // "EXCEPT" with an exception
  uint32_t m_breakpointNumber = 0;    // reason 6: the slot's breakpoint number
  // What the event handlers put in for the GUI: "Loaded", "Thread exited", ...
  const char* m_title = nullptr;
  const char* m_message = nullptr;
};

// The 33 exception names, indexed by the exception number recorded for a thread; a
// number of 33 or more names entry 0 ("Exception: Unknown").
inline constexpr uint32_t kExceptionNameCount = 33;
const char* ExceptionName(uint32_t number);

}  // namespace zentor
