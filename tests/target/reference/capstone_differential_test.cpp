// The disassembler against Capstone: instruction lengths, validity and texts over
// every one- and two-byte opcode with representative ModRM, SIB, displacement and
// immediate bytes, and over megabytes of real i386 code. Texts are compared through a
// normaliser that reads both notations into one operand form; the differences that
// the instruction set and notation of our disassembler make on purpose are listed in
// kExpectedDifferences and in the normaliser's rules (marked "Notation:").

#include <gtest/gtest.h>

#include <capstone/capstone.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "code_sections/code_sections.h"
#include "target/disasm_decoder.h"
#include "target/disasm_formatter.h"
#include "target/disasm_tables.h"

namespace zentor {
namespace {

// ---- the two decoders

struct Decoded {
  bool valid = false;
  uint32_t length = 0;
  uint8_t result = 0;
  std::string text;  // from the text column on (ours), "mnemonic operands" (Capstone)
  std::string mnemonic;
  std::string operands;
};

Decoded DecodeOurs(const uint8_t* bytes, size_t count, uint32_t offset) {
  DecodeState state;
  CodeByteSpan span(bytes, static_cast<uint32_t>(count));
  char line[kDisassemblyLineCapacity];
  Decoded out;
  out.result = DecodeInstruction(state, span, offset, true);
  FormatInstruction(state, line);
  out.valid = out.result == kDecodeOk;
  out.length = state.m_length;
  out.text = line + kDisassemblyTextColumn;
  return out;
}

class Capstone {
 public:
  Capstone() {
    if (cs_open(CS_ARCH_X86, CS_MODE_32, &m_handle) != CS_ERR_OK) m_handle = 0;
    if (m_handle != 0) m_instruction = cs_malloc(m_handle);
  }
  ~Capstone() {
    if (m_instruction != nullptr) cs_free(m_instruction, 1);
    if (m_handle != 0) cs_close(&m_handle);
  }
  bool Ready() const { return m_handle != 0 && m_instruction != nullptr; }

  Decoded Decode(const uint8_t* bytes, size_t count, uint32_t offset) {
    Decoded out;
    const uint8_t* code = bytes;
    size_t size = count < 16 ? count : 16;
    uint64_t address = offset;
    if (!cs_disasm_iter(m_handle, &code, &size, &address, m_instruction)) return out;
    out.valid = true;
    out.length = m_instruction->size;
    out.mnemonic = m_instruction->mnemonic;
    out.operands = m_instruction->op_str;
    out.text = out.mnemonic + (out.operands.empty() ? "" : " " + out.operands);
    return out;
  }

 private:
  csh m_handle = 0;
  cs_insn* m_instruction = nullptr;
};

// ---- the normaliser

struct Operand {
  enum class Kind { Register, Immediate, Memory, FarPointer };
  Kind kind = Kind::Register;
  std::string name;  // register
  uint32_t value = 0;  // immediate, displacement, far offset
  std::string size;  // memory: "byte", "word", "dword", "qword", "tbyte" or "" (none printed)
  std::string segment;
  std::string base;
  std::string index;
  uint32_t scale = 1;
  uint32_t selector = 0;
  bool relative = false;  // ours: a branch target
};

struct Instruction {
  std::set<std::string> prefixes;
  std::string mnemonic;
  std::vector<Operand> operands;
  std::string failure;  // why the text could not be read
};

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }
bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}
std::string Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}
std::vector<std::string> Split(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(separator, start);
    parts.emplace_back(text.substr(start, at - start));
    if (at == std::string_view::npos) return parts;
    start = at + separator.size();
  }
}

// A number in either notation: ours hexadecimal with a leading 0 ("0ff"), Capstone's
// "0x..", decimal or negative.
std::optional<uint32_t> ParseNumber(std::string_view text, bool oursHex) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = oursHex ? 16 : 10;
  if (StartsWith(text, "0x")) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return std::nullopt;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  const uint32_t low = static_cast<uint32_t>(value);
  return negative ? 0u - low : low;
}

bool TakeSize(std::string& text, std::string* size) {
  for (const char* name : {"byte", "word", "dword", "qword", "tbyte", "xword", "fword", "xmmword"}) {
    const std::string prefix = std::string(name) + " ptr ";
    if (StartsWith(text, prefix)) {
      *size = name == std::string("xword") ? "tbyte" : name;
      text.erase(0, prefix.size());
      return true;
    }
  }
  if (StartsWith(text, "ptr ")) {
    text.erase(0, 4);
    return true;
  }
  return false;
}

void TakeSegment(std::string& text, std::string* segment) {
  if (text.size() > 3 && text[1] == 's' && text[2] == ':' && std::strchr("ecsdfg", text[0]) != nullptr) {
    *segment = text.substr(0, 2);
    text.erase(0, 3);
  }
}

// Ours: "[base][index*scale]+disp", "[base]-disp8", or the displacement alone.
bool ParseOurMemory(std::string text, Operand* out) {
  out->kind = Operand::Kind::Memory;
  TakeSize(text, &out->size);
  TakeSegment(text, &out->segment);
  while (StartsWith(text, "[")) {
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    const std::string inside = text.substr(1, close - 1);
    const size_t star = inside.find('*');
    if (star != std::string::npos) {
      out->index = inside.substr(0, star);
      const auto scale = ParseNumber(inside.substr(star + 1), true);
      if (!scale) return false;
      out->scale = *scale;
    } else if (out->base.empty()) {
      out->base = inside;
    } else {
      out->index = inside;
    }
    text.erase(0, close + 1);
  }
  if (text.empty()) return !out->base.empty() || !out->index.empty();
  const auto displacement = ParseNumber(text, true);
  if (!displacement) return false;
  out->value = *displacement;
  return true;
}

// Capstone: "[base + index*scale + disp]" in any part, or "[disp]".
bool ParseReferenceMemory(std::string text, Operand* out) {
  out->kind = Operand::Kind::Memory;
  TakeSize(text, &out->size);
  TakeSegment(text, &out->segment);
  if (!StartsWith(text, "[") || !EndsWith(text, "]")) return false;
  bool negative = false;
  for (const std::string& term : Split(text.substr(1, text.size() - 2), " ")) {
    if (term == "+" || term == "-") {
      negative = term == "-";
      continue;
    }
    const size_t star = term.find('*');
    if (star != std::string::npos) {
      out->index = term.substr(0, star);
      out->scale = ParseNumber(term.substr(star + 1), false).value_or(0);
    } else if (const auto number = ParseNumber(term, false)) {
      out->value = negative ? 0u - *number : *number;
    } else if (out->base.empty()) {
      out->base = term;
    } else {
      out->index = term;
    }
    negative = false;
  }
  return true;
}

// Our line from the text column: prefixes, the ten-character mnemonic row, then the
// operands. An operand that begins with a blank is a memory operand without size.
Instruction ParseOurs(const std::string& line) {
  Instruction out;
  std::string text = line;
  for (bool found = true; found;) {
    found = false;
    for (const char* prefix : {"repne ", "repe ", "rep ", "lock "}) {
      if (StartsWith(text, prefix)) {
        out.prefixes.insert(Trim(prefix));
        text.erase(0, std::strlen(prefix));
        found = true;
      }
    }
  }
  out.mnemonic = Trim(text.substr(0, kMnemonicTextWidth));
  const std::string rest = text.size() > kMnemonicTextWidth ? text.substr(kMnemonicTextWidth) : "";
  bool far = false;
  for (std::string piece : Split(rest, ",")) {
    Operand operand;
    if (piece == "near") continue;
    if (piece == "far") {
      far = true;
      continue;
    }
    if (EndsWith(piece, " far")) {  // selector:offset far
      const size_t colon = piece.find(':');
      operand.kind = Operand::Kind::FarPointer;
      operand.selector = ParseNumber(piece.substr(0, colon), true).value_or(0);
      operand.value = ParseNumber(piece.substr(colon + 1, piece.size() - colon - 5), true).value_or(0);
      out.operands.push_back(operand);
      continue;
    }
    // Notation: "near" and "far" follow a count or an r/m operand directly.
    if (EndsWith(piece, "near")) piece.erase(piece.size() - 4);
    if (EndsWith(piece, "far")) {
      piece.erase(piece.size() - 3);
      far = true;
    }
    if (StartsWith(piece, "$")) {
      const size_t at = piece.find(";a=");
      operand.kind = Operand::Kind::Immediate;
      operand.relative = true;
      operand.value = at == std::string::npos ? 0 : ParseNumber(piece.substr(at + 3), true).value_or(0);
    } else if (StartsWith(piece, " ") || piece.find("ptr ") != std::string::npos ||
               piece.find('[') != std::string::npos) {
      if (!ParseOurMemory(Trim(piece), &operand)) out.failure = "memory operand " + piece;
    } else if (piece == "1h") {
      operand.kind = Operand::Kind::Immediate;
      operand.value = 1;
    } else if (const auto number = ParseNumber(piece, true); number && (piece[0] == '0' || piece == "3")) {
      operand.kind = Operand::Kind::Immediate;
      operand.value = *number;
    } else {
      operand.name = piece;
    }
    out.operands.push_back(operand);
  }
  // Notation: "ret" followed by "far" is the far return; string instructions under a
  // segment override print the generic mnemonic and a size.
  if (far && out.mnemonic == "ret") out.mnemonic = "retf";
  for (const char* generic : {"movs", "cmps", "outs", "lods"}) {
    if (out.mnemonic != generic) continue;
    for (const Operand& operand : out.operands) {
      if (operand.kind == Operand::Kind::Memory && !operand.size.empty()) {
        out.mnemonic += operand.size == "byte" ? "b" : (operand.size == "word" ? "w" : "d");
        break;
      }
    }
  }
  return out;
}

Instruction ParseReference(const Decoded& decoded) {
  Instruction out;
  std::vector<std::string> words = Split(decoded.mnemonic, " ");
  out.mnemonic = words.empty() ? "" : words.back();
  for (size_t i = 0; i + 1 < words.size(); ++i) out.prefixes.insert(words[i]);
  for (const std::string& piece : Split(decoded.operands, ", ")) {
    Operand operand;
    const size_t colon = piece.find(':');
    if (piece.find("ptr ") != std::string::npos || piece.find('[') != std::string::npos) {
      if (!ParseReferenceMemory(piece, &operand)) out.failure = "memory operand " + piece;
    } else if (colon != std::string::npos && ParseNumber(piece.substr(0, colon), false)) {
      operand.kind = Operand::Kind::FarPointer;
      operand.selector = *ParseNumber(piece.substr(0, colon), false);
      operand.value = ParseNumber(piece.substr(colon + 1), false).value_or(0);
    } else if (const auto number = ParseNumber(piece, false)) {
      operand.kind = Operand::Kind::Immediate;
      operand.value = *number;
    } else {
      operand.name = piece;
    }
    out.operands.push_back(operand);
  }
  // Notation: the reference's names for the same instructions.
  static const std::map<std::string, std::string> kNames = {
      {"shl", "sal"},      {"jecxz", "jcxz"},   {"lcall", "call"},     {"ljmp", "jmp"},
      {"fwait", "wait"},   {"jp", "jpe"},       {"jnp", "jpo"},        {"setp", "setpe"},
      {"setnp", "setpo"},  {"cmovp", "cmovpe"}, {"cmovnp", "cmovpo"}};
  if (const auto it = kNames.find(out.mnemonic); it != kNames.end()) out.mnemonic = it->second;
  if (out.mnemonic == "int3") {
    out.mnemonic = "int";
    Operand three;
    three.kind = Operand::Kind::Immediate;
    three.value = 3;
    out.operands.push_back(three);
  }
  return out;
}

// What the comparison knows of the bytes.
struct ByteFacts {
  bool operandSize16 = false;
  bool addressSize16 = false;
  uint8_t opcode = 0;     // the first byte after the prefixes
  uint8_t second = 0;     // the byte after the opcode (the second opcode byte after 0F)
  bool twoByte = false;
  uint8_t modRm = 0;      // the byte after the opcode bytes
  bool hasLock = false;
  bool hasRepeat = false;
};

ByteFacts ReadFacts(const uint8_t* bytes, size_t count) {
  ByteFacts facts;
  size_t i = 0;
  for (; i < count; ++i) {
    const uint8_t b = bytes[i];
    if (b == 0x66) facts.operandSize16 = true;
    else if (b == 0x67) facts.addressSize16 = true;
    else if (b == 0xF0) facts.hasLock = true;
    else if (b == 0xF2 || b == 0xF3) facts.hasRepeat = true;
    else if (b != 0x26 && b != 0x2E && b != 0x36 && b != 0x3E && b != 0x64 && b != 0x65) break;
  }
  facts.opcode = i < count ? bytes[i] : 0;
  facts.second = i + 1 < count ? bytes[i + 1] : 0;
  facts.twoByte = facts.opcode == 0x0F;
  const size_t modRm = i + (facts.twoByte ? 2 : 1);
  facts.modRm = modRm < count ? bytes[modRm] : 0;
  return facts;
}

const std::set<std::string>& StringMnemonics() {
  static const std::set<std::string> names = {
      "movsb", "movsw", "movsd", "cmpsb", "cmpsw", "cmpsd", "stosb", "stosw", "stosd", "lodsb", "lodsw", "lodsd",
      "scasb", "scasw", "scasd", "insb",  "insw",  "insd",  "outsb", "outsw", "outsd"};
  return names;
}

// The segment override a string instruction's source carries ("" for none).
std::string SourceOverride(const Instruction& instruction) {
  for (const Operand& operand : instruction.operands) {
    if (operand.kind == Operand::Kind::Memory && (operand.base == "esi" || operand.base == "si")) return operand.segment;
  }
  return "";
}

// The same register in its 16- and 32-bit names.
bool SameRegisterOtherWidth(const std::string& a, const std::string& b) {
  return (a.size() == 2 && b == "e" + a) || (b.size() == 2 && a == "e" + b);
}

// Notation: immediates print unsigned (but for the sign-extended group of 83) where
// the reference prints them signed; under operand size 16 only the low word counts.
bool SameImmediate(uint32_t ours, uint32_t theirs, const ByteFacts& facts) {
  if (ours == theirs) return true;
  // Notation: a branch target under address size 16 prints its low word.
  if (facts.addressSize16 && (ours & 0xFFFF) == (theirs & 0xFFFF)) return true;
  if (ours <= 0xFF && theirs >= 0xFFFFFF80u && (ours & 0xFF) == (theirs & 0xFF)) return true;
  if (ours <= 0xFFFF && theirs >= 0xFFFF8000u && (ours & 0xFFFF) == (theirs & 0xFFFF)) return true;
  return facts.operandSize16 && (ours & 0xFFFF) == (theirs & 0xFFFF);
}

// Compares the normalised texts; empty when they agree, else what differs.
std::string CompareTexts(const Instruction& ours, const Instruction& theirs, const ByteFacts& facts) {
  if (!ours.failure.empty()) return "our text unreadable: " + ours.failure;
  if (!theirs.failure.empty()) return "reference text unreadable: " + theirs.failure;
  if (ours.mnemonic != theirs.mnemonic) return "mnemonic";
  // Notation: string instructions name no operands; only their source's override
  // shows. Repeat prefixes count only on them.
  if (StringMnemonics().count(ours.mnemonic) != 0) {
    if (SourceOverride(ours) != SourceOverride(theirs)) return "string override";
    if (ours.prefixes != theirs.prefixes) return "prefixes";
    return "";
  }
  if (ours.prefixes.count("lock") != theirs.prefixes.count("lock")) return "lock";
  std::vector<Operand> left = ours.operands;
  // Notation: the accumulator of mul, imul, div and idiv and st(0) of the x87
  // register forms are printed where the reference leaves them implicit.
  if (left.size() == theirs.operands.size() + 1 && left.front().kind == Operand::Kind::Register) {
    const std::string& first = left.front().name;
    const std::string& last = left.back().name;
    if (first == "st(0)" || first == "al" || first == "ax" || first == "eax") {
      left.erase(left.begin());
    } else if (last == "st(0)") {
      left.pop_back();
    }
  }
  if (left.size() != theirs.operands.size()) return "operand count";
  // Notation: sizes of these memory operands follow the table's operand kind.
  const bool ignoreSizes = ours.mnemonic == "bound" || ours.mnemonic == "fnstsw" || ours.mnemonic == "frstor" ||
                           ours.mnemonic == "fnsave" || ours.mnemonic == "lar" || ours.mnemonic == "lsl" ||
                           ours.mnemonic == "invlpg";
  // Notation: a 16-bit r/m in register form prints the 16-bit register, and the
  // destination of movzx and movsx from a word is always 32-bit.
  const bool eitherWidth = ours.mnemonic == "sldt" || ours.mnemonic == "str" || ours.mnemonic == "smsw" ||
                           ours.mnemonic == "lar" || ours.mnemonic == "lsl" || ours.mnemonic == "mov" ||
                           ours.mnemonic == "movzx" || ours.mnemonic == "movsx";
  for (size_t i = 0; i < left.size(); ++i) {
    const Operand& a = left[i];
    const Operand& b = theirs.operands[i];
    const std::string where = "operand " + std::to_string(i + 1) + ": ";
    if (a.kind != b.kind) return where + "kind";
    switch (a.kind) {
      case Operand::Kind::Register:
        if (a.name != b.name && !(eitherWidth && SameRegisterOtherWidth(a.name, b.name))) return where + "register";
        break;
      case Operand::Kind::Immediate:
        if (!SameImmediate(a.value, b.value, facts)) return where + "value";
        break;
      case Operand::Kind::FarPointer:
        if (a.selector != b.selector || a.value != b.value) return where + "far pointer";
        break;
      case Operand::Kind::Memory: {
        if (!ignoreSizes && !a.size.empty() && !b.size.empty() && a.size != b.size) return where + "size";
        const uint32_t mask = facts.addressSize16 ? 0xFFFF : 0xFFFFFFFF;
        if (a.segment != b.segment || a.base != b.base || a.index != b.index) return where + "address";
        if (!a.index.empty() && a.scale != b.scale) return where + "scale";
        if ((a.value & mask) != (b.value & mask)) return where + "displacement";
        break;
      }
    }
  }
  return "";
}

// ---- differences the instruction set makes on purpose

bool InList(uint8_t value, std::initializer_list<uint8_t> list) {
  for (uint8_t item : list) {
    if (item == value) return true;
  }
  return false;
}
uint8_t Reg(uint8_t modRm) { return static_cast<uint8_t>((modRm >> 3) & 7); }

struct ExpectedDifference {
  const char* why;
  // Ours refuses (the reference decodes), or ours decodes (the reference refuses).
  bool oursValid;
  bool (*applies)(const ByteFacts& facts, const Decoded& ours);
};

const ExpectedDifference kExpectedDifferences[] = {
    {"aliases and later instructions the set leaves out: 82 /1 /4 /6, C0-D3 /6, F6-F7 /1, D6, "
     "D4-D5 with a base other than 0A, the hint nops 0F 18-1F, debug registers 4 and 5, x87 register "
     "forms outside the set",
     false,
     [](const ByteFacts& f, const Decoded&) {
       if (f.twoByte) {
         return (f.second >= 0x18 && f.second <= 0x1F) ||
                ((f.second == 0x21 || f.second == 0x23) && InList(Reg(f.modRm), {4, 5}));
       }
       return (f.opcode == 0x82 && InList(Reg(f.modRm), {1, 4, 6})) ||
              (InList(f.opcode, {0xC0, 0xC1, 0xD0, 0xD1, 0xD2, 0xD3}) && Reg(f.modRm) == 6) ||
              (InList(f.opcode, {0xF6, 0xF7}) && Reg(f.modRm) == 1) || f.opcode == 0xD6 ||
              (InList(f.opcode, {0xD4, 0xD5}) && f.second != 0x0A) ||
              (f.opcode >= 0xD8 && f.opcode <= 0xDF && f.second >= 0xC0);
     }},
    {"rows the set decodes that later processors refuse or use otherwise: the reserved rows (F1, 0F 07, "
     "0F 10-13), the test registers (0F 24, 0F 26), DB /4 and DD /5, D9 D1, register forms of bound, "
     "the far-pointer loads and far indirect branches (as cs:reg), 0F 01 /7 in register form",
     true,
     [](const ByteFacts& f, const Decoded&) {
       const bool registerForm = f.modRm >= 0xC0;
       if (f.twoByte) {
         const uint8_t modRm = f.modRm;
         return f.second == 0x24 || f.second == 0x26 || f.second == 0x07 || (f.second >= 0x10 && f.second <= 0x13) ||
                (InList(f.second, {0xB2, 0xB4, 0xB5}) && registerForm) ||
                (f.second == 0x01 && Reg(modRm) == 7 && registerForm);
       }
       const uint8_t modRm = f.second;
       return f.opcode == 0xF1 || (f.opcode == 0xDB && Reg(modRm) == 4 && modRm < 0xC0) ||
              (f.opcode == 0xDD && Reg(modRm) == 5 && modRm < 0xC0) || (f.opcode == 0xD9 && modRm == 0xD1) ||
              (InList(f.opcode, {0x62, 0xC4, 0xC5}) && modRm >= 0xC0) ||
              (f.opcode == 0xFF && InList(Reg(modRm), {3, 5}) && modRm >= 0xC0);
     }},
    {"prefix rules: a repeat or lock prefix the instruction does not allow, a prefix given twice and "
     "a second segment override show \"??\"",
     false,
     [](const ByteFacts&, const Decoded& ours) {
       return InList(ours.result, {kDecodePrefixNotAllowed, kDecodePrefixTwice, kDecodeSecondSegment,
                                   kDecodeRepeatAfterRepeat, kDecodeLockTwice});
     }},
    {"prefix rules: a lock on a register destination, and a repeat prefix on an instruction that allows a "
     "lock, decode",
     true, [](const ByteFacts& f, const Decoded&) { return f.hasLock || f.hasRepeat; }},
    {"a fault of the reference: 98 and 99 after 66 and a segment prefix are named as without 66", true,
     [](const ByteFacts& f, const Decoded&) { return !f.twoByte && (f.opcode == 0x98 || f.opcode == 0x99); }},
};

// ---- the comparison of one position

struct Tally {
  uint64_t compared = 0;        // both decoded an instruction of the set
  uint64_t lengthsOnly = 0;     // ours decoded, the reference named an instruction outside the set
  uint64_t outsideSet = 0;      // only the reference decoded, an instruction outside the set
  std::map<std::string, uint64_t> expected;
  std::vector<std::string> faults;
  std::set<std::string> seen;  // one example of each kind of fault is shown
  uint64_t faultCount = 0;

  void Fault(const uint8_t* bytes, size_t count, const Decoded& ours, const Decoded& theirs, const std::string& why) {
    ++faultCount;
    if (faults.size() >= 40 || !seen.insert(why + ours.text.substr(0, 10)).second) return;
    std::ostringstream text;
    for (size_t i = 0; i < count && i < 12; ++i) {
      char pair[4];
      std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
      text << pair;
    }
    text << ": " << why << "\n    ours (" << ours.length << ", result " << int(ours.result) << "): " << ours.text
         << "\n    reference (" << theirs.length << "): " << (theirs.valid ? theirs.text : "invalid");
    faults.push_back(text.str());
  }
  std::string Report() const {
    std::ostringstream text;
    text << faultCount << " differences:\n";
    for (const std::string& fault : faults) text << fault << "\n";
    return text.str();
  }
};

bool InInstructionSet(const std::string& mnemonic) {
  return mnemonic != "reserve" && FindMnemonicRow(mnemonic.c_str()) != kMnemonicRowCount;
}

const ExpectedDifference* FindExpected(const ByteFacts& facts, const Decoded& ours, bool oursValid) {
  for (const ExpectedDifference& difference : kExpectedDifferences) {
    if (difference.oursValid == oursValid && difference.applies(facts, ours)) return &difference;
  }
  return nullptr;
}

// The waiting x87 forms are one instruction here and a wait before the no-wait form in
// the reference: the reference's instruction after the wait is compared.
std::string NoWaitName(const std::string& ours) {
  if (ours == "fsetpm") return ours;
  return "fn" + ours.substr(1);
}

// Compares both decoders at one position; returns how far to move on.
uint32_t ComparePosition(Capstone& capstone, const uint8_t* bytes, size_t count, uint32_t offset, Tally& tally) {
  const Decoded ours = DecodeOurs(bytes, count, offset);
  if (ours.result == kDecodeFetchFailed) return 0;  // the code ends inside the instruction
  Decoded theirs = capstone.Decode(bytes, count, offset);
  const ByteFacts facts = ReadFacts(bytes, count);
  if (ours.valid && bytes[0] == 0x9B && ours.length > 1 && theirs.valid && theirs.length == 1) {
    theirs = capstone.Decode(bytes + 1, count - 1, offset + 1);
    theirs.length += 1;
    const std::string name = ParseOurs(ours.text).mnemonic;
    if (theirs.valid) theirs.mnemonic = theirs.mnemonic == NoWaitName(name) ? name : theirs.mnemonic;
  }
  const Instruction theirText = theirs.valid ? ParseReference(theirs) : Instruction();
  const bool theirsInSet = theirs.valid && InInstructionSet(theirText.mnemonic);
  if (ours.valid && theirs.valid) {
    if (ours.length != theirs.length) {
      if (const ExpectedDifference* expected = FindExpected(facts, ours, true)) {
        ++tally.expected[expected->why];
      } else {
        tally.Fault(bytes, count, ours, theirs, "length");
      }
      return theirs.length;
    }
    // Notation: text stops at the end of the line; a cut operand is not compared.
    if (!theirsInSet || kDisassemblyTextColumn + ours.text.size() >= kDisassemblyLineLimit) {
      ++tally.lengthsOnly;
      return ours.length;
    }
    ++tally.compared;
    const std::string difference = CompareTexts(ParseOurs(ours.text), theirText, facts);
    if (!difference.empty()) {
      if (const ExpectedDifference* expected = FindExpected(facts, ours, true)) {
        ++tally.expected[expected->why];
      } else {
        tally.Fault(bytes, count, ours, theirs, difference);
      }
    }
    return ours.length;
  }
  if (ours.valid != theirs.valid && (ours.valid || theirsInSet)) {
    if (const ExpectedDifference* expected = FindExpected(facts, ours, ours.valid)) {
      ++tally.expected[expected->why];
    } else {
      tally.Fault(bytes, count, ours, theirs, ours.valid ? "only ours decodes" : "only the reference decodes");
    }
  } else if (theirs.valid) {
    ++tally.outsideSet;
  }
  return theirs.valid ? theirs.length : 1;
}

std::string Summary(const Tally& tally) {
  std::ostringstream text;
  text << tally.compared << " texts compared, " << tally.lengthsOnly << " lengths only, " << tally.outsideSet
       << " outside the set";
  for (const auto& [why, count] : tally.expected) text << "\n  expected (" << count << "): " << why;
  return text.str();
}

// ---- the tests

// Every one- and two-byte opcode, alone and after 66 and 67, followed by every ModRM
// byte and a few SIB bytes, then displacement and immediate bytes of both signs.
TEST(DisassemblerReference, EveryOpcodeWithRepresentativeOperandBytes) {
  Capstone capstone;
  ASSERT_TRUE(capstone.Ready());
  std::vector<std::vector<uint8_t>> tails;
  const std::vector<uint8_t> positive = {0x78, 0x56, 0x34, 0x12, 0x44, 0x33, 0x22, 0x11};
  const std::vector<uint8_t> negative = {0xF8, 0x80, 0xFF, 0xFF, 0x90, 0xAB, 0xCD, 0xEF};
  for (const auto* pattern : {&positive, &negative}) {
    for (uint32_t modRm = 0; modRm < 256; ++modRm) {
      std::vector<uint8_t> tail = {static_cast<uint8_t>(modRm), 0x8D};
      tail.insert(tail.end(), pattern->begin(), pattern->end());
      tails.push_back(tail);
    }
    for (uint8_t modRm : {0x04, 0x44, 0x84}) {
      for (uint8_t sib : {0x24, 0x25, 0x65, 0xE5, 0x00, 0x4C}) {
        std::vector<uint8_t> tail = {modRm, sib};
        tail.insert(tail.end(), pattern->begin(), pattern->end());
        tails.push_back(tail);
      }
    }
  }
  Tally tally;
  for (const std::vector<uint8_t>& prefix : {std::vector<uint8_t>{}, {0x66}, {0x67}}) {
    for (uint32_t opcode = 0; opcode < 512; ++opcode) {
      std::vector<uint8_t> head = prefix;
      if (opcode >= 256) head.push_back(0x0F);
      head.push_back(static_cast<uint8_t>(opcode));
      for (const std::vector<uint8_t>& tail : tails) {
        std::vector<uint8_t> bytes = head;
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        ComparePosition(capstone, bytes.data(), bytes.size(), 0x12000, tally);
      }
    }
  }
  std::printf("%s\n", Summary(tally).c_str());
  EXPECT_EQ(tally.faultCount, 0u) << tally.Report();
  EXPECT_GT(tally.compared, 100000u);
}

std::vector<std::string> RealCodeFiles() {
  std::vector<std::string> files;
  for (const char* folder : {"/usr/lib/gcc/i686-w64-mingw32", "/usr/i686-w64-mingw32/lib"}) {
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      const std::string name = it->path().filename().string();
      const bool wanted = name == "libstdc++-6.dll" || name == "libgcc_s_dw2-1.dll" || name == "libquadmath-0.dll" ||
                          name == "libgomp-1.dll" || name == "libwinpthread-1.dll" || name == "libgnat-12.dll";
      if (wanted && it->path().string().find("win32") == std::string::npos) files.push_back(it->path().string());
    }
  }
  for (const std::string& object : Split(ZENTOR_I386_OBJECTS, "|")) files.push_back(object);
  return files;
}

// The executable sections of the mingw runtime DLLs, of the sample server modules and
// of i386 objects of our own sources, swept from start to end by both decoders.
TEST(DisassemblerReference, RealI386Code) {
  Capstone capstone;
  ASSERT_TRUE(capstone.Ready());
  Tally tally;
  uint64_t bytesSwept = 0;
  for (const std::string& file : RealCodeFiles()) {
    for (const tools::CodeSection& section : tools::ReadCodeSectionsOfFile(file)) {
      SCOPED_TRACE(file + " " + section.m_name);
      const std::vector<uint8_t>& code = section.m_bytes;
      size_t position = 0;
      while (position < code.size()) {
        const uint32_t step = ComparePosition(capstone, code.data() + position, code.size() - position,
                                              section.m_address + static_cast<uint32_t>(position), tally);
        if (step == 0) break;
        position += step;
      }
      bytesSwept += position;
    }
  }
  std::printf("%llu bytes swept; %s\n", static_cast<unsigned long long>(bytesSwept), Summary(tally).c_str());
  if (bytesSwept == 0) GTEST_SKIP() << "no i386 code found (the mingw runtime is not installed)";
  EXPECT_GT(bytesSwept, 2000000u);
  EXPECT_EQ(tally.faultCount, 0u) << tally.Report();
}

}  // namespace
}  // namespace zentor
