#pragma once
// Decoding of one x86 instruction into a DecodeState record, by walking the opcode
// tables (disasm_tables.h) from the first byte: prefixes, groups, the ModRM and SIB
// bytes, then the bytes each operand of the instruction's chain carries. The
// formatter (disasm_formatter.h) turns the record into text; the disassembler
// (disassembler.h) feeds the decoder from its code window, the tests and the
// benchmark from byte arrays.

#include <cstdint>

namespace zentor {

// Decode results. A result other than kDecodeOk shows as "??" after the text decoded
// so far.
enum DecodeResult : uint8_t {
  kDecodeOk = 0,
  kDecodeBadGroupOrRegister = 1,
  kDecodeRepeatAfterRepeat = 3,
  kDecodeLockTwice = 4,
  kDecodePrefixTwice = 5,
  kDecodeSecondSegment = 6,
  kDecodePrefixNotAllowed = 9,
  kDecodeInvalidOpcode = 10,
  // The code ended (or could not be read) inside the instruction.
  kDecodeFetchFailed = 11,
};

// Where the operand of a ModRM byte lies.
enum MemoryForm : uint8_t { kRegisterForm = 0, kBaseIndexForm = 1, kDisplacementOnlyForm = 2 };

inline constexpr uint8_t kNoRegister = 0xFF;
// Prefixes (at most five that decode), two opcode bytes, ModRM, SIB, displacement and
// immediate: no instruction that decodes is longer.
inline constexpr uint32_t kMaxInstructionBytes = 17;
// Operands a chain holds at most (three, and a "near" or "far" marker).
inline constexpr uint32_t kMaxChainOperands = 4;
inline constexpr uint8_t kNoFailedOperand = 0xFF;

// The decoded instruction: what the prefixes, the opcode tables and the ModRM byte
// said, and the values its operands carry, in chain order. Every decode starts it
// afresh (the bytes and operand values are written before they are read).
struct DecodeState {
  uint32_t m_offset = 0;  // low 32 bits of the instruction's offset in its space
  uint8_t m_bytes[kMaxInstructionBytes] = {};
  uint32_t m_length = 0;  // bytes consumed
  uint8_t m_result = kDecodeOk;
  // Set once decoding reached the operands (prefixes and mnemonic then print).
  bool m_reachedOperands = false;
  // Chain position of the operand that failed (kNoFailedOperand: none did).
  uint8_t m_failedOperand = kNoFailedOperand;

  bool m_operandSize32 = true;
  bool m_addressSize32 = true;
  uint8_t m_sizeSegmentPrefixes = 0;  // kPrefixOperandSize .. kPrefixGs
  uint8_t m_repeatLockPrefixes = 0;   // kPrefixRepne, kPrefixRep, kPrefixLock
  uint8_t m_allowedPrefixes = 0;      // kAllowRepeat or kAllowLock
  uint8_t m_opcode = 0;               // the last opcode byte taken from a table
  uint32_t m_mnemonicBase = 0;
  uint32_t m_mnemonicRow = 0;  // whole-table row, after the 16-bit replacement
  uint8_t m_firstOperand = 0;  // chain record
  bool m_signExtendImm8 = false;

  bool m_modRmRead = false;
  uint8_t m_modRm = 0;
  uint8_t m_mod = 0;
  uint8_t m_reg = 0;
  uint8_t m_rm = 0;
  uint8_t m_memoryForm = kRegisterForm;
  uint8_t m_base = kNoRegister;   // register number of the address size's encoding
  uint8_t m_index = kNoRegister;
  uint8_t m_scale = 0;            // 0 (no SIB byte), 1, 2, 4 or 8
  uint8_t m_displacementSize = 0; // 0, 1, 2 or 4 bytes
  uint32_t m_displacement = 0;
  uint8_t m_x87Index = 0;

  uint8_t m_operandCount = 0;  // operands walked (the failed one included)
  uint32_t m_operandValues[kMaxChainOperands] = {};
  uint16_t m_farSelector = 0;
  uint8_t m_farOffsetSize = 0;
};

// The code bytes from the decode position on. A source over a fixed array has no
// more; the code window reads on from the target.
class CodeByteSource {
 public:
  virtual ~CodeByteSource() = default;
  // Called when m_next reached m_end: makes at least one byte at the decode position
  // available, or answers false (the code ends there). May throw a DVError when the
  // target cannot be read.
  virtual bool Refill() { return false; }
  // Reads the byte `distance` bytes after m_end without consuming it (the look-ahead
  // of the fused-wait forms); false when it cannot be read.
  virtual bool PeekBeyond(uint32_t distance, uint8_t* byte) { return false; }

  const uint8_t* m_next = nullptr;
  const uint8_t* m_end = nullptr;
};

// A source over bytes in host memory.
class CodeByteSpan final : public CodeByteSource {
 public:
  CodeByteSpan(const uint8_t* bytes, uint32_t count) {
    m_next = bytes;
    m_end = bytes + count;
  }
};

// Decodes one instruction at the source's position, at `offset` in its address
// space. `size32`: the default operand and address size is 32 bits (else 16).
// Returns the result; the state holds the rest, its length counts the bytes consumed
// (at least 1 unless the source had none).
uint8_t DecodeInstruction(DecodeState& state, CodeByteSource& source, uint32_t offset, bool size32);

}  // namespace zentor
