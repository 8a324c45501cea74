#include "target/disasm_formatter.h"

#include <cstring>

#include "target/disasm_decoder.h"
#include "target/disasm_tables.h"

namespace zentor {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr const char* kRegisters8[8] = {"al", "cl", "dl", "bl", "ah", "ch", "dh", "bh"};
constexpr const char* kRegisters16[8] = {"ax", "cx", "dx", "bx", "sp", "bp", "si", "di"};
constexpr const char* kRegisters32[8] = {"eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi"};
// Segment override prefix bits (es, cs, ss, ds, fs, gs) and their names.
constexpr uint8_t kSegmentBits[6] = {kPrefixEs, kPrefixCs, kPrefixSs, kPrefixDs, kPrefixFs, kPrefixGs};
constexpr const char* kSegmentNames[6] = {"es", "cs", "ss", "ds", "fs", "gs"};

// Writes text from the text column on; characters at the limit or beyond are dropped.
class LineWriter {
 public:
  explicit LineWriter(char* line) : m_line(line) {}

  void Put(char c) {
    if (m_column < kDisassemblyLineLimit) m_line[m_column++] = c;
  }
  void Put(const char* text) {
    while (*text != '\0') Put(*text++);
  }
  void PutHex(uint32_t value, uint32_t digits) {
    for (uint32_t i = digits; i > 0; --i) Put(kHexDigits[(value >> (4 * (i - 1))) & 0xF]);
  }
  // A number: "0" and its hexadecimal digits without leading zeros; zero prints "0".
  void PutNumber(uint32_t value) {
    Put('0');
    uint32_t digits = 0;
    for (uint32_t rest = value; rest != 0; rest >>= 4) ++digits;
    PutHex(value, digits);
  }
  uint32_t Column() const { return m_column; }
  void SetColumn(uint32_t column) { m_column = column; }

 private:
  char* m_line;
  uint32_t m_column = 0;
};

// Value masks by byte count.
constexpr uint32_t Mask(uint32_t size) { return size >= 4 ? 0xFFFFFFFFu : (1u << (8 * size)) - 1; }

// The text of one decoded instruction: prefixes, the mnemonic row and the operands
// along the chain, each as its operand kind prints it.
class InstructionPrinter {
 public:
  InstructionPrinter(const DecodeState& state, LineWriter& out) : m_state(state), m_out(out) {}

  void PrintText() {
    PrintPrefixes();
    const StringOverrideForm* form = SegmentOverride() != nullptr ? StringFormOf(m_state.m_mnemonicRow) : nullptr;
    if (form != nullptr) {
      PrintRow(form->genericRow);
      PrintStringOperands(*form);
      return;
    }
    PrintRow(m_state.m_mnemonicRow);
    PrintOperands();
  }

 private:
  void PrintPrefixes() {
    const uint8_t prefixes = m_state.m_repeatLockPrefixes;
    if ((prefixes & kPrefixRepne) != 0) m_out.Put("repne ");
    if ((prefixes & kPrefixRep) != 0) {
      bool equal = false;
      for (uint16_t row : kRepeatEqualRows) equal = equal || row == m_state.m_mnemonicRow;
      m_out.Put(equal ? "repe " : "rep ");
    }
    if ((prefixes & kPrefixLock) != 0) m_out.Put("lock ");
  }

  void PrintRow(uint32_t row) {
    const auto& text = kMnemonicTable[row];
    for (uint32_t i = 0; i < kMnemonicTextWidth; ++i) m_out.Put(text[i]);
  }

  static const StringOverrideForm* StringFormOf(uint32_t row) {
    for (const StringOverrideForm& form : kStringOverrideForms) {
      if (form.row == row) return &form;
    }
    return nullptr;
  }

  // The override's name, or null without one.
  const char* SegmentOverride() const {
    for (uint32_t i = 0; i < 6; ++i) {
      if ((m_state.m_sizeSegmentPrefixes & kSegmentBits[i]) != 0) return kSegmentNames[i];
    }
    return nullptr;
  }
  void PrintOverride() {
    if (const char* segment = SegmentOverride()) {
      m_out.Put(segment);
      m_out.Put(':');
    }
  }

  // movs, cmps, outs and lods under a segment override name their operands, the
  // overridden source with its size.
  void PrintStringOperands(const StringOverrideForm& form) {
    const bool wide = m_state.m_addressSize32;
    const char* source = wide ? "[esi]" : "[si]";
    const char* destination = wide ? "es:[edi]" : "es:[di]";
    auto printSource = [&] {
      m_out.Put(form.sizeText);
      PrintOverride();
      m_out.Put(source);
    };
    switch (form.operands) {
      case StringOperands::Move:
        m_out.Put(destination);
        m_out.Put(',');
        printSource();
        break;
      case StringOperands::Compare:
        printSource();
        m_out.Put(',');
        m_out.Put(destination);
        break;
      case StringOperands::Output:
        m_out.Put("dx,");
        printSource();
        break;
      case StringOperands::Load:
        printSource();
        break;
    }
  }

  // The operands along the chain, up to one that failed; a comma follows an operand
  // whose next record is an operand of its own (above the "far" and "near" markers).
  void PrintOperands() {
    uint8_t record = m_state.m_firstOperand;
    for (uint8_t position = 0; record != 0 && position < m_state.m_operandCount; ++position) {
      if (position == m_state.m_failedOperand) return;
      const OperandChainRecord& operand = kOperandChain[record];
      PrintOperand(operand, position);
      if (operand.next > kLastUnseparatedRecord) m_out.Put(',');
      record = operand.next;
    }
  }

  uint32_t OperandSize() const { return m_state.m_operandSize32 ? 4 : 2; }

  const char* GeneralRegister(uint32_t number) const {
    return m_state.m_operandSize32 ? kRegisters32[number] : kRegisters16[number];
  }

  void PrintOperand(const OperandChainRecord& operand, uint8_t position) {
    const uint32_t value = m_state.m_operandValues[position];
    switch (operand.kind) {
      case kOperandFar: m_out.Put("far"); break;
      case kOperandNear: m_out.Put("near"); break;
      case kOperandAl: m_out.Put("al"); break;
      case kOperandAlDx: m_out.Put("al,dx"); break;
      case kOperandAx: m_out.Put("ax"); break;
      case kOperandCl: m_out.Put("cl"); break;
      case kOperandCs: m_out.Put("cs"); break;
      case kOperandDs: m_out.Put("ds"); break;
      case kOperandDx: m_out.Put("dx"); break;
      case kOperandDxAl: m_out.Put("dx,al"); break;
      case kOperandAccumulator: m_out.Put(m_state.m_operandSize32 ? "eax" : "ax"); break;
      case kOperandEs: m_out.Put("es"); break;
      case kOperandFs: m_out.Put("fs"); break;
      case kOperandGs: m_out.Put("gs"); break;
      case kOperandShiftOne: m_out.Put("1h"); break;
      case kOperandSs: m_out.Put("ss"); break;
      case kOperandBreakpointVector: m_out.Put("3"); break;
      case kOperandX87Top: m_out.Put("st(0)"); break;
      case kOperandX87Register:
        m_out.Put("st(");
        m_out.Put(static_cast<char>('0' + m_state.m_x87Index));
        m_out.Put(')');
        break;
      case kOperandControlRegister: PrintSpecialRegister("cr", m_state.m_reg); break;
      case kOperandDebugRegister: PrintSpecialRegister("dr", m_state.m_reg); break;
      case kOperandTestRegister: PrintSpecialRegister("tr", m_state.m_reg); break;
      case kOperandRegister8: m_out.Put(kRegisters8[m_state.m_reg]); break;
      case kOperandRegister: m_out.Put(GeneralRegister(m_state.m_reg)); break;
      case kOperandRegister16: m_out.Put(kRegisters16[m_state.m_reg]); break;
      case kOperandRegister32:
        m_out.Put(kRegisters32[m_state.m_mnemonicRow == kMovMnemonicRow ? m_state.m_rm : m_state.m_reg]);
        break;
      case kOperandImmediate8: PrintImmediate8(value, operand.next == 0); break;
      case kOperandImmediate: m_out.PutNumber(value); break;
      case kOperandImmediate16: m_out.PutNumber(value); break;
      case kOperandRelative8: PrintRelative(value, 1); break;
      case kOperandRelative: PrintRelative(value, OperandSize()); break;
      case kOperandDirectByte:
        m_out.Put("byte ptr ");
        PrintOverride();
        m_out.PutNumber(value);
        break;
      case kOperandDirect:
        m_out.Put(m_state.m_operandSize32 ? "dword ptr " : "word ptr ");
        PrintOverride();
        m_out.PutNumber(value);
        break;
      case kOperandFarPointer:
        m_out.PutNumber(m_state.m_farSelector);
        m_out.Put(':');
        m_out.PutHex(value, 2 * m_state.m_farOffsetSize);
        m_out.Put(" far");
        break;
      case kOperandMemory: PrintMemory(" "); break;
      case kOperandMemorySized: PrintMemory(m_state.m_operandSize32 ? "dword ptr " : "word ptr "); break;
      case kOperandMemoryReal32: PrintMemory("dword ptr "); break;
      case kOperandMemoryReal64: PrintMemory("qword ptr "); break;
      case kOperandMemory80: PrintMemory("tbyte ptr "); break;
      case kOperandMemoryInt64: PrintMemory("qword ptr "); break;
      case kOperandMemoryInt32: PrintMemory("dword ptr "); break;
      case kOperandMemoryInt16: PrintMemory("word ptr "); break;
      case kOperandRm8: PrintRm(kRegisters8[m_state.m_rm], "byte ptr "); break;
      case kOperandRm: PrintRm(GeneralRegister(m_state.m_rm), m_state.m_operandSize32 ? "dword ptr " : "word ptr "); break;
      case kOperandRm16: PrintRm(kRegisters16[m_state.m_rm], "word ptr "); break;
      case kOperandFarIndirect:
        // The register form reads as a far pointer in the code segment.
        if (m_state.m_memoryForm == kRegisterForm && SegmentOverride() == nullptr) m_out.Put("cs:");
        PrintRm(GeneralRegister(m_state.m_rm), " ");
        break;
      default:
        break;
    }
  }

  // An r/m operand: the register of its register form, else the memory operand.
  void PrintRm(const char* registerName, const char* sizeText) {
    if (m_state.m_memoryForm == kRegisterForm) {
      m_out.Put(registerName);
    } else {
      PrintMemory(sizeText);
    }
  }

  void PrintSpecialRegister(const char* prefix, uint8_t number) {
    m_out.Put(prefix);
    m_out.Put(static_cast<char>('0' + number));
  }

  // Sign-extended in the group of 83 when it is the last operand, else unsigned.
  void PrintImmediate8(uint32_t value, bool last) {
    if (m_state.m_signExtendImm8 && last && value >= 0x80) {
      m_out.PutNumber(m_state.m_operandSize32 ? 0xFFFFFF00u | value : 0xFF00u | value);
    } else {
      m_out.PutNumber(value);
    }
  }

  // "$", the signed distance from the instruction's start (none when 0) in exactly
  // two digits per displacement byte, then " ;a=" and the target.
  void PrintRelative(uint32_t displacement, uint32_t size) {
    const uint32_t signBit = 1u << (8 * size - 1);
    const bool negative = (displacement & signBit) != 0;
    // The two's complement of a negative value of `size` bytes: its magnitude.
    const uint32_t magnitude = negative ? ((~displacement & Mask(size)) + 1) : displacement;
    const uint32_t length = m_state.m_length;
    bool distanceNegative = false;
    uint32_t distance = 0;
    if (!negative) {
      distance = magnitude + length;
    } else if (magnitude < length) {
      distance = length - magnitude;
    } else {
      distance = magnitude - length;
      distanceNegative = true;
    }
    m_out.Put('$');
    if (distance != 0) {
      m_out.Put(distanceNegative ? '-' : '+');
      m_out.PutHex(distance & Mask(size), 2 * size);
    }
    m_out.Put(" ;a=");
    const uint32_t target = distanceNegative ? m_state.m_offset - distance : m_state.m_offset + distance;
    if (m_state.m_addressSize32) {
      m_out.PutHex(target, 8);
    } else {
      m_out.PutHex(target & 0xFFFF, 4);
    }
  }

  // The size text, the override, then [base][index*scale] and the displacement, or
  // the displacement alone.
  void PrintMemory(const char* sizeText) {
    m_out.Put(sizeText);
    PrintOverride();
    const uint32_t displacement = m_state.m_displacement;
    const uint8_t size = m_state.m_displacementSize;
    if (m_state.m_memoryForm == kDisplacementOnlyForm) {
      m_out.PutNumber(displacement);
      return;
    }
    const char* const* names = m_state.m_addressSize32 ? kRegisters32 : kRegisters16;
    if (m_state.m_base != kNoRegister) {
      m_out.Put('[');
      m_out.Put(names[m_state.m_base]);
      m_out.Put(']');
    }
    if (m_state.m_index != kNoRegister) {
      m_out.Put('[');
      m_out.Put(names[m_state.m_index]);
      if (m_state.m_scale > 1) {
        m_out.Put('*');
        m_out.PutHex(m_state.m_scale, 2);
      }
      m_out.Put(']');
    }
    if (size == 0) return;
    if (size == 1 && displacement >= 0x80) {
      m_out.Put('-');
      m_out.PutNumber(0x100 - displacement);
    } else {
      m_out.Put('+');
      m_out.PutNumber(displacement);
    }
  }

  const DecodeState& m_state;
  LineWriter& m_out;
};

// The byte column: two digits per byte. An instruction longer than the column shows
// its first eleven bytes and "+", so that its text still starts at the text column.
void PrintBytes(const DecodeState& state, char* line) {
  const uint32_t count = state.m_length;
  const uint32_t shown = count <= kDisassemblyBytePairs ? count : kDisassemblyBytePairs - 1;
  for (uint32_t i = 0; i < shown; ++i) {
    line[2 * i] = kHexDigits[state.m_bytes[i] >> 4];
    line[2 * i + 1] = kHexDigits[state.m_bytes[i] & 0xF];
  }
  if (shown < count) line[2 * shown] = '+';
}

}  // namespace

uint32_t FormatInstruction(const DecodeState& state, char* line) {
  std::memset(line, ' ', kDisassemblyLineLimit - 1);
  PrintBytes(state, line);
  LineWriter out(line);
  out.SetColumn(kDisassemblyTextColumn);
  if (state.m_reachedOperands) InstructionPrinter(state, out).PrintText();
  if (state.m_result != kDecodeOk) out.Put("??");
  line[out.Column()] = '\0';
  return out.Column();
}

}  // namespace zentor
