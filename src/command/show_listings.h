#pragma once
// The show command: listings of the loaded program's symbols (all of them or those of
// one type word, globally or in the current scope), of its modules and source lines,
// and of the debugger's own objects ("show debug": variables, aliases and procedures
// defined by commands), and of breakpoints, passpoints and watches. The grammar runs
// ShowBegin, selector routines while the command is parsed, and ShowRun at its end.

#include <cstdint>

namespace zentor {

inline constexpr uint32_t kMsgInvalidShowDebugType = 71;  // "Invalid type specified in SHOW DEBUG command."
inline constexpr uint32_t kMsgTypeIncompatibleWithDirectory = 312;

// Selectors that are no type code.
inline constexpr uint16_t kShowModules = 36;
inline constexpr uint16_t kShowLines = 38;
inline constexpr uint16_t kShowNothing = 41;
inline constexpr uint16_t kShowEverything = 65535;
inline constexpr uint16_t kShowSectionBit = 0x8000;

// The breakpoint listing the engine provides: section 255 all, 1 breaks, 2 passpoints,
// 3 conditional breaks, 4 watches. Until the engine installs it nothing is set, so
// nothing is listed.
using BreakpointListing = void (*)(uint8_t section);
// Installs the listing (null: lists nothing); returns the one installed before.
BreakpointListing InstallBreakpointListing(BreakpointListing listing);

// Action routines (slot numbers in brackets).
void ShowBegin();            // 144
void ShowRun();              // 143
void SelectShowKind();       // 154
void SelectShowProcedures(); // 155
void SelectShowKindWide();   // 157
void SelectShowAll();        // 166
void ShowDebugVariables();   // 149
void ShowSymbols();          // 150, 153: global symbols
void ShowPublics();          // 152: symbols of the current scope

// The listing of debug objects for a selector (a type code, kShowEverything, a
// section with kShowSectionBit, or a token such as the procedure token).
void ListDebugVariables(uint16_t selector);

}  // namespace zentor
