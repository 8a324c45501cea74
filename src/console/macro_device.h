#pragma once
// The macro expansion device: feeds the command reader the body text of a macro whose
// name the scanner met. The open expansions are kept in one MemoryFile used as a
// stack: each holds the body text and then its start position (4 bytes), so the top
// expansion ends where its start position begins.

#include <cstdint>

#include "core/memory_file.h"

namespace zentor {

// Open expansions beyond this many bytes refuse a further one (message 79), and so
// does a command for which more than kMacroExpandedBytesLimit bytes of bodies were
// expanded: aliases that use each other a few times over would otherwise give a
// command of millions of words. An alias read in its own expansion, or in one of an
// alias it led to, is refused the same way.
inline constexpr uint32_t kMacroExpansionLimit = 256;
inline constexpr uint32_t kMacroExpandedBytesLimit = 65536;

// Creates the expansion text at start-up.
void CreateMacroText();
// Empties the expansion text before a command, unless an expansion is still being
// read (a macro body may hold more than one command).
void ClearMacroText();
MemoryFileHandle MacroText();
// The scanner begins a token: a macro name it turns out to be is checked against the
// expansions that token began in.
void NoteTokenStart();

// Device operations.
void MacroOpen();
void MacroClose();
void MacroSuspend();
void MacroResume();
bool MacroRead(uint8_t* ch);

}  // namespace zentor
