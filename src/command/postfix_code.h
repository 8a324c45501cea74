#pragma once
// The instruction format of postfix code, the flat program that the command parser
// makes of every command, macro body, procedure body and stored expression, and that
// the PostfixExecutor runs. Every instruction is five bytes, an opcode byte and a
// little-endian 32-bit operand; a string instruction is followed by its text and an
// embedded block by its bytes. The parser's emitters write this format and the
// executor, the block cutters and the code dumps read it through the functions here.

#include <cstdint>

#include "core/dv_error_code.h"
#include "core/memory_file.h"
#include "support/little_endian.h"

namespace zentor {

// Opcodes. A call's operand is a routine id of the action registry, never an address,
// so the same code runs on every build.
enum PostfixOpcode : uint8_t {
  kPostfixCall = 0,
  kPostfixString = 1,  // operand: text length (bits 0-15) and tag (bits 16-31)
  kPostfixJump = 2,    // operand: signed byte offset from the jumping instruction
  kPostfixJumpIfTrue = 3,
  kPostfixJumpIfFalse = 4,
  kPostfixLoopStep = 5,  // decrements the ord4 counter on the value stack
  kPostfixNestIn = 6,
  kPostfixNestOut = 7,
  kPostfixNoOp = 8,
  // Placeholders the parser rewrites when the control structure closes; code that
  // still holds one is bad code.
  kPostfixContinuePlaceholder = 9,
  kPostfixBreakPlaceholder = 10,
  kPostfixDoWhilePlaceholder = 11,
  kPostfixBlockStart = 0x0C,
  kPostfixBlockEnd = 0x0D,
  kPostfixEmbeddedBlock = 0xFE,  // operand: byte length of the block that follows
  kPostfixLinkPlaceholder = 0xFF,
};

inline constexpr uint32_t kPostfixInstructionSize = 5;

struct PostfixInstruction {
  uint8_t opcode = kPostfixNoOp;
  uint32_t operand = 0;
};

constexpr uint32_t PostfixStringOperand(uint16_t length, uint16_t tag) {
  return static_cast<uint32_t>(length) | (static_cast<uint32_t>(tag) << 16);
}
constexpr uint16_t PostfixStringLength(uint32_t operand) { return static_cast<uint16_t>(operand & 0xFFFFu); }
constexpr uint16_t PostfixStringTag(uint32_t operand) { return static_cast<uint16_t>(operand >> 16); }

// Jump operands are two's-complement offsets counted from the first byte of the
// jumping instruction: 5 goes on with the next instruction, 0 repeats this one.
constexpr int32_t PostfixJumpOffset(uint32_t operand) { return static_cast<int32_t>(operand); }
constexpr uint32_t PostfixJumpOperand(int32_t offset) { return static_cast<uint32_t>(offset); }

// The five bytes of an instruction, and back.
void EncodePostfixInstruction(uint8_t opcode, uint32_t operand, uint8_t* bytes);
inline PostfixInstruction DecodePostfixInstruction(const uint8_t* bytes) {
  PostfixInstruction instruction;
  instruction.opcode = bytes[0];
  instruction.operand = value_bytes::LoadU32(bytes + 1);
  return instruction;
}

// Reads the instruction at the file's position (182 at the end of the code). Inline:
// the executor reads one before every step.
inline DVErrorCode ReadPostfixInstruction(MemoryFile& code, PostfixInstruction* instruction) {
  if (const uint8_t* inPlace = code.ReadInPlace(kPostfixInstructionSize)) {
    *instruction = DecodePostfixInstruction(inPlace);
    return DVErrorCode();
  }
  uint8_t bytes[kPostfixInstructionSize];
  const DVErrorCode status = code.Read(kPostfixInstructionSize, 1, bytes);
  if (status.IsOkay()) *instruction = DecodePostfixInstruction(bytes);
  return status;
}
// Writes the instruction at the file's position.
DVErrorCode WritePostfixInstruction(MemoryFile& code, uint8_t opcode, uint32_t operand);

// Bytes that follow the instruction in the code: a string's text, an embedded
// block's bytes, nothing for the others.
uint32_t PostfixDataLength(const PostfixInstruction& instruction);

// A short name of the opcode for code dumps ("call", "string", "jump", ...,
// "bad" for an opcode that has no meaning).
const char* PostfixOpcodeName(uint8_t opcode);

}  // namespace zentor
