#pragma once
// The target interface's viewpoint operations: which viewpoint the target side
// works in, whether two ids name the same viewpoint, and the text form "0x%lx" of an
// id. The target knows the threads of its current processor; only those have a text.

#include "core/target_status.h"

#include <cstdint>

namespace zentor {

// Makes `value` the current viewpoint of the target side. Status 0; returns it.
uint32_t TmiSelectViewpoint(TargetStatus* status, uint32_t value);
// *result = 1 when a and b are equal, else 0. Status 0.
uint32_t TmiSameViewpoint(TargetStatus* status, uint32_t unused, uint32_t a, uint32_t b, uint32_t* result);
// *text points at a static buffer holding "0x%lx" of the value when the target knows
// the viewpoint, else at an empty text. Status 0.
uint32_t TmiViewpointToText(TargetStatus* status, uint32_t unused, uint32_t value, const char** text);
// Reads "0x" and a hexadecimal number from the start of the text; *value is that id
// when the target knows it, else 0xFFFFFFFF (also for an empty text or a number that
// does not fit 32 bits). Status 0.
uint32_t TmiViewpointFromText(TargetStatus* status, uint32_t unused, const char* text, uint32_t* value);

// 1 when the value is the one the target keeps for itself (-2: no particular thread).
uint32_t TmiIsReservedViewpoint(uint32_t value);

// The viewpoints the target knows are the threads of the current processor (the
// target state). These add a thread (with a first processor when there is none),
// remove one, and forget every processor.
void TmiAddKnownViewpoint(uint32_t value);
void TmiRemoveKnownViewpoint(uint32_t value);
void TmiClearKnownViewpoints();
bool TmiIsKnownViewpoint(uint32_t value);

// What the target side was last told by TmiSelectViewpoint (0xFFFFFFFF before any).
uint32_t TmiSelectedViewpoint();
// How many times TmiSameViewpoint has been asked (lets callers check that obvious
// comparisons stay on the debugger side).
uint32_t TmiSameViewpointCallCount();

}  // namespace zentor
