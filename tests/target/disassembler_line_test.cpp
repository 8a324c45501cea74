// The disassembler's lines: the behaviours its design names one by one, a golden
// listing of every operand form, and random code that must never make a line run
// past its limit or the decoder read past its bytes.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "harness/transcript.h"
#include "target/disasm_decoder.h"
#include "target/disasm_formatter.h"

namespace zentor {
namespace {

constexpr uint32_t kOffset = 0x12000;

std::vector<uint8_t> Bytes(const std::string& hex) {
  std::vector<uint8_t> bytes;
  std::string digits;
  for (char c : hex) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits.push_back(c);
  }
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

struct Line {
  std::string text;
  uint32_t length = 0;
  uint8_t result = 0;
};

Line Disassemble(const std::vector<uint8_t>& bytes, bool size32 = true) {
  DecodeState state;
  CodeByteSpan span(bytes.data(), static_cast<uint32_t>(bytes.size()));
  Line line;
  line.result = DecodeInstruction(state, span, kOffset, size32);
  char text[kDisassemblyLineCapacity];
  FormatInstruction(state, text);
  line.text = text;
  line.length = state.m_length;
  return line;
}

// A line as the byte column, blanks to the text column, and the text.
std::string Expected(const std::string& byteColumn, const std::string& text) {
  return byteColumn + std::string(kDisassemblyTextColumn - byteColumn.size(), ' ') + text;
}

TEST(DisassemblerLine, BehavioursOfTheDesign) {
  struct Case {
    const char* name;
    const char* bytes;
    uint32_t length;
    const char* text;  // from the text column
  };
  const Case cases[] = {
      {"a line without operands ends in the mnemonic's blanks", "90", 1, "nop       "},
      {"a distance of 0 prints no sign", "ebfe", 2, "jmp       $ ;a=00012000"},
      {"a distance counts from the instruction's start", "eb03", 2, "jmp       $+05 ;a=00012005"},
      {"66 98 is cbw", "6698", 2, "cbw       "},
      {"98 is cwde", "98", 1, "cwde      "},
      {"66 a5 is movsw", "66a5", 2, "movsw     "},
      {"rep before movsd", "f3a5", 2, "rep movsd     "},
      {"repe before cmpsb", "f3a6", 2, "repe cmpsb     "},
      {"66 cf is iret", "66cf", 2, "iret      "},
      {"a segment override names the string operands", "64a4", 2, "movs      es:[edi],byte ptr fs:[esi]"},
      {"83 widens its immediate", "83c0ff", 3, "add       eax,0ffffffff"},
      {"80 keeps its immediate", "80c0ff", 3, "add       al,0ff"},
      {"6a prints its immediate unsigned", "6aff", 2, "push      0ff"},
      {"a negative 8-bit displacement", "8b45f8", 3, "mov       eax,dword ptr [ebp]-08"},
      {"base, scaled index and displacement", "8a44b310", 4, "mov       al,byte ptr [ebx][esi*04]+010"},
      {"a displacement alone under an override", "64a100000000", 6, "mov       eax,dword ptr fs:0"},
      {"a lock the instruction does not allow", "f090", 2, "??"},
      {"a size prefix twice", "666690", 2, "??"},
      {"the packed-data rows", "0f50", 2, "??"},
      {"a fused wait", "9bdfe0", 3, "fstsw     ax"},
      {"a wait before another instruction", "9b90", 1, "wait      "},
      {"DD C8 does not decode", "ddc8", 2, "??"},
      {"DC D0 does not decode", "dcd0", 2, "??"},
      {"fucomp of st(0)", "dde8", 2, "fucomp    st(0)"},
      {"fcmovb", "dac1", 2, "fcmovb    st(0),st(1)"},
      {"a debug register", "0f21f8", 3, "mov       eax,dr7"},
      {"debug register 4 fails after its comma", "0f21e0", 3, "mov       eax,??"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> bytes = Bytes(c.bytes);
    const Line line = Disassemble(bytes);
    EXPECT_EQ(line.length, c.length);
    std::string byteColumn;
    for (uint32_t i = 0; i < line.length; ++i) byteColumn += std::string(c.bytes).substr(2 * i, 2);
    EXPECT_EQ(line.text, Expected(byteColumn, c.text));
  }
}

// Every operand kind, addressing form, prefix rule and x87 row selection, each line
// compared with the golden listing.
TEST(DisassemblerLine, EveryOperandFormMatchesTheGoldenListing) {
  const std::string folder = std::string(ZENTOR_TEST_DATA_DIR) + "/target/";
  std::ifstream cases(folder + "disassembler_operand_forms.txt");
  ASSERT_TRUE(cases.good());
  std::ostringstream listing;
  std::string row;
  uint32_t count = 0;
  while (std::getline(cases, row)) {
    const std::string code = row.substr(0, row.find('#'));
    if (code.find_first_not_of(' ') == std::string::npos) continue;
    const size_t marker = code.find("m16");
    const bool size16 = marker != std::string::npos;
    const std::vector<uint8_t> bytes = Bytes(code.substr(0, marker));
    const Line line = Disassemble(bytes, !size16);
    EXPECT_LE(line.text.size(), kDisassemblyLineLimit) << row;
    listing << (size16 ? "16 " : "32 ") << line.length << " |" << line.text << "|\n";
    ++count;
  }
  EXPECT_GT(count, 250u);
  EXPECT_TRUE(testing_support::MatchesGolden(folder + "disassembler_operand_forms.golden", listing.str()));
}

// Random code: the decoder stays inside its bytes and the line inside its limit.
TEST(DisassemblerLine, RandomCodeStaysWithinItsBytesAndLine) {
  const uint32_t seed = 20261207;
  std::mt19937 random(seed);
  std::vector<uint8_t> code(1 << 16);
  for (uint8_t& byte : code) byte = static_cast<uint8_t>(random());
  DecodeState state;
  char text[kDisassemblyLineCapacity];
  uint32_t instructions = 0;
  for (uint32_t position = 0; position < code.size(); position += state.m_length) {
    const uint32_t available = static_cast<uint32_t>(code.size()) - position;
    CodeByteSpan span(code.data() + position, available);
    DecodeInstruction(state, span, position, (position & 1) == 0);
    const uint32_t width = FormatInstruction(state, text);
    ASSERT_GE(state.m_length, 1u) << "seed " << seed << " at " << position;
    ASSERT_LE(state.m_length, std::min(available, kMaxInstructionBytes)) << "seed " << seed << " at " << position;
    ASSERT_LE(width, kDisassemblyLineLimit) << "seed " << seed << " at " << position;
    ASSERT_EQ(std::string(text).size(), width) << "seed " << seed << " at " << position;
    ++instructions;
  }
  EXPECT_GT(instructions, 10000u);
}

}  // namespace
}  // namespace zentor
