#pragma once
// The x86 disassembler's tables: the byte-indexed opcode tables whose entries say how
// decoding goes on (a prefix, a group, a ModRM demand) or name the instruction, the
// mnemonic rows and the operand chains. They are data, written once in
// disasm_tables.cpp; the decoder indexes them directly and the formatter prints from
// them, so neither holds knowledge of single opcodes.

#include <array>
#include <cstdint>

namespace zentor {

// How an opcode entry is processed.
enum OpcodeEntryKind : uint8_t {
  kEntryInvalid = 0,
  kEntryGroup = 1,                 // byte: group number 1..30; word: mnemonic base selector
  kEntryRepeatLockPrefix = 2,      // byte: the prefix bit (kPrefixRepne, kPrefixRep, kPrefixLock)
  kEntrySizeSegmentPrefix = 3,     // byte: the prefix bit (kPrefixOperandSize .. kPrefixGs)
  kEntryModRmLockAllowed = 4,
  kEntryModRm = 5,
  // A ModRM byte whose mod field the processor ignores: the rm field always names a
  // register and no SIB or displacement follows (moves to and from the control, debug
  // and test registers).
  kEntryModRmRegisterOnly = 6,
  kEntryModRmRegZero = 7,          // the reg field must be 0
  kEntryModRmRegOne = 8,           // the reg field must be 1
  kEntryLowBitsRegLockAllowed = 9, // the opcode's low three bits are the reg field
  kEntryLowBitsReg = 10,
  kEntryLowBitsRegAlternate = 11,
  kEntryNextByte0A = 12,           // the next byte must be 0A; it belongs to the instruction
  kEntryReservedEscape = 13,       // byte: row of the reserved table
  kEntryRepeatAllowed = 14,
  kEntryLockAllowed = 15,
  kEntryLowBitsRegThird = 16,
  kEntryInstruction = 17,          // and above: the instruction itself
};

// Prefix bits: repeat and lock prefixes, then size and segment prefixes.
inline constexpr uint8_t kPrefixRepne = 1;
inline constexpr uint8_t kPrefixRep = 2;
inline constexpr uint8_t kPrefixLock = 4;
inline constexpr uint8_t kPrefixOperandSize = 1;
inline constexpr uint8_t kPrefixAddressSize = 2;
inline constexpr uint8_t kPrefixEs = 4;
inline constexpr uint8_t kPrefixCs = 8;
inline constexpr uint8_t kPrefixSs = 16;
inline constexpr uint8_t kPrefixDs = 32;
inline constexpr uint8_t kPrefixFs = 64;
inline constexpr uint8_t kPrefixGs = 128;
inline constexpr uint8_t kSegmentPrefixMask = 0xFC;

// Allowed-prefix values: what an instruction accepts of the repeat and lock bits.
inline constexpr uint8_t kAllowRepeat = 3;
inline constexpr uint8_t kAllowLock = 4;

// One element of every opcode table.
struct OpcodeEntry {
  uint8_t kind;   // OpcodeEntryKind
  uint32_t word;  // mnemonic row (relative to the base), or a group's base selector
  uint8_t byte;   // first operand-chain record, group number, prefix bit or reserved row
};

// Operand kinds of the chains (the printed forms are in the formatter).
enum OperandKind : uint8_t {
  kOperandNone = 0x00,
  kOperandFar = 0x01,
  kOperandNear = 0x02,
  kOperandAl = 0x03,
  kOperandAlDx = 0x04,
  kOperandAx = 0x05,
  kOperandCl = 0x06,
  kOperandCs = 0x07,
  kOperandDs = 0x09,
  kOperandDx = 0x0A,
  kOperandDxAl = 0x0B,
  kOperandAccumulator = 0x0C,
  kOperandEs = 0x0D,
  kOperandFs = 0x0E,
  kOperandGs = 0x0F,
  kOperandShiftOne = 0x10,
  kOperandSs = 0x11,
  kOperandBreakpointVector = 0x12,
  kOperandX87Top = 0x13,
  kOperandX87Register = 0x15,
  kOperandControlRegister = 0x16,
  kOperandDebugRegister = 0x17,
  kOperandTestRegister = 0x18,
  kOperandRegister8 = 0x19,
  kOperandRegister = 0x1A,
  kOperandRegister16 = 0x1B,
  kOperandRegister32 = 0x1C,
  kOperandImmediate8 = 0x1E,
  kOperandImmediate = 0x1F,
  kOperandImmediate16 = 0x20,
  kOperandRelative8 = 0x22,
  kOperandRelative = 0x24,
  kOperandDirectByte = 0x25,
  kOperandDirect = 0x26,
  kOperandFarPointer = 0x27,
  kOperandMemory = 0x2B,
  kOperandMemorySized = 0x2D,
  kOperandMemoryReal32 = 0x2F,
  kOperandMemoryReal64 = 0x30,
  kOperandMemory80 = 0x31,
  kOperandMemoryInt64 = 0x32,
  kOperandMemoryInt32 = 0x33,
  kOperandMemoryInt16 = 0x34,
  kOperandRm8 = 0x36,
  kOperandRm = 0x37,
  kOperandRm16 = 0x38,
  kOperandFarIndirect = 0x3A,
};

// One record of the operand chains; record 0 ends a chain.
struct OperandChainRecord {
  uint8_t kind;  // OperandKind
  uint8_t next;  // the next record
};

// Chain records 1 and 2 ("far", "near") follow the operand before them without a
// comma; every record above them is preceded by one.
inline constexpr uint8_t kLastUnseparatedRecord = 2;

// Mnemonic rows: the name padded with blanks to 10 characters, then two NULs.
inline constexpr uint32_t kMnemonicRowCount = 341;
inline constexpr uint32_t kMnemonicRowWidth = 12;
inline constexpr uint32_t kMnemonicTextWidth = 10;
inline constexpr uint32_t kMainMnemonicBase = 0;
inline constexpr uint32_t kX87MnemonicBase = 244;
inline constexpr uint32_t kReservedMnemonicBase = 338;

// Group numbers with their own handlers.
inline constexpr uint8_t kGroupTwoByte = 1;
inline constexpr uint8_t kGroupFusedWait = 8;
inline constexpr uint8_t kGroupFirstX87 = 15;
inline constexpr uint8_t kGroupLastX87 = 22;
inline constexpr uint8_t kGroupCount = 30;

// How a group chooses its row.
enum class GroupHandler : uint8_t {
  None,        // no such group
  TwoByte,     // the second opcode byte
  ModRmReg,    // the ModRM reg field
  FusedWait,   // a look-ahead for the waiting forms of the x87 control instructions
  X87,         // memory forms by the reg field, register forms by the group's row map
};

// Row-map value of an x87 register form that does not decode.
inline constexpr uint8_t kNoX87Row = 0xFF;

struct GroupDescriptor {
  GroupHandler handler;
  uint8_t signExtendsImm8;  // 1: the group's last 8-bit immediate is sign-extended
  uint16_t rowCount;
  const OpcodeEntry* rows;
  // X87 groups: the row of each register form (ModRM C0..FF), kNoX87Row when invalid.
  const uint8_t* registerRows;
};

// Rows of the fused-wait group.
inline constexpr uint32_t kWaitRowFstenv = 0;
inline constexpr uint32_t kWaitRowFstcw = 1;
inline constexpr uint32_t kWaitRowFsave = 2;
inline constexpr uint32_t kWaitRowFstswMemory = 3;
inline constexpr uint32_t kWaitRowFclex = 4;
inline constexpr uint32_t kWaitRowFinit = 5;
inline constexpr uint32_t kWaitRowFsetpm = 6;
inline constexpr uint32_t kWaitRowFstswAx = 7;
inline constexpr uint32_t kWaitRowWait = 8;

// The two-byte map covers second bytes 00-4F and 80-CF.
inline constexpr uint32_t kTwoByteTableSize = 160;
inline constexpr uint32_t kReservedTableSize = 6;
inline constexpr uint32_t kMnemonicBaseCount = 3;

// A mnemonic row and the row printed in its place with operand size 16.
struct SixteenBitMnemonic {
  uint16_t row;
  uint16_t sixteenBitRow;
};
inline constexpr uint32_t kSixteenBitMnemonicCount = 14;

// How a string instruction prints under a segment override: its generic row and
// explicit operands.
enum class StringOperands : uint8_t { Move, Compare, Output, Load };
struct StringOverrideForm {
  uint16_t row;         // the sized row ("movsb", "cmpsd", ...)
  uint16_t genericRow;  // "movs", "cmps", "outs", "lods"
  StringOperands operands;
  const char* sizeText;  // "byte ptr ", "word ptr " or "dword ptr "
};
inline constexpr uint32_t kStringOverrideFormCount = 12;

// The operand chains: records 1 to 59 are single operands, the multi-operand chains
// follow.
inline constexpr uint32_t kOperandChainSize = 128;
using OperandChain = std::array<OperandChainRecord, kOperandChainSize>;
// kMnemonicRowCount rows of kMnemonicRowWidth characters.
using MnemonicTable = std::array<std::array<char, kMnemonicRowWidth>, kMnemonicRowCount>;

extern const std::array<OpcodeEntry, 256> kPrimaryOpcodeTable;
extern const std::array<OpcodeEntry, kReservedTableSize> kReservedOpcodeTable;
// Indexed by group number; entry 0 has no handler.
extern const std::array<GroupDescriptor, kGroupCount + 1> kOpcodeGroups;
extern const OperandChain kOperandChain;
extern const MnemonicTable kMnemonicTable;
// Mnemonic-base selector (0 main, 1 x87, 2 reserved) to its first row.
extern const std::array<uint32_t, kMnemonicBaseCount> kMnemonicBases;
extern const std::array<SixteenBitMnemonic, kSixteenBitMnemonicCount> kSixteenBitMnemonics;
extern const std::array<StringOverrideForm, kStringOverrideFormCount> kStringOverrideForms;
// The rows that F3 prefixes as "repe " (the others take "rep ").
extern const std::array<uint16_t, 6> kRepeatEqualRows;
// Kind 1C names its register by the rm field only under this row.
extern const uint32_t kMovMnemonicRow;

// The first row whose mnemonic is `mnemonic`; kMnemonicRowCount when none is.
uint32_t FindMnemonicRow(const char* mnemonic);

}  // namespace zentor
