#pragma once
// The module and line listings of the "show" commands and the Modules window's title
// line: names and line numbers set in columns across the output line. Also the small
// frame-selection services through which the location reaches the engine's call-stack
// frames.

#include <cstdint>

#include "core/dv_error_code.h"

namespace zentor {

struct AddressPair;

// The modules of the loaded program in columns two wider than the longest name (the
// lookup target alone when one is set); a name equal to the one before is left out.
// 324 without a program, 325 without modules.
void ListModules(DVErrorCode& status, uint16_t lineWidth);
// The lines of the lookup module ("#" and the number) in columns of 8, each line once.
// 323 for a module without lines.
void ListModuleLines(uint16_t lineWidth);

// Walks the stack again when the current frame list cannot be used, and makes the
// selected frame the location when the walk succeeds.
void SelectFrame(uint32_t argument);
// The selected frame copied out; its index (as a 16-bit word; 0xFFFF for none).
uint16_t CurrentFrameIndex(AddressPair& frame);
// Selects a frame; whether that succeeded.
bool SetCurrentFrame(uint16_t index);
// The selected frame copied out; whether one is selected.
bool HasCurrentFrame(AddressPair& frame);

}  // namespace zentor
