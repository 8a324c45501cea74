#pragma once
// What the breakpoint dialogs see of the breakpoint table: their requests (window kind
// 8), and the saving and restoring of every breakpoint as a named set in the settings
// store. A saved set is a list of text fields (the program name, eight fields per
// breakpoint, "EOF\n"); restoring parses the texts again, so a set saved in one run
// works after the symbols are loaded again in a later one.

#include <cstdint>
#include <string>

#include "support/rw_cstring.h"

namespace zentor {

class DVError;
struct BreakpointDialogEntry;
struct NamedSetRequest;

// Appends the eight fields of one breakpoint, each followed by a NUL.
void SerializeBreakpointEntry(std::string& text, const BreakpointDialogEntry& entry);
// Takes the next breakpoint's fields off the front of the text into the entry: 0 at
// "EOF\n", else 1. A field that does not end before the text does, an unknown name
// prefix, type or access code raises 114.
uint32_t ParseBreakpointText(std::string& text, BreakpointDialogEntry* entry);
// Sets a breakpoint from texts. *result tells a failure's part: -1 the location (or
// the set itself), -2 the expression; the slot used on success.
void AddBreakpointFromEntry(int32_t* result, uint32_t kind, int32_t slot, uint32_t type, uint32_t access,
                            const RWCString& locationText, const RWCString& conditionText, uint32_t enabled,
                            uint32_t viewpointOnly);
void FillDialogEntryFromSlot(BreakpointDialogEntry* entry);
void SaveBreakpointSet(const NamedSetRequest& request);
void RestoreBreakpointSet(const NamedSetRequest& request);

// The breakpoint dialogs' requests: every error ends in *status (reset first).
void HandleBreakpointRequest(DVError* status, uint32_t window, uint32_t code, void* data);

}  // namespace zentor
