#pragma once
// Formatting of a decoded instruction (disasm_decoder.h) into the disassembler's
// line: the instruction's bytes in hexadecimal from column 0, then the prefixes, the
// mnemonic padded to ten characters and the operands, destination first, from column
// 24. A failed decode shows "??" after the text decoded so far.

#include <cstdint>

namespace zentor {

struct DecodeState;

// Columns of the line.
inline constexpr uint32_t kDisassemblyTextColumn = 24;
// Text stops here: nothing is written at this column or beyond.
inline constexpr uint32_t kDisassemblyLineLimit = 80;
// Byte pairs the byte column holds.
inline constexpr uint32_t kDisassemblyBytePairs = 12;
// What a line buffer must hold: the line and its terminating NUL.
inline constexpr uint32_t kDisassemblyLineCapacity = kDisassemblyLineLimit + 1;

// Writes the line of `state` into `line` (at least kDisassemblyLineCapacity
// characters), NUL-terminated after the last text character. Returns its length.
uint32_t FormatInstruction(const DecodeState& state, char* line);

}  // namespace zentor
