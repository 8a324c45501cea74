#include "command/postfix_code.h"
#include "core/value_bytes.h"

namespace zentor {

void EncodePostfixInstruction(uint8_t opcode, uint32_t operand, uint8_t* bytes) {
  bytes[0] = opcode;
  value_bytes::StoreU32(bytes + 1, operand);
}

DVErrorCode WritePostfixInstruction(MemoryFile& code, uint8_t opcode, uint32_t operand) {
  uint8_t bytes[kPostfixInstructionSize];
  EncodePostfixInstruction(opcode, operand, bytes);
  return code.Write(kPostfixInstructionSize, 1, bytes);
}

uint32_t PostfixDataLength(const PostfixInstruction& instruction) {
  if (instruction.opcode == kPostfixString) return PostfixStringLength(instruction.operand);
  if (instruction.opcode == kPostfixEmbeddedBlock) return instruction.operand;
  return 0;
}

const char* PostfixOpcodeName(uint8_t opcode) {
  struct OpcodeName {
    uint8_t opcode;
    const char* name;
  };
  static constexpr OpcodeName kNames[] = {
      {kPostfixCall, "call"},
      {kPostfixString, "string"},
      {kPostfixJump, "jump"},
      {kPostfixJumpIfTrue, "jump-if-true"},
      {kPostfixJumpIfFalse, "jump-if-false"},
      {kPostfixLoopStep, "loop-step"},
      {kPostfixNestIn, "nest-in"},
      {kPostfixNestOut, "nest-out"},
      {kPostfixNoOp, "no-op"},
      {kPostfixContinuePlaceholder, "continue-placeholder"},
      {kPostfixBreakPlaceholder, "break-placeholder"},
      {kPostfixDoWhilePlaceholder, "do-while-placeholder"},
      {kPostfixBlockStart, "block-start"},
      {kPostfixBlockEnd, "block-end"},
      {kPostfixEmbeddedBlock, "embedded-block"},
      {kPostfixLinkPlaceholder, "link-placeholder"},
  };
  for (const OpcodeName& entry : kNames) {
    if (entry.opcode == opcode) return entry.name;
  }
  return "bad";
}

}  // namespace zentor
