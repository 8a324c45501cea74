#pragma once
// Typed memory access and fill: the commands that begin with a type word ("int4 buf",
// "int4 buf length 4 = 1, 2, 3", "string p = \"abc\""). The type word retypes a
// location, the range after it becomes the destination, and either the memory there
// is shown as elements of that type or a value list is converted to that type,
// collected into a pattern and written over the destination, repeated to its length.
//
// The pattern holds only the values given (cut to the destination's room), never the
// whole destination: a fill of millions of elements repeats it in pieces of at most
// kCopyPieceBytes per target write. A value-list item that is itself a typed range of
// the same type and length as the destination is copied target to target.

#include <cstdint>

namespace zentor {

inline constexpr uint32_t kMsgInvalidType = 159;         // "Invalid type."
inline constexpr uint32_t kMsgFillTooLarge = 162;        // "Exceeded available memory. ..."
inline constexpr uint32_t kMsgRegisterVariable = 81;     // "Invalid access of register variable."

// Action routines (slot numbers in brackets).
void ResetMemoryFill();      // 130
void RetypeLocation();       // 129
void MakeDestinationRange(); // 128
void AppendFillValue();      // 18
void WriteMemoryFill();      // 17
void MakeDisplayLocation();  // 13

// The pattern collected so far (its bytes) and whether a range was copied directly.
uint32_t FillPatternSize();
bool FillCopyDone();

}  // namespace zentor
