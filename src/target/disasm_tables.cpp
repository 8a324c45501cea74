#include "target/disasm_tables.h"

#include <cstring>

namespace zentor {
namespace {

// ---- mnemonic rows

constexpr const char* kMnemonicNames[kMnemonicRowCount] = {
    "aaa", "aad", "aam", "aas", "adc", "add", "and", "arpl", "bound", "bsf", "bsr", "bt", "btc", "btr", "bts",
    "call", "cbw", "cdq", "clc", "cld", "cli", "clts", "cmc", "cmp", "cmps", "cmpsb", "cmpsd", "cmpsw", "cwd",
    "cwde", "daa", "das", "dec", "div", "enter", "hlt", "ibts", "idiv", "imul", "in", "inc", "ins", "insb",
    "insd", "insw", "int", "into", "iretd", "ja", "jae", "jb", "jbe", "jc", "jcxz", "je", "jg", "jge", "jl",
    "jle", "jmp", "jna", "jnae", "jnb", "jnbe", "jnc", "jne", "jng", "jnge", "jnl", "jnle", "jno", "jnp",
    "jns", "jnz", "jo", "jp", "jpe", "jpo", "js", "jz", "lahf", "lar", "lds", "lea", "leave", "les", "lfs",
    "lgdt", "lgs", "lidt", "lldt", "lmsw", "lods", "lodsb", "lodsd", "lodsw", "loop", "loope", "loopne",
    "loopnz", "loopz", "lsl", "lss", "ltr", "mov", "movs", "movsb", "movsd", "movsw", "movsx", "movzx", "mul",
    "neg", "nop", "not", "or", "out", "outs", "outsb", "outsd", "outsw", "pop", "popa", "popad", "popf",
    "popfd", "push", "pusha", "pushad", "pushf", "pushfd", "rcl", "rcr", "ret", "rol", "ror", "sahf", "sal",
    "sar", "sbb", "scas", "scasb", "scasd", "scasw", "seta", "setae", "setb", "setbe", "setc", "sete", "setg",
    "setge", "setl", "setle", "setna", "setnae", "setnb", "setnbe", "setnc", "setne", "setng", "setnge",
    "setnl", "setnle", "setno", "setnp", "setns", "setnz", "seto", "setp", "setpe", "setpo", "sets", "setz",
    "sgdt", "shld", "shr", "shrd", "sidt", "sldt", "smsw", "stc", "std", "sti", "stos", "stosb", "stosd",
    "stosw", "str", "sub", "test", "verr", "verw", "wait", "xbts", "xchg", "xlat", "xlatb", "xor", "invd",
    "wbinvd", "invlpg", "cmpxchg", "xadd", "bswap", "iret", "cmpxchg8b", "cpuid", "rdtsc", "rdmsr", "wrmsr",
    "rsm", "sysenter", "sysexit", "cmova", "cmovae", "cmovb", "cmovbe", "cmovc", "cmove", "cmovg", "cmovge",
    "cmovl", "cmovle", "cmovna", "cmovnae", "cmovnb", "cmovnbe", "cmovnc", "cmovne", "cmovng", "cmovnge",
    "cmovnl", "cmovnle", "cmovno", "cmovnp", "cmovns", "cmovnz", "cmovo", "cmovp", "cmovpe", "cmovpo", "cmovs",
    "cmovz",
    // x87 rows
    "f2xm1", "fabs", "fadd", "faddp", "fbld", "fbstp", "fchs", "fclex", "fcom", "fcomp", "fcompp", "fdecstp",
    "fdiv", "fdivp", "fdivr", "fdivrp", "ffree", "fiadd", "ficom", "ficomp", "fidiv", "fidivr", "fild",
    "fimul", "fincstp", "finit", "fist", "fistp", "fisub", "fisubr", "fld", "fld1", "fldcw", "fldenv", "fldep",
    "fldl2e", "fldl2t", "fldlg2", "fldln2", "fldpi", "fldz", "fmul", "fmulp", "fnclex", "fninit", "fnop",
    "fnsave", "fnstcw", "fnstenv", "fnstsw", "fpatan", "fprem", "fptan", "frndint", "frstor", "fsave",
    "fscale", "fsetpm", "fsqrt", "fst", "fstcw", "fstep", "fstenv", "fstp", "fstsw", "fsub", "fsubp", "fsubr",
    "fsubrp", "ftst", "fxam", "fxch", "fxtract", "fyl2x", "fyl2xp1", "fcos", "fprem1", "fsin", "fsincos",
    "fucom", "fucomp", "fucompp", "fcmovb", "fcmove", "fcmovbe", "fcmovu", "fcmovnb", "fcmovne", "fcmovnbe",
    "fcmovnu", "fcomi", "fcomip", "fucomi", "fucomip",
    // reserved rows
    "reserve", "reserve", "reserve",
};

constexpr bool SameText(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

// Rows are named in the tables below by their text; an unknown name stops the build.
constexpr uint32_t RowIn(const char* name, uint32_t first, uint32_t end) {
  for (uint32_t row = first; row < end; ++row) {
    if (SameText(kMnemonicNames[row], name)) return row - first;
  }
  throw "no mnemonic row of that name";
}
constexpr uint32_t M(const char* name) { return RowIn(name, kMainMnemonicBase, kX87MnemonicBase); }
constexpr uint32_t F(const char* name) { return RowIn(name, kX87MnemonicBase, kReservedMnemonicBase); }

constexpr MnemonicTable BuildMnemonicTable() {
  MnemonicTable table{};
  for (uint32_t row = 0; row < kMnemonicRowCount; ++row) {
    uint32_t column = 0;
    for (const char* c = kMnemonicNames[row]; *c != '\0'; ++c) table[row][column++] = *c;
    while (column < kMnemonicTextWidth) table[row][column++] = ' ';
    table[row][kMnemonicTextWidth] = '\0';
    table[row][kMnemonicTextWidth + 1] = '\0';
  }
  return table;
}

// ---- operand chains

// Records 1..59 are single operands of the kind of their number; the multi-operand
// chains follow, each a first operand and the record of the rest. The names say the
// operands in the opcode map's notation, destination first (E r/m, G reg, I
// immediate, M memory, Acc the accumulator, b/w/d/v byte, word, doubleword, operand
// size).
enum ChainRecord : uint8_t {
  kNoOperands = 0,
  kChainFar = 1,
  kChainNear = 2,
  kChainCountFar = 40,
  kChainCountNear = 41,
  kChainRmNear = 59,
  kChainEbGb = 60,
  kChainEvGv,
  kChainGbEb,
  kChainGvEv,
  kChainAlIb,
  kChainAccIv,
  kChainEbIb,
  kChainEvIv,
  kChainEvIb,
  kChainEwGw,
  kChainGvEvIv,
  kChainGvEvIb,
  kChainAccReg,
  kChainAlMoffs,
  kChainAccMoffs,
  kChainMoffsAl,
  kChainMoffsAcc,
  kChainReg8Ib,
  kChainRegIv,
  kChainIwIb,
  kChainEwEs,
  kChainEwCs,
  kChainEwSs,
  kChainEwDs,
  kChainEwFs,
  kChainEwGs,
  kChainEsEw,
  kChainCsEw,
  kChainSsEw,
  kChainDsEw,
  kChainFsEw,
  kChainGsEw,
  kChainGvM,
  kChainGvMp,
  kChainEbOne,
  kChainEvOne,
  kChainEbCl,
  kChainEvCl,
  kChainAccIb,
  kChainIbAl,
  kChainIbAcc,
  kChainAccDx,
  kChainDxAcc,
  kChainAlEb,
  kChainAccEv,
  kChainRdCd,
  kChainRdDd,
  kChainCdRd,
  kChainDdRd,
  kChainRdTd,
  kChainTdRd,
  kChainGvEw,
  kChainGvEb,
  kChainGdEw,
  kChainGvIb,
  kChainGvCl,
  kChainEvGvIb,
  kChainEvGvCl,
  kChainSt0Sti,
  kChainStiSt0,
  kChainEnd,
};
static_assert(kChainEnd <= kOperandChainSize);

// The single-operand record of a kind.
constexpr uint8_t One(OperandKind kind) { return kind; }

constexpr OperandChain BuildOperandChain() {
  OperandChain chain{};
  for (uint8_t record = 1; record < kChainEbGb; ++record) chain[record] = {record, 0};
  // Kinds that no chain uses have no record.
  for (uint8_t empty : {20, 29, 33, 42, 53}) chain[empty] = {0, 0};
  chain[kChainCountFar] = {kOperandImmediate16, kChainFar};
  chain[kChainCountNear] = {kOperandImmediate16, kChainNear};
  chain[kChainRmNear] = {kOperandRm, kChainNear};

  chain[kChainEbGb] = {kOperandRm8, One(kOperandRegister8)};
  chain[kChainEvGv] = {kOperandRm, One(kOperandRegister)};
  chain[kChainGbEb] = {kOperandRegister8, One(kOperandRm8)};
  chain[kChainGvEv] = {kOperandRegister, One(kOperandRm)};
  chain[kChainAlIb] = {kOperandAl, One(kOperandImmediate8)};
  chain[kChainAccIv] = {kOperandAccumulator, One(kOperandImmediate)};
  chain[kChainEbIb] = {kOperandRm8, One(kOperandImmediate8)};
  chain[kChainEvIv] = {kOperandRm, One(kOperandImmediate)};
  chain[kChainEvIb] = {kOperandRm, One(kOperandImmediate8)};
  chain[kChainEwGw] = {kOperandRm16, One(kOperandRegister16)};
  chain[kChainGvEvIv] = {kOperandRegister, kChainEvIv};
  chain[kChainGvEvIb] = {kOperandRegister, kChainEvIb};
  chain[kChainAccReg] = {kOperandAccumulator, One(kOperandRegister)};
  chain[kChainAlMoffs] = {kOperandAl, One(kOperandDirectByte)};
  chain[kChainAccMoffs] = {kOperandAccumulator, One(kOperandDirect)};
  chain[kChainMoffsAl] = {kOperandDirectByte, One(kOperandAl)};
  chain[kChainMoffsAcc] = {kOperandDirect, One(kOperandAccumulator)};
  chain[kChainReg8Ib] = {kOperandRegister8, One(kOperandImmediate8)};
  chain[kChainRegIv] = {kOperandRegister, One(kOperandImmediate)};
  chain[kChainIwIb] = {kOperandImmediate16, One(kOperandImmediate8)};
  chain[kChainEwEs] = {kOperandRm16, One(kOperandEs)};
  chain[kChainEwCs] = {kOperandRm16, One(kOperandCs)};
  chain[kChainEwSs] = {kOperandRm16, One(kOperandSs)};
  chain[kChainEwDs] = {kOperandRm16, One(kOperandDs)};
  chain[kChainEwFs] = {kOperandRm16, One(kOperandFs)};
  chain[kChainEwGs] = {kOperandRm16, One(kOperandGs)};
  chain[kChainEsEw] = {kOperandEs, One(kOperandRm16)};
  chain[kChainCsEw] = {kOperandCs, One(kOperandRm16)};
  chain[kChainSsEw] = {kOperandSs, One(kOperandRm16)};
  chain[kChainDsEw] = {kOperandDs, One(kOperandRm16)};
  chain[kChainFsEw] = {kOperandFs, One(kOperandRm16)};
  chain[kChainGsEw] = {kOperandGs, One(kOperandRm16)};
  chain[kChainGvM] = {kOperandRegister, One(kOperandMemorySized)};
  chain[kChainGvMp] = {kOperandRegister, One(kOperandFarIndirect)};
  chain[kChainEbOne] = {kOperandRm8, One(kOperandShiftOne)};
  chain[kChainEvOne] = {kOperandRm, One(kOperandShiftOne)};
  chain[kChainEbCl] = {kOperandRm8, One(kOperandCl)};
  chain[kChainEvCl] = {kOperandRm, One(kOperandCl)};
  chain[kChainAccIb] = {kOperandAccumulator, One(kOperandImmediate8)};
  chain[kChainIbAl] = {kOperandImmediate8, One(kOperandAl)};
  chain[kChainIbAcc] = {kOperandImmediate8, One(kOperandAccumulator)};
  chain[kChainAccDx] = {kOperandAccumulator, One(kOperandDx)};
  chain[kChainDxAcc] = {kOperandDx, One(kOperandAccumulator)};
  chain[kChainAlEb] = {kOperandAl, One(kOperandRm8)};
  chain[kChainAccEv] = {kOperandAccumulator, One(kOperandRm)};
  chain[kChainRdCd] = {kOperandRegister32, One(kOperandControlRegister)};
  chain[kChainRdDd] = {kOperandRegister32, One(kOperandDebugRegister)};
  chain[kChainCdRd] = {kOperandControlRegister, One(kOperandRegister32)};
  chain[kChainDdRd] = {kOperandDebugRegister, One(kOperandRegister32)};
  chain[kChainRdTd] = {kOperandRegister32, One(kOperandTestRegister)};
  chain[kChainTdRd] = {kOperandTestRegister, One(kOperandRegister32)};
  chain[kChainGvEw] = {kOperandRegister, One(kOperandRm16)};
  chain[kChainGvEb] = {kOperandRegister, One(kOperandRm8)};
  chain[kChainGdEw] = {kOperandRegister32, One(kOperandRm16)};
  chain[kChainGvIb] = {kOperandRegister, One(kOperandImmediate8)};
  chain[kChainGvCl] = {kOperandRegister, One(kOperandCl)};
  chain[kChainEvGvIb] = {kOperandRm, kChainGvIb};
  chain[kChainEvGvCl] = {kOperandRm, kChainGvCl};
  chain[kChainSt0Sti] = {kOperandX87Top, One(kOperandX87Register)};
  chain[kChainStiSt0] = {kOperandX87Register, One(kOperandX87Top)};
  return chain;
}

// ---- entry makers

constexpr OpcodeEntry Invalid() { return {kEntryInvalid, 0, 0}; }
constexpr OpcodeEntry Group(uint8_t group, uint32_t baseSelector = 0) { return {kEntryGroup, baseSelector, group}; }
constexpr OpcodeEntry RepeatLock(uint8_t bit) { return {kEntryRepeatLockPrefix, 0, bit}; }
constexpr OpcodeEntry SizeSegment(uint8_t bit) { return {kEntrySizeSegmentPrefix, 0, bit}; }
constexpr OpcodeEntry Reserved(uint8_t row) { return {kEntryReservedEscape, 0, row}; }
// An instruction of `kind` with its mnemonic row and first operand record.
constexpr OpcodeEntry Op(uint8_t kind, uint32_t row, uint8_t chain = kNoOperands) { return {kind, row, chain}; }
constexpr OpcodeEntry Plain(const char* name, uint8_t chain = kNoOperands) {
  return Op(kEntryInstruction, M(name), chain);
}
constexpr OpcodeEntry X87(uint8_t kind, const char* name, uint8_t chain = kNoOperands) {
  return Op(kind, F(name), chain);
}

constexpr const char* kConditions[16] = {"o", "no", "b", "ae", "e", "ne", "be", "a",
                                         "s", "ns", "pe", "po", "l", "ge", "le", "g"};

// The row of a condition-code mnemonic: the prefix ("j", "set", "cmov") and the code.
constexpr uint32_t ConditionRow(const char* prefix, uint32_t code) {
  char name[12] = {};
  uint32_t length = 0;
  for (const char* c = prefix; *c != '\0'; ++c) name[length++] = *c;
  for (const char* c = kConditions[code]; *c != '\0'; ++c) name[length++] = *c;
  return M(name);
}

// ---- the one-byte map

constexpr std::array<OpcodeEntry, 256> BuildPrimaryTable() {
  std::array<OpcodeEntry, 256> t{};
  // 00-3F: the eight arithmetic operations, each r/m,reg and reg,r/m in both sizes and
  // the two accumulator forms; "cmp" writes nothing and so takes no lock.
  constexpr const char* kArithmetic[8] = {"add", "or", "adc", "sbb", "and", "sub", "xor", "cmp"};
  for (uint32_t i = 0; i < 8; ++i) {
    const uint32_t row = M(kArithmetic[i]);
    const uint8_t toMemory = i == 7 ? kEntryModRm : kEntryModRmLockAllowed;
    t[i * 8 + 0] = Op(toMemory, row, kChainEbGb);
    t[i * 8 + 1] = Op(toMemory, row, kChainEvGv);
    t[i * 8 + 2] = Op(kEntryModRm, row, kChainGbEb);
    t[i * 8 + 3] = Op(kEntryModRm, row, kChainGvEv);
    t[i * 8 + 4] = Op(kEntryInstruction, row, kChainAlIb);
    t[i * 8 + 5] = Op(kEntryInstruction, row, kChainAccIv);
  }
  t[0x06] = Plain("push", One(kOperandEs));
  t[0x07] = Plain("pop", One(kOperandEs));
  t[0x0E] = Plain("push", One(kOperandCs));
  t[0x0F] = Group(kGroupTwoByte);
  t[0x16] = Plain("push", One(kOperandSs));
  t[0x17] = Plain("pop", One(kOperandSs));
  t[0x1E] = Plain("push", One(kOperandDs));
  t[0x1F] = Plain("pop", One(kOperandDs));
  t[0x26] = SizeSegment(kPrefixEs);
  t[0x27] = Plain("daa");
  t[0x2E] = SizeSegment(kPrefixCs);
  t[0x2F] = Plain("das");
  t[0x36] = SizeSegment(kPrefixSs);
  t[0x37] = Plain("aaa");
  t[0x3E] = SizeSegment(kPrefixDs);
  t[0x3F] = Plain("aas");
  for (uint32_t r = 0; r < 8; ++r) {
    t[0x40 + r] = Op(kEntryLowBitsReg, M("inc"), One(kOperandRegister));
    t[0x48 + r] = Op(kEntryLowBitsReg, M("dec"), One(kOperandRegister));
    t[0x50 + r] = Op(kEntryLowBitsReg, M("push"), One(kOperandRegister));
    t[0x58 + r] = Op(kEntryLowBitsReg, M("pop"), One(kOperandRegister));
  }
  t[0x60] = Plain("pushad");
  t[0x61] = Plain("popad");
  t[0x62] = Op(kEntryModRm, M("bound"), kChainGvEv);
  t[0x63] = Op(kEntryModRm, M("arpl"), kChainEwGw);
  t[0x64] = SizeSegment(kPrefixFs);
  t[0x65] = SizeSegment(kPrefixGs);
  t[0x66] = SizeSegment(kPrefixOperandSize);
  t[0x67] = SizeSegment(kPrefixAddressSize);
  t[0x68] = Plain("push", One(kOperandImmediate));
  t[0x69] = Op(kEntryModRm, M("imul"), kChainGvEvIv);
  t[0x6A] = Plain("push", One(kOperandImmediate8));
  t[0x6B] = Op(kEntryModRm, M("imul"), kChainGvEvIb);
  t[0x6C] = Op(kEntryRepeatAllowed, M("insb"));
  t[0x6D] = Op(kEntryRepeatAllowed, M("insd"));
  t[0x6E] = Op(kEntryRepeatAllowed, M("outsb"));
  t[0x6F] = Op(kEntryRepeatAllowed, M("outsd"));
  for (uint32_t code = 0; code < 16; ++code) {
    t[0x70 + code] = Op(kEntryInstruction, ConditionRow("j", code), One(kOperandRelative8));
  }
  t[0x80] = Group(2);
  t[0x81] = Group(3);
  t[0x82] = Group(4);
  t[0x83] = Group(5);
  t[0x84] = Op(kEntryModRm, M("test"), kChainEbGb);
  t[0x85] = Op(kEntryModRm, M("test"), kChainEvGv);
  t[0x86] = Op(kEntryModRmLockAllowed, M("xchg"), kChainEbGb);
  t[0x87] = Op(kEntryModRmLockAllowed, M("xchg"), kChainEvGv);
  t[0x88] = Op(kEntryModRm, M("mov"), kChainEbGb);
  t[0x89] = Op(kEntryModRm, M("mov"), kChainEvGv);
  t[0x8A] = Op(kEntryModRm, M("mov"), kChainGbEb);
  t[0x8B] = Op(kEntryModRm, M("mov"), kChainGvEv);
  t[0x8C] = Group(6);
  t[0x8D] = Op(kEntryModRm, M("lea"), kChainGvM);
  t[0x8E] = Group(7);
  // The register form is "pop r32" on the processor, so the operand is r/m (its
  // memory form prints as the sized memory operand).
  t[0x8F] = Op(kEntryModRmRegZero, M("pop"), One(kOperandRm));
  t[0x90] = Plain("nop");
  for (uint32_t r = 1; r < 8; ++r) t[0x90 + r] = Op(kEntryLowBitsReg, M("xchg"), kChainAccReg);
  t[0x98] = Plain("cwde");
  t[0x99] = Plain("cdq");
  t[0x9A] = Plain("call", One(kOperandFarPointer));
  t[0x9B] = Group(kGroupFusedWait);
  t[0x9C] = Plain("pushfd");
  t[0x9D] = Plain("popfd");
  t[0x9E] = Plain("sahf");
  t[0x9F] = Plain("lahf");
  t[0xA0] = Plain("mov", kChainAlMoffs);
  t[0xA1] = Plain("mov", kChainAccMoffs);
  t[0xA2] = Plain("mov", kChainMoffsAl);
  t[0xA3] = Plain("mov", kChainMoffsAcc);
  t[0xA4] = Op(kEntryRepeatAllowed, M("movsb"));
  t[0xA5] = Op(kEntryRepeatAllowed, M("movsd"));
  t[0xA6] = Op(kEntryRepeatAllowed, M("cmpsb"));
  t[0xA7] = Op(kEntryRepeatAllowed, M("cmpsd"));
  t[0xA8] = Plain("test", kChainAlIb);
  t[0xA9] = Plain("test", kChainAccIv);
  t[0xAA] = Op(kEntryRepeatAllowed, M("stosb"));
  t[0xAB] = Op(kEntryRepeatAllowed, M("stosd"));
  t[0xAC] = Op(kEntryRepeatAllowed, M("lodsb"));
  t[0xAD] = Op(kEntryRepeatAllowed, M("lodsd"));
  t[0xAE] = Op(kEntryRepeatAllowed, M("scasb"));
  t[0xAF] = Op(kEntryRepeatAllowed, M("scasd"));
  for (uint32_t r = 0; r < 8; ++r) {
    t[0xB0 + r] = Op(kEntryLowBitsReg, M("mov"), kChainReg8Ib);
    t[0xB8 + r] = Op(kEntryLowBitsReg, M("mov"), kChainRegIv);
  }
  t[0xC0] = Group(9);
  t[0xC1] = Group(10);
  t[0xC2] = Plain("ret", kChainCountNear);
  t[0xC3] = Plain("ret", kChainNear);
  t[0xC4] = Op(kEntryModRm, M("les"), kChainGvMp);
  t[0xC5] = Op(kEntryModRm, M("lds"), kChainGvMp);
  t[0xC6] = Op(kEntryModRmRegZero, M("mov"), kChainEbIb);
  t[0xC7] = Op(kEntryModRmRegZero, M("mov"), kChainEvIv);
  t[0xC8] = Plain("enter", kChainIwIb);
  t[0xC9] = Plain("leave");
  t[0xCA] = Plain("ret", kChainCountFar);
  t[0xCB] = Plain("ret", kChainFar);
  t[0xCC] = Plain("int", One(kOperandBreakpointVector));
  t[0xCD] = Plain("int", One(kOperandImmediate8));
  t[0xCE] = Plain("into");
  t[0xCF] = Plain("iretd");
  t[0xD0] = Group(11);
  t[0xD1] = Group(12);
  t[0xD2] = Group(13);
  t[0xD3] = Group(14);
  t[0xD4] = Op(kEntryNextByte0A, M("aam"));
  t[0xD5] = Op(kEntryNextByte0A, M("aad"));
  t[0xD7] = Plain("xlatb");
  for (uint8_t g = kGroupFirstX87; g <= kGroupLastX87; ++g) t[0xD8 + g - kGroupFirstX87] = Group(g, 1);
  t[0xE0] = Plain("loopne", One(kOperandRelative8));
  t[0xE1] = Plain("loope", One(kOperandRelative8));
  t[0xE2] = Plain("loop", One(kOperandRelative8));
  t[0xE3] = Plain("jcxz", One(kOperandRelative8));
  t[0xE4] = Plain("in", kChainAlIb);
  t[0xE5] = Plain("in", kChainAccIb);
  t[0xE6] = Plain("out", kChainIbAl);
  t[0xE7] = Plain("out", kChainIbAcc);
  t[0xE8] = Plain("call", One(kOperandRelative));
  t[0xE9] = Plain("jmp", One(kOperandRelative));
  t[0xEA] = Plain("jmp", One(kOperandFarPointer));
  t[0xEB] = Plain("jmp", One(kOperandRelative8));
  t[0xEC] = Plain("in", One(kOperandAlDx));
  t[0xED] = Plain("in", kChainAccDx);
  t[0xEE] = Plain("out", One(kOperandDxAl));
  t[0xEF] = Plain("out", kChainDxAcc);
  t[0xF0] = RepeatLock(kPrefixLock);
  t[0xF1] = Reserved(0);
  t[0xF2] = RepeatLock(kPrefixRepne);
  t[0xF3] = RepeatLock(kPrefixRep);
  t[0xF4] = Plain("hlt");
  t[0xF5] = Plain("cmc");
  t[0xF6] = Group(23);
  t[0xF7] = Group(24);
  t[0xF8] = Plain("clc");
  t[0xF9] = Plain("stc");
  t[0xFA] = Plain("cli");
  t[0xFB] = Plain("sti");
  t[0xFC] = Plain("cld");
  t[0xFD] = Plain("std");
  t[0xFE] = Group(25);
  t[0xFF] = Group(26);
  return t;
}

// ---- the two-byte map (after 0F): second bytes 00-4F, then 80-CF at 50-9F

constexpr uint32_t TwoByteIndex(uint32_t secondByte) { return secondByte < 0x50 ? secondByte : secondByte - 0x30; }

constexpr std::array<OpcodeEntry, kTwoByteTableSize> BuildTwoByteTable() {
  std::array<OpcodeEntry, kTwoByteTableSize> t{};
  auto at = [&t](uint32_t secondByte) -> OpcodeEntry& { return t[TwoByteIndex(secondByte)]; };
  at(0x00) = Group(27);
  at(0x01) = Group(28);
  at(0x02) = Op(kEntryModRm, M("lar"), kChainGvEw);
  at(0x03) = Op(kEntryModRm, M("lsl"), kChainGvEw);
  at(0x06) = Plain("clts");
  at(0x07) = Reserved(1);
  at(0x08) = Plain("invd");
  at(0x09) = Plain("wbinvd");
  for (uint8_t row = 0; row < 4; ++row) at(0x10 + row) = Reserved(static_cast<uint8_t>(2 + row));
  at(0x20) = Op(kEntryModRmRegisterOnly, M("mov"), kChainRdCd);
  at(0x21) = Op(kEntryModRmRegisterOnly, M("mov"), kChainRdDd);
  at(0x22) = Op(kEntryModRmRegisterOnly, M("mov"), kChainCdRd);
  at(0x23) = Op(kEntryModRmRegisterOnly, M("mov"), kChainDdRd);
  at(0x24) = Op(kEntryModRmRegisterOnly, M("mov"), kChainRdTd);
  at(0x26) = Op(kEntryModRmRegisterOnly, M("mov"), kChainTdRd);
  at(0x30) = Plain("wrmsr");
  at(0x31) = Plain("rdtsc");
  at(0x32) = Plain("rdmsr");
  at(0x34) = Plain("sysenter");
  at(0x35) = Plain("sysexit");
  for (uint32_t code = 0; code < 16; ++code) {
    at(0x40 + code) = Op(kEntryModRm, ConditionRow("cmov", code), kChainGvEv);
    at(0x80 + code) = Op(kEntryInstruction, ConditionRow("j", code), One(kOperandRelative));
    at(0x90 + code) = Op(kEntryModRm, ConditionRow("set", code), One(kOperandRm8));
  }
  at(0xA0) = Plain("push", One(kOperandFs));
  at(0xA1) = Plain("pop", One(kOperandFs));
  at(0xA2) = Plain("cpuid");
  at(0xA3) = Op(kEntryModRm, M("bt"), kChainEvGv);
  at(0xA4) = Op(kEntryModRm, M("shld"), kChainEvGvIb);
  at(0xA5) = Op(kEntryModRm, M("shld"), kChainEvGvCl);
  at(0xA8) = Plain("push", One(kOperandGs));
  at(0xA9) = Plain("pop", One(kOperandGs));
  at(0xAA) = Plain("rsm");
  at(0xAB) = Op(kEntryModRmLockAllowed, M("bts"), kChainEvGv);
  at(0xAC) = Op(kEntryModRm, M("shrd"), kChainEvGvIb);
  at(0xAD) = Op(kEntryModRm, M("shrd"), kChainEvGvCl);
  at(0xAF) = Op(kEntryModRm, M("imul"), kChainGvEv);
  at(0xB0) = Op(kEntryModRmLockAllowed, M("cmpxchg"), kChainEbGb);
  at(0xB1) = Op(kEntryModRmLockAllowed, M("cmpxchg"), kChainEvGv);
  at(0xB2) = Op(kEntryModRm, M("lss"), kChainGvMp);
  at(0xB3) = Op(kEntryModRmLockAllowed, M("btr"), kChainEvGv);
  at(0xB4) = Op(kEntryModRm, M("lfs"), kChainGvMp);
  at(0xB5) = Op(kEntryModRm, M("lgs"), kChainGvMp);
  at(0xB6) = Op(kEntryModRm, M("movzx"), kChainGvEb);
  at(0xB7) = Op(kEntryModRm, M("movzx"), kChainGdEw);
  at(0xBA) = Group(29);
  at(0xBB) = Op(kEntryModRmLockAllowed, M("btc"), kChainEvGv);
  at(0xBC) = Op(kEntryModRm, M("bsf"), kChainGvEv);
  at(0xBD) = Op(kEntryModRm, M("bsr"), kChainGvEv);
  at(0xBE) = Op(kEntryModRm, M("movsx"), kChainGvEb);
  at(0xBF) = Op(kEntryModRm, M("movsx"), kChainGdEw);
  at(0xC0) = Op(kEntryModRmLockAllowed, M("xadd"), kChainEbGb);
  at(0xC1) = Op(kEntryModRmLockAllowed, M("xadd"), kChainEvGv);
  at(0xC7) = Group(30);
  for (uint32_t r = 0; r < 8; ++r) at(0xC8 + r) = Op(kEntryLowBitsReg, M("bswap"), One(kOperandRegister));
  return t;
}

// ---- groups selected by the ModRM reg field (rows 0-7)

using GroupRows = std::array<OpcodeEntry, 8>;

// 80-83: the arithmetic operations with an immediate; 82 has only the five that the
// processor keeps there.
constexpr GroupRows ArithmeticImmediateRows(uint8_t chain, bool onlyShortForms) {
  constexpr const char* kNames[8] = {"add", "or", "adc", "sbb", "and", "sub", "xor", "cmp"};
  GroupRows rows{};
  for (uint32_t reg = 0; reg < 8; ++reg) {
    if (onlyShortForms && (reg == 1 || reg == 4 || reg == 6)) continue;
    rows[reg] = Op(reg == 7 ? kEntryInstruction : kEntryLockAllowed, M(kNames[reg]), chain);
  }
  return rows;
}

// C0, C1, D0-D3: the rotates and shifts; /6 does not decode.
constexpr GroupRows ShiftRows(uint8_t chain) {
  constexpr const char* kNames[8] = {"rol", "ror", "rcl", "rcr", "sal", "shr", nullptr, "sar"};
  GroupRows rows{};
  for (uint32_t reg = 0; reg < 8; ++reg) {
    if (kNames[reg] != nullptr) rows[reg] = Plain(kNames[reg], chain);
  }
  return rows;
}

// 8C / 8E: moves between a 16-bit r/m and the segment register of the reg field.
constexpr GroupRows SegmentMoveRows(const uint8_t (&chains)[6]) {
  GroupRows rows{};
  for (uint32_t reg = 0; reg < 6; ++reg) rows[reg] = Plain("mov", chains[reg]);
  return rows;
}

constexpr GroupRows kGroup80 = ArithmeticImmediateRows(kChainEbIb, false);
constexpr GroupRows kGroup81 = ArithmeticImmediateRows(kChainEvIv, false);
constexpr GroupRows kGroup82 = ArithmeticImmediateRows(kChainEbIb, true);
constexpr GroupRows kGroup83 = ArithmeticImmediateRows(kChainEvIb, false);
constexpr uint8_t kFromSegmentChains[6] = {kChainEwEs, kChainEwCs, kChainEwSs, kChainEwDs, kChainEwFs, kChainEwGs};
constexpr uint8_t kToSegmentChains[6] = {kChainEsEw, kChainCsEw, kChainSsEw, kChainDsEw, kChainFsEw, kChainGsEw};
constexpr GroupRows kGroup8C = SegmentMoveRows(kFromSegmentChains);
constexpr GroupRows kGroup8E = SegmentMoveRows(kToSegmentChains);
constexpr GroupRows kGroupC0 = ShiftRows(kChainEbIb);
constexpr GroupRows kGroupC1 = ShiftRows(kChainEvIb);
constexpr GroupRows kGroupD0 = ShiftRows(kChainEbOne);
constexpr GroupRows kGroupD1 = ShiftRows(kChainEvOne);
constexpr GroupRows kGroupD2 = ShiftRows(kChainEbCl);
constexpr GroupRows kGroupD3 = ShiftRows(kChainEvCl);

constexpr GroupRows kGroupF6 = {
    Plain("test", kChainEbIb),
    Invalid(),
    Op(kEntryLockAllowed, M("not"), One(kOperandRm8)),
    Op(kEntryLockAllowed, M("neg"), One(kOperandRm8)),
    Plain("mul", kChainAlEb),
    Plain("imul", kChainAlEb),
    Plain("div", kChainAlEb),
    Plain("idiv", kChainAlEb),
};
constexpr GroupRows kGroupF7 = {
    Plain("test", kChainEvIv),
    Invalid(),
    Op(kEntryLockAllowed, M("not"), One(kOperandRm)),
    Op(kEntryLockAllowed, M("neg"), One(kOperandRm)),
    Plain("mul", kChainAccEv),
    Plain("imul", kChainAccEv),
    Plain("div", kChainAccEv),
    Plain("idiv", kChainAccEv),
};
constexpr GroupRows kGroupFE = {
    Op(kEntryLockAllowed, M("inc"), One(kOperandRm8)),
    Op(kEntryLockAllowed, M("dec"), One(kOperandRm8)),
};
// FF /6: the register form is "push r32" on the processor, so the operand is r/m
// (its memory form prints as the sized memory operand).
constexpr GroupRows kGroupFF = {
    Op(kEntryLockAllowed, M("inc"), One(kOperandRm)),
    Op(kEntryLockAllowed, M("dec"), One(kOperandRm)),
    Plain("call", kChainRmNear),
    Plain("call", One(kOperandFarIndirect)),
    Plain("jmp", kChainRmNear),
    Plain("jmp", One(kOperandFarIndirect)),
    Plain("push", One(kOperandRm)),
    Invalid(),
};
constexpr GroupRows kGroup0F00 = {
    Plain("sldt", One(kOperandRm16)), Plain("str", One(kOperandRm16)),  Plain("lldt", One(kOperandRm16)),
    Plain("ltr", One(kOperandRm16)),  Plain("verr", One(kOperandRm16)), Plain("verw", One(kOperandRm16)),
};
constexpr GroupRows kGroup0F01 = {
    Plain("sgdt", One(kOperandMemorySized)),
    Plain("sidt", One(kOperandMemorySized)),
    Plain("lgdt", One(kOperandMemorySized)),
    Plain("lidt", One(kOperandMemorySized)),
    Plain("smsw", One(kOperandRm16)),
    Invalid(),
    Plain("lmsw", One(kOperandRm16)),
    Plain("invlpg", One(kOperandRm16)),
};
constexpr GroupRows kGroup0FBA = {
    Invalid(),
    Invalid(),
    Invalid(),
    Invalid(),
    Plain("bt", kChainEvIb),
    Op(kEntryLockAllowed, M("bts"), kChainEvIb),
    Op(kEntryLockAllowed, M("btr"), kChainEvIb),
    Op(kEntryLockAllowed, M("btc"), kChainEvIb),
};
constexpr GroupRows kGroup0FC7 = {
    Invalid(),
    Op(kEntryLockAllowed, M("cmpxchg8b"), One(kOperandMemory)),
};

// ---- 9B: the waiting forms of the x87 control instructions, rows in main-base
// numbering (the x87 rows lie beyond the main rows)

constexpr uint32_t WaitRow(const char* name) { return kX87MnemonicBase + F(name); }
constexpr std::array<OpcodeEntry, 9> kGroup9B = {
    Op(kEntryModRm, WaitRow("fstenv"), One(kOperandMemory)),
    Op(kEntryModRm, WaitRow("fstcw"), One(kOperandMemory)),
    Op(kEntryModRm, WaitRow("fsave"), One(kOperandMemory)),
    Op(kEntryModRm, WaitRow("fstsw"), One(kOperandMemory)),
    Op(kEntryInstruction, WaitRow("fclex")),
    Op(kEntryInstruction, WaitRow("finit")),
    Op(kEntryInstruction, WaitRow("fsetpm")),
    Op(kEntryInstruction, WaitRow("fstsw"), One(kOperandAx)),
    Plain("wait"),
};

// ---- x87 groups D8-DF: rows 0-7 the memory forms by the reg field, rows from 8 on
// the register forms, chosen by each group's row map

constexpr OpcodeEntry Mem(const char* name, OperandKind size) { return X87(kEntryModRm, name, One(size)); }
constexpr OpcodeEntry Reg(const char* name, uint8_t chain = kNoOperands) { return X87(kEntryInstruction, name, chain); }

using RowMap = std::array<uint8_t, 64>;

// The row of register form m (C0..FF) under a group's rule; kNoX87Row: no row.
template <typename Rule>
constexpr RowMap BuildRowMap(Rule rule) {
  RowMap map{};
  for (uint32_t m = 0xC0; m <= 0xFF; ++m) map[m - 0xC0] = static_cast<uint8_t>(rule(m));
  return map;
}
constexpr uint32_t ByReg(uint32_t first, uint32_t m) { return first + ((m - 0xC0) >> 3); }

constexpr std::array<OpcodeEntry, 16> kGroupD8 = {
    Mem("fadd", kOperandMemoryReal32),  Mem("fmul", kOperandMemoryReal32), Mem("fcom", kOperandMemoryReal32),
    Mem("fcomp", kOperandMemoryReal32), Mem("fsub", kOperandMemoryReal32), Mem("fsubr", kOperandMemoryReal32),
    Mem("fdiv", kOperandMemoryReal32),  Mem("fdivr", kOperandMemoryReal32),
    // D8 register forms all leave their result in st(0).
    Reg("fadd", kChainSt0Sti), Reg("fmul", kChainSt0Sti), Reg("fcom", One(kOperandX87Register)),
    Reg("fcomp", One(kOperandX87Register)), Reg("fsub", kChainSt0Sti), Reg("fsubr", kChainSt0Sti),
    Reg("fdiv", kChainSt0Sti), Reg("fdivr", kChainSt0Sti),
};
constexpr RowMap kRowsD8 = BuildRowMap([](uint32_t m) { return ByReg(8, m); });

constexpr std::array<OpcodeEntry, 43> kGroupD9 = {
    Mem("fld", kOperandMemoryReal32), Invalid(), Mem("fst", kOperandMemoryReal32), Mem("fstp", kOperandMemoryReal32),
    Mem("fldenv", kOperandMemory), Mem("fldcw", kOperandMemory), Mem("fnstenv", kOperandMemory),
    Mem("fnstcw", kOperandMemory),
    // 8-10: C0-D1
    Reg("fld", One(kOperandX87Register)), Reg("fxch", One(kOperandX87Register)), Reg("fnop"),
    // 11-42: E0-FF
    Reg("fchs"), Reg("fabs"), Invalid(), Invalid(), Reg("ftst"), Reg("fxam"), Invalid(), Invalid(),
    Reg("fld1"), Reg("fldl2t"), Reg("fldl2e"), Reg("fldpi"), Reg("fldlg2"), Reg("fldln2"), Reg("fldz"), Invalid(),
    Reg("f2xm1"), Reg("fyl2x"), Reg("fptan"), Reg("fpatan"), Reg("fxtract"), Reg("fprem1"), Reg("fdecstp"),
    Reg("fincstp"), Reg("fprem"), Reg("fyl2xp1"), Reg("fsqrt"), Reg("fsincos"), Reg("frndint"), Reg("fscale"),
    Reg("fsin"), Reg("fcos"),
};
constexpr RowMap kRowsD9 = BuildRowMap([](uint32_t m) -> uint32_t {
  if (m <= 0xD1) return ByReg(8, m);
  if (m < 0xE0) return kNoX87Row;
  return m - 0xD5;
});

constexpr std::array<OpcodeEntry, 13> kGroupDA = {
    Mem("fiadd", kOperandMemoryInt32),  Mem("fimul", kOperandMemoryInt32), Mem("ficom", kOperandMemoryInt32),
    Mem("ficomp", kOperandMemoryInt32), Mem("fisub", kOperandMemoryInt32), Mem("fisubr", kOperandMemoryInt32),
    Mem("fidiv", kOperandMemoryInt32),  Mem("fidivr", kOperandMemoryInt32),
    Reg("fcmovb", kChainSt0Sti), Reg("fcmove", kChainSt0Sti), Reg("fcmovbe", kChainSt0Sti),
    Reg("fcmovu", kChainSt0Sti), Reg("fucompp"),
};
constexpr RowMap kRowsDA = BuildRowMap([](uint32_t m) -> uint32_t {
  if (m <= 0xDF) return ByReg(8, m);
  return m == 0xE9 ? 12 : kNoX87Row;
});

constexpr std::array<OpcodeEntry, 16> kGroupDB = {
    Mem("fild", kOperandMemoryInt32), Invalid(), Mem("fist", kOperandMemoryInt32),
    Mem("fistp", kOperandMemoryInt32), Mem("fldep", kOperandMemory), Mem("fld", kOperandMemory80), Invalid(),
    Mem("fstp", kOperandMemory80),
    Reg("fnclex"), Reg("fninit"), Reg("fcmovnb", kChainSt0Sti), Reg("fcmovne", kChainSt0Sti),
    Reg("fcmovnbe", kChainSt0Sti), Reg("fcmovnu", kChainSt0Sti), Reg("fucomi", kChainSt0Sti),
    Reg("fcomi", kChainSt0Sti),
};
constexpr RowMap kRowsDB = BuildRowMap([](uint32_t m) -> uint32_t {
  if (m <= 0xDF) return ByReg(10, m);
  if (m == 0xE2) return 8;
  if (m == 0xE3) return 9;
  if (m >= 0xE8 && m <= 0xEF) return 14;
  if (m >= 0xF0 && m <= 0xF7) return 15;
  return kNoX87Row;
});

constexpr std::array<OpcodeEntry, 16> kGroupDC = {
    Mem("fadd", kOperandMemoryReal64),  Mem("fmul", kOperandMemoryReal64), Mem("fcom", kOperandMemoryReal64),
    Mem("fcomp", kOperandMemoryReal64), Mem("fsub", kOperandMemoryReal64), Mem("fsubr", kOperandMemoryReal64),
    Mem("fdiv", kOperandMemoryReal64),  Mem("fdivr", kOperandMemoryReal64),
    // DC register forms all leave their result in st(i).
    Reg("fadd", kChainStiSt0), Reg("fmul", kChainStiSt0), Invalid(), Invalid(), Reg("fsubr", kChainStiSt0),
    Reg("fsub", kChainStiSt0), Reg("fdivr", kChainStiSt0), Reg("fdiv", kChainStiSt0),
};
constexpr RowMap kRowsDC = BuildRowMap([](uint32_t m) { return ByReg(8, m); });

constexpr std::array<OpcodeEntry, 14> kGroupDD = {
    Mem("fld", kOperandMemoryReal64),    Invalid(),
    Mem("fst", kOperandMemoryReal64),    Mem("fstp", kOperandMemoryReal64),
    Mem("frstor", kOperandMemoryReal64), Mem("fstep", kOperandMemoryReal64),
    Mem("fnsave", kOperandMemoryReal64), Mem("fnstsw", kOperandMemoryReal64),
    Reg("ffree", One(kOperandX87Register)), Invalid(), Reg("fst", One(kOperandX87Register)),
    Reg("fstp", One(kOperandX87Register)), Reg("fucom", One(kOperandX87Register)),
    Reg("fucomp", One(kOperandX87Register)),
};
constexpr RowMap kRowsDD = BuildRowMap([](uint32_t m) -> uint32_t { return m <= 0xEF ? ByReg(8, m) : kNoX87Row; });

constexpr std::array<OpcodeEntry, 17> kGroupDE = {
    Mem("fiadd", kOperandMemoryInt16),  Mem("fimul", kOperandMemoryInt16), Mem("ficom", kOperandMemoryInt16),
    Mem("ficomp", kOperandMemoryInt16), Mem("fisub", kOperandMemoryInt16), Mem("fisubr", kOperandMemoryInt16),
    Mem("fidiv", kOperandMemoryInt16),  Mem("fidivr", kOperandMemoryInt16),
    Reg("faddp", kChainStiSt0), Reg("fmulp", kChainStiSt0), Invalid(), Invalid(), Reg("fsubrp", kChainStiSt0),
    Reg("fsubp", kChainStiSt0), Reg("fdivrp", kChainStiSt0), Reg("fdivp", kChainStiSt0), Reg("fcompp"),
};
constexpr RowMap kRowsDE = BuildRowMap([](uint32_t m) -> uint32_t { return m == 0xD9 ? 16 : ByReg(8, m); });

constexpr std::array<OpcodeEntry, 11> kGroupDF = {
    Mem("fild", kOperandMemoryInt16), Invalid(), Mem("fist", kOperandMemoryInt16),
    Mem("fistp", kOperandMemoryInt16), Mem("fbld", kOperandMemory80), Mem("fild", kOperandMemoryInt64),
    Mem("fbstp", kOperandMemory80), Mem("fistp", kOperandMemoryInt64),
    Reg("fnstsw", One(kOperandAx)), Reg("fucomip", kChainSt0Sti), Reg("fcomip", kChainSt0Sti),
};
constexpr RowMap kRowsDF = BuildRowMap([](uint32_t m) -> uint32_t {
  if (m == 0xE0) return 8;
  if (m >= 0xE8 && m <= 0xEF) return 9;
  if (m >= 0xF0 && m <= 0xF7) return 10;
  return kNoX87Row;
});

constexpr std::array<OpcodeEntry, kTwoByteTableSize> kTwoByteTable = BuildTwoByteTable();

template <size_t N>
constexpr GroupDescriptor ByRegGroup(const std::array<OpcodeEntry, N>& rows, uint8_t signExtends = 0) {
  return {GroupHandler::ModRmReg, signExtends, static_cast<uint16_t>(N), rows.data(), nullptr};
}
template <size_t N>
constexpr GroupDescriptor X87Group(const std::array<OpcodeEntry, N>& rows, const RowMap& map) {
  return {GroupHandler::X87, 0, static_cast<uint16_t>(N), rows.data(), map.data()};
}

}  // namespace

const std::array<OpcodeEntry, 256> kPrimaryOpcodeTable = BuildPrimaryTable();

const std::array<OpcodeEntry, kReservedTableSize> kReservedOpcodeTable = {
    Op(kEntryInstruction, 0),           // F1
    Op(kEntryInstruction, 0),           // 0F 07
    Op(kEntryModRm, 0, kChainEbGb),     // 0F 10
    Op(kEntryModRm, 0, kChainEvGv),     // 0F 11
    Op(kEntryModRm, 0, kChainGbEb),     // 0F 12
    Op(kEntryModRm, 0, kChainGvEv),     // 0F 13
};

const std::array<GroupDescriptor, kGroupCount + 1> kOpcodeGroups = {
    GroupDescriptor{GroupHandler::None, 0, 0, nullptr, nullptr},
    GroupDescriptor{GroupHandler::TwoByte, 0, kTwoByteTableSize, kTwoByteTable.data(), nullptr},
    ByRegGroup(kGroup80),
    ByRegGroup(kGroup81),
    ByRegGroup(kGroup82),
    ByRegGroup(kGroup83, 1),
    ByRegGroup(kGroup8C),
    ByRegGroup(kGroup8E),
    GroupDescriptor{GroupHandler::FusedWait, 0, static_cast<uint16_t>(kGroup9B.size()), kGroup9B.data(), nullptr},
    ByRegGroup(kGroupC0),
    ByRegGroup(kGroupC1),
    ByRegGroup(kGroupD0),
    ByRegGroup(kGroupD1),
    ByRegGroup(kGroupD2),
    ByRegGroup(kGroupD3),
    X87Group(kGroupD8, kRowsD8),
    X87Group(kGroupD9, kRowsD9),
    X87Group(kGroupDA, kRowsDA),
    X87Group(kGroupDB, kRowsDB),
    X87Group(kGroupDC, kRowsDC),
    X87Group(kGroupDD, kRowsDD),
    X87Group(kGroupDE, kRowsDE),
    X87Group(kGroupDF, kRowsDF),
    ByRegGroup(kGroupF6),
    ByRegGroup(kGroupF7),
    ByRegGroup(kGroupFE),
    ByRegGroup(kGroupFF),
    ByRegGroup(kGroup0F00),
    ByRegGroup(kGroup0F01),
    ByRegGroup(kGroup0FBA),
    ByRegGroup(kGroup0FC7),
};

const OperandChain kOperandChain = BuildOperandChain();

const MnemonicTable kMnemonicTable = BuildMnemonicTable();

const std::array<uint32_t, kMnemonicBaseCount> kMnemonicBases = {kMainMnemonicBase, kX87MnemonicBase,
                                                                 kReservedMnemonicBase};

const std::array<SixteenBitMnemonic, kSixteenBitMnemonicCount> kSixteenBitMnemonics = {{
    {M("cmpsd"), M("cmpsw")},   {M("cdq"), M("cwd")},       {M("cwde"), M("cbw")},
    {M("insd"), M("insw")},     {M("lodsd"), M("lodsw")},   {M("movsd"), M("movsw")},
    {M("outsd"), M("outsw")},   {M("popad"), M("popa")},    {M("popfd"), M("popf")},
    {M("pushad"), M("pusha")},  {M("pushfd"), M("pushf")},  {M("scasd"), M("scasw")},
    {M("stosd"), M("stosw")},   {M("iretd"), M("iret")},
}};

const std::array<StringOverrideForm, kStringOverrideFormCount> kStringOverrideForms = {{
    {M("movsb"), M("movs"), StringOperands::Move, "byte ptr "},
    {M("movsw"), M("movs"), StringOperands::Move, "word ptr "},
    {M("movsd"), M("movs"), StringOperands::Move, "dword ptr "},
    {M("cmpsb"), M("cmps"), StringOperands::Compare, "byte ptr "},
    {M("cmpsw"), M("cmps"), StringOperands::Compare, "word ptr "},
    {M("cmpsd"), M("cmps"), StringOperands::Compare, "dword ptr "},
    {M("outsb"), M("outs"), StringOperands::Output, "byte ptr "},
    {M("outsw"), M("outs"), StringOperands::Output, "word ptr "},
    {M("outsd"), M("outs"), StringOperands::Output, "dword ptr "},
    {M("lodsb"), M("lods"), StringOperands::Load, "byte ptr "},
    {M("lodsw"), M("lods"), StringOperands::Load, "word ptr "},
    {M("lodsd"), M("lods"), StringOperands::Load, "dword ptr "},
}};

const std::array<uint16_t, 6> kRepeatEqualRows = {M("cmpsb"), M("cmpsd"), M("cmpsw"),
                                                  M("scasb"), M("scasd"), M("scasw")};

const uint32_t kMovMnemonicRow = M("mov");

uint32_t FindMnemonicRow(const char* mnemonic) {
  for (uint32_t row = 0; row < kMnemonicRowCount; ++row) {
    if (std::strcmp(kMnemonicNames[row], mnemonic) == 0) return row;
  }
  return kMnemonicRowCount;
}

}  // namespace zentor
