#include "target/disasm_decoder.h"

#include "target/disasm_tables.h"

namespace zentor {
namespace {

// Base and index of the sixteen-bit ModRM forms by the rm field (register numbers of
// the 16-bit encoding: bx 3, bp 5, si 6, di 7).
constexpr uint8_t kBase16[8] = {3, 3, 5, 5, 6, 7, 5, 3};
constexpr uint8_t kIndex16[8] = {6, 7, 6, 7, kNoRegister, kNoRegister, kNoRegister, kNoRegister};

class Decoder {
 public:
  Decoder(DecodeState& state, CodeByteSource& source) : m_state(state), m_source(source) {}

  // Steps of one decode:
  // 1. The first byte indexes the primary table under the main mnemonic base.
  // 2. Entries are followed until one names the instruction: prefixes record their
  //    bit and take the next byte from the primary table, groups choose a row of
  //    their table, ModRM demands read and split the ModRM (and SIB) byte once.
  // 3. The repeat and lock prefixes present must be allowed by the instruction.
  // 4. The operands of the chain take their bytes, in order.
  uint8_t Run() {
    uint8_t byte = 0;
    if (!Fetch(&byte)) return Fail(kDecodeFetchFailed);
    m_state.m_opcode = byte;
    const OpcodeEntry* entry = &kPrimaryOpcodeTable[byte];
    if (!FollowEntries(entry)) return m_state.m_result;
    if (m_state.m_allowedPrefixes < m_state.m_repeatLockPrefixes) return Fail(kDecodePrefixNotAllowed);
    const uint32_t row = m_state.m_mnemonicBase + entry->word;
    if (row >= kMnemonicRowCount || entry->byte >= kOperandChainSize) return Fail(kDecodeBadGroupOrRegister);
    m_state.m_mnemonicRow = SixteenBitRow(row);
    m_state.m_firstOperand = entry->byte;
    m_state.m_reachedOperands = true;
    WalkOperands();
    return m_state.m_result;
  }

 private:
  uint8_t Fail(uint8_t result) {
    m_state.m_result = result;
    return result;
  }

  bool Fetch(uint8_t* byte) {
    if (m_source.m_next == m_source.m_end && !m_source.Refill()) return false;
    if (m_state.m_length >= kMaxInstructionBytes) return false;
    *byte = *m_source.m_next++;
    m_state.m_bytes[m_state.m_length++] = *byte;
    return true;
  }

  // Little-endian value of `size` bytes (1, 2 or 4).
  bool FetchValue(uint32_t size, uint32_t* value) {
    uint32_t result = 0;
    for (uint32_t i = 0; i < size; ++i) {
      uint8_t byte = 0;
      if (!Fetch(&byte)) return false;
      result |= static_cast<uint32_t>(byte) << (8 * i);
    }
    *value = result;
    return true;
  }

  // The byte `distance` bytes ahead of the decode position, not consumed.
  bool Peek(uint32_t distance, uint8_t* byte) {
    const uint32_t available = static_cast<uint32_t>(m_source.m_end - m_source.m_next);
    if (distance < available) {
      *byte = m_source.m_next[distance];
      return true;
    }
    return m_source.PeekBeyond(distance - available, byte);
  }

  // Reads and splits the ModRM byte, and a SIB byte where the form has one; the
  // displacement is taken later with the operand that prints it. A ModRM already
  // read (by a group) is kept.
  bool ReadModRm(bool registerOnly) {
    if (m_state.m_modRmRead) return true;
    uint8_t modRm = 0;
    if (!Fetch(&modRm)) return false;
    m_state.m_modRmRead = true;
    m_state.m_modRm = modRm;
    m_state.m_mod = static_cast<uint8_t>(modRm >> 6);
    m_state.m_reg = static_cast<uint8_t>((modRm >> 3) & 7);
    m_state.m_rm = static_cast<uint8_t>(modRm & 7);
    if (m_state.m_mod == 3 || registerOnly) {
      m_state.m_memoryForm = kRegisterForm;
      return true;
    }
    if (m_state.m_addressSize32) {
      uint8_t base = m_state.m_rm;
      if (base == 4) {
        uint8_t sib = 0;
        if (!Fetch(&sib)) return false;
        const uint8_t index = static_cast<uint8_t>((sib >> 3) & 7);
        m_state.m_index = index == 4 ? kNoRegister : index;
        m_state.m_scale = static_cast<uint8_t>(1u << (sib >> 6));
        base = static_cast<uint8_t>(sib & 7);
      }
      if (m_state.m_mod == 0 && base == 5) {
        m_state.m_base = kNoRegister;
        m_state.m_displacementSize = 4;
      } else {
        m_state.m_base = base;
        m_state.m_displacementSize = m_state.m_mod == 1 ? 1 : (m_state.m_mod == 2 ? 4 : 0);
      }
    } else if (m_state.m_mod == 0 && m_state.m_rm == 6) {
      m_state.m_displacementSize = 2;
    } else {
      m_state.m_base = kBase16[m_state.m_rm];
      m_state.m_index = kIndex16[m_state.m_rm];
      m_state.m_displacementSize = m_state.m_mod;
    }
    const bool addressed = m_state.m_base != kNoRegister || m_state.m_index != kNoRegister;
    m_state.m_memoryForm = addressed ? kBaseIndexForm : kDisplacementOnlyForm;
    return true;
  }

  bool FetchFailed() {
    Fail(kDecodeFetchFailed);
    return false;
  }

  // Follows the entries from `entry` until one names the instruction; false with the
  // result set when decoding ends before.
  bool FollowEntries(const OpcodeEntry*& entry) {
    bool groupRow = false;
    for (;;) {
      switch (entry->kind) {
        case kEntryInvalid:
          Fail(kDecodeInvalidOpcode);
          return false;
        case kEntryGroup:
          if (!SelectGroupRow(entry, groupRow)) return false;
          continue;
        case kEntryRepeatLockPrefix:
        case kEntrySizeSegmentPrefix: {
          if (groupRow) {
            Fail(kDecodeInvalidOpcode);
            return false;
          }
          const uint8_t result = entry->kind == kEntryRepeatLockPrefix ? RecordRepeatLock(entry->byte)
                                                                       : RecordSizeSegment(entry->byte);
          if (result != kDecodeOk) {
            Fail(result);
            return false;
          }
          uint8_t byte = 0;
          if (!Fetch(&byte)) return FetchFailed();
          m_state.m_opcode = byte;
          entry = &kPrimaryOpcodeTable[byte];
          continue;
        }
        case kEntryReservedEscape:
          if (groupRow || entry->byte >= kReservedTableSize) {
            Fail(groupRow ? kDecodeInvalidOpcode : kDecodeBadGroupOrRegister);
            return false;
          }
          m_state.m_mnemonicBase = kReservedMnemonicBase;
          entry = &kReservedOpcodeTable[entry->byte];
          groupRow = true;
          continue;
        case kEntryModRmLockAllowed:
          m_state.m_allowedPrefixes = kAllowLock;
          return ReadModRm(false) || FetchFailed();
        case kEntryModRm:
          return ReadModRm(false) || FetchFailed();
        case kEntryModRmRegisterOnly:
          return ReadModRm(true) || FetchFailed();
        case kEntryModRmRegZero:
        case kEntryModRmRegOne:
          if (!ReadModRm(false)) return FetchFailed();
          if (m_state.m_reg != (entry->kind == kEntryModRmRegZero ? 0 : 1)) {
            Fail(kDecodeInvalidOpcode);
            return false;
          }
          return true;
        case kEntryLowBitsRegLockAllowed:
          m_state.m_allowedPrefixes = kAllowLock;
          m_state.m_reg = static_cast<uint8_t>(m_state.m_opcode & 7);
          return true;
        case kEntryLowBitsReg:
        case kEntryLowBitsRegAlternate:
        case kEntryLowBitsRegThird:
          m_state.m_reg = static_cast<uint8_t>(m_state.m_opcode & 7);
          return true;
        case kEntryNextByte0A: {
          uint8_t byte = 0;
          if (!Fetch(&byte)) return FetchFailed();
          if (byte != 0x0A) {
            Fail(kDecodeInvalidOpcode);
            return false;
          }
          return true;
        }
        case kEntryRepeatAllowed:
          m_state.m_allowedPrefixes = kAllowRepeat;
          return true;
        case kEntryLockAllowed:
          m_state.m_allowedPrefixes = kAllowLock;
          return true;
        default:
          return true;
      }
    }
  }

  uint8_t RecordRepeatLock(uint8_t bit) {
    if ((m_state.m_repeatLockPrefixes & (kPrefixRepne | kPrefixRep)) != 0) return kDecodeRepeatAfterRepeat;
    if ((m_state.m_repeatLockPrefixes & bit) != 0) return kDecodeLockTwice;
    m_state.m_repeatLockPrefixes = static_cast<uint8_t>(m_state.m_repeatLockPrefixes | bit);
    return kDecodeOk;
  }

  uint8_t RecordSizeSegment(uint8_t bit) {
    if ((m_state.m_sizeSegmentPrefixes & bit) != 0) return kDecodePrefixTwice;
    if ((bit & kSegmentPrefixMask) != 0 && (m_state.m_sizeSegmentPrefixes & kSegmentPrefixMask) != 0) {
      return kDecodeSecondSegment;
    }
    m_state.m_sizeSegmentPrefixes = static_cast<uint8_t>(m_state.m_sizeSegmentPrefixes | bit);
    if (bit == kPrefixOperandSize) m_state.m_operandSize32 = !m_state.m_operandSize32;
    if (bit == kPrefixAddressSize) m_state.m_addressSize32 = !m_state.m_addressSize32;
    return kDecodeOk;
  }

  // A group entry: switches the mnemonic base and lets the group's handler choose the
  // row that decoding goes on with.
  bool SelectGroupRow(const OpcodeEntry*& entry, bool& groupRow) {
    const uint8_t group = entry->byte;
    if (group == 0 || group > kGroupCount || entry->word >= kMnemonicBaseCount) {
      Fail(kDecodeBadGroupOrRegister);
      return false;
    }
    const GroupDescriptor& descriptor = kOpcodeGroups[group];
    m_state.m_mnemonicBase = kMnemonicBases[entry->word];
    uint32_t row = 0;
    switch (descriptor.handler) {
      case GroupHandler::TwoByte: {
        uint8_t byte = 0;
        if (!Fetch(&byte)) return FetchFailed();
        m_state.m_opcode = byte;
        if (byte >= 0x50 && (byte < 0x80 || byte > 0xCF)) {
          Fail(kDecodeInvalidOpcode);
          return false;
        }
        // The two-byte rows go on like entries of the primary table.
        entry = &descriptor.rows[byte < 0x50 ? byte : byte - 0x30];
        groupRow = false;
        return true;
      }
      case GroupHandler::ModRmReg:
        if (!ReadModRm(false)) return FetchFailed();
        row = m_state.m_reg;
        m_state.m_signExtendImm8 = descriptor.signExtendsImm8 != 0;
        break;
      case GroupHandler::FusedWait:
        if (!SelectWaitRow(&row)) return false;
        break;
      case GroupHandler::X87: {
        if (!ReadModRm(false)) return FetchFailed();
        const uint8_t modRm = m_state.m_modRm;
        if (modRm < 0xC0) {
          row = m_state.m_reg;
        } else {
          row = descriptor.registerRows[modRm - 0xC0];
          m_state.m_x87Index = static_cast<uint8_t>(modRm & 7);
        }
        break;
      }
      case GroupHandler::None:
        Fail(kDecodeBadGroupOrRegister);
        return false;
    }
    if (row >= descriptor.rowCount) {
      Fail(kDecodeInvalidOpcode);
      return false;
    }
    entry = &descriptor.rows[row];
    groupRow = true;
    return true;
  }

  // 9B: a look-ahead decides whether the wait is the first byte of a waiting x87
  // control instruction. Only memory forms of D9 and DD /6 and /7 are such
  // instructions: the register forms there are f2xm1 .. fcos, which follow a plain
  // wait.
  bool SelectWaitRow(uint32_t* row) {
    uint8_t next = 0;
    uint8_t after = 0;
    *row = kWaitRowWait;
    if (!Peek(0, &next) || !Peek(1, &after)) return true;
    const uint8_t reg = static_cast<uint8_t>((after >> 3) & 7);
    if ((next == 0xD9 || next == 0xDD) && (reg == 6 || reg == 7) && after < 0xC0) {
      uint8_t byte = 0;
      if (!Fetch(&byte) || !ReadModRm(false)) return FetchFailed();
      *row = (next == 0xD9 ? kWaitRowFstenv : kWaitRowFsave) + (reg - 6);
      return true;
    }
    uint32_t fused = kWaitRowWait;
    if (next == 0xDB && after == 0xE2) fused = kWaitRowFclex;
    if (next == 0xDB && after == 0xE3) fused = kWaitRowFinit;
    if (next == 0xDB && after == 0xE4) fused = kWaitRowFsetpm;
    if (next == 0xDF && after == 0xE0) fused = kWaitRowFstswAx;
    if (fused != kWaitRowWait) {
      uint8_t byte = 0;
      if (!Fetch(&byte) || !Fetch(&byte)) return FetchFailed();
      *row = fused;
    }
    return true;
  }

  uint32_t SixteenBitRow(uint32_t row) const {
    if (m_state.m_operandSize32 || m_state.m_mnemonicBase != kMainMnemonicBase) return row;
    for (const SixteenBitMnemonic& pair : kSixteenBitMnemonics) {
      if (pair.row == row) return pair.sixteenBitRow;
    }
    return row;
  }

  // Takes the bytes of each operand of the chain in order, as printing them would;
  // a failing operand ends the walk.
  void WalkOperands() {
    const uint32_t operandSize = m_state.m_operandSize32 ? 4 : 2;
    const uint32_t addressSize = m_state.m_addressSize32 ? 4 : 2;
    uint8_t record = m_state.m_firstOperand;
    while (record != 0 && m_state.m_operandCount < kMaxChainOperands) {
      const OperandChainRecord& operand = kOperandChain[record];
      const uint8_t position = m_state.m_operandCount++;
      uint32_t* value = &m_state.m_operandValues[position];
      bool fetched = true;
      switch (operand.kind) {
        case kOperandImmediate8:
        case kOperandRelative8:
          fetched = FetchValue(1, value);
          break;
        case kOperandImmediate:
        case kOperandRelative:
          fetched = FetchValue(operandSize, value);
          break;
        case kOperandImmediate16:
          fetched = FetchValue(2, value);
          break;
        case kOperandDirectByte:
        case kOperandDirect:
          fetched = FetchValue(addressSize, value);
          break;
        case kOperandFarPointer: {
          // ptr16:16 or ptr16:32: the offset of the operand size, then the selector.
          uint32_t selector = 0;
          m_state.m_farOffsetSize = static_cast<uint8_t>(operandSize);
          fetched = FetchValue(operandSize, value) && FetchValue(2, &selector);
          m_state.m_farSelector = static_cast<uint16_t>(selector);
          break;
        }
        case kOperandDebugRegister:
          if (m_state.m_reg == 4 || m_state.m_reg == 5) {
            FailOperand(position, kDecodeBadGroupOrRegister);
            return;
          }
          break;
        case kOperandRm8:
        case kOperandRm:
        case kOperandRm16:
        case kOperandFarIndirect:
          if (m_state.m_memoryForm != kRegisterForm) fetched = FetchValue(m_state.m_displacementSize, &m_state.m_displacement);
          break;
        case kOperandMemory:
        case kOperandMemorySized:
        case kOperandMemoryReal32:
        case kOperandMemoryReal64:
        case kOperandMemory80:
        case kOperandMemoryInt64:
        case kOperandMemoryInt32:
        case kOperandMemoryInt16:
          // These operands are memory only; the processor refuses a register form.
          if (m_state.m_memoryForm == kRegisterForm) {
            FailOperand(position, kDecodeInvalidOpcode);
            return;
          }
          fetched = FetchValue(m_state.m_displacementSize, &m_state.m_displacement);
          break;
        default:
          break;
      }
      if (!fetched) {
        FailOperand(position, kDecodeFetchFailed);
        return;
      }
      record = operand.next;
    }
  }

  void FailOperand(uint8_t position, uint8_t result) {
    m_state.m_failedOperand = position;
    Fail(result);
  }

  DecodeState& m_state;
  CodeByteSource& m_source;
};

}  // namespace

uint8_t DecodeInstruction(DecodeState& state, CodeByteSource& source, uint32_t offset, bool size32) {
  // Only what a decode reads before writing is reset; the operand values and the
  // bytes are written before they are read.
  state.m_offset = offset;
  state.m_length = 0;
  state.m_result = kDecodeOk;
  state.m_reachedOperands = false;
  state.m_failedOperand = kNoFailedOperand;
  state.m_operandSize32 = size32;
  state.m_addressSize32 = size32;
  state.m_sizeSegmentPrefixes = 0;
  state.m_repeatLockPrefixes = 0;
  state.m_allowedPrefixes = 0;
  state.m_mnemonicBase = kMainMnemonicBase;
  state.m_signExtendImm8 = false;
  state.m_modRmRead = false;
  state.m_memoryForm = kRegisterForm;
  state.m_base = kNoRegister;
  state.m_index = kNoRegister;
  state.m_scale = 0;
  state.m_displacementSize = 0;
  state.m_displacement = 0;
  state.m_x87Index = 0;
  state.m_operandCount = 0;
  return Decoder(state, source).Run();
}

}  // namespace zentor
