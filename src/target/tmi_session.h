#pragma once
// The target interface's session operations that start-up and shut-down call: the
// target's description, the stage notifications (the target's keywords at 1, the
// connection to the agent at 3), the target's own command-line options, the processor
// option word, the end of the debug session and the disconnect. Each fills the status
// it is given and returns its number.

#include "core/target_interface.h"

#include <cstdint>
#include <string>

namespace zentor {

uint32_t TmiGetTargetDescription(TargetStatus* status, uint32_t viewpoint, TargetDescription* description);
// The product name alone ("Zentor"): the caption of the end-of-session question.
const char* TmiProductName();

// 1 adds the target's command keywords, 3 connects to the agent; 0, 2 and codes
// above 3 do nothing on the target side.
uint32_t TmiNotify(TargetStatus* status, uint32_t viewpoint, uint32_t code, const char* text);

// Looks the argument in *argumentSlot (without its option sign) up in the target's
// option table. *result: 0 unknown, 1 taken alone, 2 taken with the following
// argument as its value. An option that needs a value followed by nothing (a null
// slot), an empty argument or one beginning with '-' or '/' sets status 90, severity
// 6, with the option's name as the one argument; so does a value the option cannot
// take (a rate outside the list of "baud", a number that is none).
uint32_t TmiHandleOption(TargetStatus* status, uint32_t viewpoint, uint32_t unused,
                         const char* const* argumentSlot, uint32_t* result);

// Ends the agent session (unless the "eval" option is set) and closes the link.
uint32_t TmiDisconnect(TargetStatus* status, uint32_t viewpoint);

// Ends the debug session with the target. With a processor known, asks "This will end
// your debug session." (OK or cancel); *declined is 1 unless OK was chosen, and the
// debugger then goes on.
uint32_t TmiEndSession(TargetStatus* status, uint32_t* declined);

// Sets or clears bit 4 of the processor word and sends the word to the agent.
uint32_t TmiSelectProcessor(TargetStatus* status, uint32_t on);
// 1 when bit 4 of the processor word is set.
uint32_t TmiProcessorOptionSet();

// Option settings the target took from the command line.
struct TmiOptionSettings {
  const char* m_linkName = "COM1";
  uint32_t m_baudRate = 0;
  uint32_t m_viewSymbols = 0;
  uint32_t m_unicode = 0;
  uint32_t m_eval = 0;
};
const TmiOptionSettings& TmiOptions();
// The link name as the connection uses it (upper-cased in place by the connect).
std::string& TmiLinkName();
// The word sent with the select-processor request (0 until the connect makes it 1).
uint32_t& TmiProcessorWord();

// The options and the processor word back to their defaults (a new session in a test).
void ResetTmiOptions();

}  // namespace zentor
