#pragma once
// The command language's breakpoint and passpoint commands (set, list, enable,
// disable, clear; enabling and disabling watches) and the listing of breakpoints and
// watches. Each action pops what the parser pushed on the value stack and calls the
// breakpoint table.

#include <cstdint>

#include "core/address_descriptor.h"
#include "support/rw_cstring.h"

namespace zentor {

class GrammarObject;
class TypedLocation;

// ActionTable slots.
void SetBreakpointCommand();      // 66
void BreakpointTypeOption();      // 69
void ListBreakpointsCommand();    // 71
void EnableWatchCommand();        // 72
void EnableBreakpointCommand();   // 73
void ClearBreakpointCommand();    // 80
void SelectEnableOrDisable();     // 131
// Slot 124 of the step and go commands: nothing.
void PushStepDefault();

// Runs the expression once in the scope of `address` (the module holding it must
// exist), its output discarded; a failure is raised and nothing is set.
void CheckBreakpointExpression(const AddressDescriptor& address, GrammarObject& expression);

// The (type, access) pair of a type keyword's value ("sw" 1, "hw" 2, "acc" 3, "wr" 4).
void TypeAndAccessOfOption(uint32_t option, uint32_t* type, uint32_t* access);

// Sections of ListBreakpointsAndWatches.
inline constexpr uint32_t kListAllSections = 255;
inline constexpr uint32_t kListBreaks = 1;
inline constexpr uint32_t kListPasspoints = 2;
inline constexpr uint32_t kListConditionalBreaks = 3;
inline constexpr uint32_t kListWatches = 4;
void ListBreakpointsAndWatches(uint32_t section);

// The embedded text block at the running code's position, cut at `limit` characters.
RWCString TakeEmbeddedText(uint32_t limit);

void BindBreakpointActions();

}  // namespace zentor
