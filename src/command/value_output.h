#pragma once
// Typed value output: the one printer of the value on top of the value stack. A bare
// expression typed as a command, the watch table, the inspector, the memory view, the
// register window and the call-stack printer all print through it. Every value is
// formatted by its kind and a number base into one output line of 383 positions,
// which goes to the command output when the value is complete: numbers right-aligned
// in the width the format table gives them and then trimmed, strings and addresses as
// text, a pointer location with an element count as rows of target memory, and a
// symbol of an aggregate type as its members, nested to a limit.

#include <cstdint>

namespace zentor {

inline constexpr uint32_t kMsgOutputBufferOverflow = 78;  // "Output buffer overflow."
inline constexpr uint32_t kMsgInvalidTypeInOutput = 192;  // "Invalid type in output."
inline constexpr uint32_t kValueOutputLineSize = 383;

// Bits of the output state every public entry starts with (11).
inline constexpr uint16_t kOutputEndLineAfterValue = 1;
inline constexpr uint16_t kOutputRowAddress = 2;
inline constexpr uint16_t kOutputCharacterColumn = 8;

// A row of the value format table: for a kind (and a base, 0 for any), the width of a
// value and the elements of a memory row.
struct ValueFormatRow {
  uint8_t kind;
  uint8_t base;
  uint32_t width;
  uint32_t perRow;
};

// The row for a kind in a base; -1 when there is none.
int32_t FindValueFormatRow(uint32_t kind, uint32_t base);
const ValueFormatRow& ValueFormatTableRow(int32_t index);

// Clears the output line (the command loop, before each command).
void ResetValueOutput();
// Slot 191: displays the top value in the current number base (and removes it).
void DisplayTopValue();
void DisplayTopValueInBase(uint32_t base);
// Width of a value of a kind in a base; -1 when the kind has no width.
int32_t GetValueDisplayWidth(uint32_t kind, const uint8_t* value, uint32_t base);
// Elements of a memory row; 192 for locations and addresses, 0 for kinds without a row.
uint32_t GetValuesPerLine(uint32_t kind, uint32_t base);
// The layout of the memory row last written.
void GetMemoryLineLayout(uint32_t* firstColumn, uint32_t* elementsInRow, uint32_t* notCharacters,
                         uint32_t* width);
// The depth to which the members of aggregates are expanded: pushed around a display
// (0 shows an aggregate as its type name only) and popped again.
void PushNestingLimit(uint32_t limit);
uint32_t PopNestingLimit();

}  // namespace zentor
