#pragma once
// The target interface's session operations that start-up and shut-down call: the
// target's description, the stage notifications, the target's own command-line
// options and the disconnect. Each fills the status it is given and returns its
// number.

#include "core/target_interface.h"

#include <cstdint>

namespace zentor {

uint32_t TmiGetTargetDescription(TargetStatus* status, uint32_t viewpoint, TargetDescription* description);

// 1 adds the target's command keywords, 3 connects to the agent; 0, 2 and codes
// above 3 do nothing on the target side.
uint32_t TmiNotify(TargetStatus* status, uint32_t viewpoint, uint32_t code, const char* text);

// Looks the argument in *argumentSlot (without its option sign) up in the target's
// option table. *result: 0 unknown, 1 taken alone, 2 taken with the following
// argument as its value. An option that needs a value followed by nothing (a null
// slot), an empty argument or one beginning with '-' or '/' sets status 90, severity
// 6, with the option's name as the one argument.
uint32_t TmiHandleOption(TargetStatus* status, uint32_t viewpoint, uint32_t unused,
                         const char* const* argumentSlot, uint32_t* result);

// Ends the session with the agent and closes the link.
uint32_t TmiDisconnect(TargetStatus* status, uint32_t viewpoint);

// Ends the debug session with the target. *declined is not 0 when the target side
// refuses to end it now; the debugger then goes on.
uint32_t TmiEndSession(TargetStatus* status, uint32_t* declined);

// Option settings the target took from the command line.
struct TmiOptionSettings {
  const char* m_linkName = "COM1";
  uint32_t m_baudRate = 0;
  uint32_t m_viewSymbols = 0;
  uint32_t m_unicode = 0;
  uint32_t m_eval = 0;
};
const TmiOptionSettings& TmiOptions();

}  // namespace zentor
