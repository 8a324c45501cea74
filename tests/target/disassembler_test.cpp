// The target interface's disassembly over target memory: the address text in front of
// the line, the code window's reuse and refills, code at the edges of readable memory
// and of the address space, and failures that come back as a status.

#include "target/disassembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/collectable_record.h"
#include "core/core_test_support.h"
#include "core/target_memory.h"
#include "core/value_test_support.h"

namespace zentor {
namespace {

using testing_support::ByteImageTargetMemory;
using testing_support::MemoryAt;

class DisassemblerTest : public testing_support::CoreTestEnvironment {
 protected:
  void SetUp() override {
    CoreTestEnvironment::SetUp();
    TargetMemory::InstallService(&m_memory);
    Disassembler::Instance().Window().Forget();
    m_fillsBefore = Disassembler::Instance().Window().FillCount();
  }
  void TearDown() override {
    TargetMemory::InstallService(nullptr);
    CoreTestEnvironment::TearDown();
  }

  struct Result {
    std::string text;
    uint32_t length = 0;
    uint32_t status = 0;
  };
  Result At(uint32_t address) {
    Result result;
    TargetStatus status;
    const char* text = nullptr;
    const TargetAddressRecord record = MemoryAt(address).Record();
    result.status = TmiDisassemble(&status, 0, &record, 0, &text, &result.length);
    result.text = text;
    return result;
  }
  // Window fills in this test.
  uint32_t Reads() const { return Disassembler::Instance().Window().FillCount() - m_fillsBefore; }

  ByteImageTargetMemory m_memory;
  uint32_t m_fillsBefore = 0;
};

std::string Line(const std::string& address, const std::string& bytes, const std::string& text) {
  return address + "  " + bytes + std::string(24 - bytes.size(), ' ') + text;
}

TEST_F(DisassemblerTest, AddressTextThenTheLine) {
  m_memory.Map(0x1000, {0x8B, 0x45, 0xF8, 0xEB, 0xFB});
  const Result first = At(0x1000);
  EXPECT_EQ(first.status, 0u);
  EXPECT_EQ(first.length, 3u);
  EXPECT_EQ(first.text, Line("0x00001000", "8b45f8", "mov       eax,dword ptr [ebp]-08"));
  // A relative target counts from the instruction's own address.
  EXPECT_EQ(At(0x1003).text, Line("0x00001003", "ebfb", "jmp       $-03 ;a=00001000"));
}

TEST_F(DisassemblerTest, ConsecutiveInstructionsShareOneReadUntilMemoryChanges) {
  std::vector<uint8_t> code(0x400, 0x90);
  m_memory.Map(0x1000, code);
  for (uint32_t address = 0x1000; address < 0x1010; ++address) EXPECT_EQ(At(address).length, 1u);
  EXPECT_EQ(Reads(), 1u);

  // The window keeps its copy until a write marks target memory changed.
  code[4] = 0xC3;
  m_memory.Map(0x1000, code);
  EXPECT_EQ(At(0x1004).text, Line("0x00001004", "90", "nop       "));
  MarkAllRecordsOfKindChanged(kRecordTargetMemory);
  EXPECT_EQ(At(0x1004).text, Line("0x00001004", "c3", "ret       near"));
  EXPECT_EQ(Reads(), 2u);

  // An address before the window or past it refills there.
  At(0x1000);
  EXPECT_EQ(Reads(), 3u);
  At(0x1100 + 0x20);
  EXPECT_EQ(Reads(), 4u);
}

// The window is reused exactly when the address lies in the bytes it holds: checked
// against a plain model of the window (a fill reads 256 bytes, halved until they are
// all readable) over addresses jumping about the mapped code and its edges.
TEST_F(DisassemblerTest, WindowReuseFollowsAPlainModelOfTheHeldBytes) {
  constexpr uint32_t kBase = 0x1000;
  constexpr uint32_t kEnd = 0x1400;
  m_memory.Map(kBase, std::vector<uint8_t>(kEnd - kBase, 0x90));
  const uint32_t seed = 20261208;
  SCOPED_TRACE(seed);
  uint32_t state = seed;
  uint32_t modelStart = 0;
  uint32_t modelLength = 0;
  uint32_t modelFills = 0;
  for (int step = 0; step < 2000; ++step) {
    state = state * 1103515245u + 12345u;
    const uint32_t pick = (state >> 8) % 8;
    uint32_t address;
    if (pick < 4 && modelLength != 0) {
      // Near the window's edges: just before, at, inside, at the end and past it.
      const uint32_t edges[] = {modelStart - 1, modelStart, modelStart + modelLength - 1, modelStart + modelLength};
      address = edges[(state >> 16) % 4];
    } else {
      address = kBase + (state >> 12) % (kEnd - kBase);
    }
    if (address < kBase || address >= kEnd) continue;
    if (modelLength == 0 || address < modelStart || address - modelStart >= modelLength) {
      modelStart = address;
      modelLength = 256;
      while (address + modelLength > kEnd) modelLength /= 2;
      ++modelFills;
    }
    SCOPED_TRACE(step);
    ASSERT_EQ(At(address).length, 1u);
    ASSERT_EQ(Reads(), modelFills) << std::hex << address;
  }
  EXPECT_GT(modelFills, 100u);
}

TEST_F(DisassemblerTest, AnInstructionAcrossTheWindowEndReadsOn) {
  std::vector<uint8_t> code(0x110, 0x90);
  const uint8_t call[] = {0xE8, 0x00, 0x01, 0x00, 0x00};
  std::copy(std::begin(call), std::end(call), code.begin() + 0xFE);
  m_memory.Map(0x1000, code);
  At(0x1000);
  const Result crossing = At(0x10FE);
  EXPECT_EQ(crossing.status, 0u);
  EXPECT_EQ(crossing.length, 5u);
  EXPECT_EQ(crossing.text, Line("0x000010fe", "e800010000", "call      $+00000105 ;a=00001203"));
  EXPECT_EQ(Reads(), 2u);
}

// Code that ends just before unreadable memory still disassembles; an instruction
// that runs into it fails with the read's status and length 0.
TEST_F(DisassemblerTest, CodeAtTheEndOfReadableMemory) {
  m_memory.Map(0x2000, {0x90, 0x90, 0x90, 0x9B, 0x8B});
  EXPECT_EQ(At(0x2000).text, Line("0x00002000", "90", "nop       "));
  EXPECT_EQ(At(0x2002).text, Line("0x00002002", "90", "nop       "));
  // The look-ahead of a wait may find nothing to read: the wait stands alone.
  EXPECT_EQ(At(0x2003).text, Line("0x00002003", "9b", "wait      "));
  const Result cut = At(0x2004);
  EXPECT_EQ(cut.status, kMemoryReadFailed);
  EXPECT_EQ(cut.length, 0u);
  EXPECT_EQ(At(0x3000).status, kMemoryReadFailed);
}

// The window never reaches past the end of the address space, and an instruction cut
// off there shows "??".
TEST_F(DisassemblerTest, CodeAtTheEndOfTheAddressSpace) {
  m_memory.Map(0xFFFFFFF0, std::vector<uint8_t>(15, 0x90));
  m_memory.Map(0xFFFFFFFF, {0xE8});
  EXPECT_EQ(At(0xFFFFFFFE).text, Line("0xfffffffe", "90", "nop       "));
  const Result cut = At(0xFFFFFFFF);
  EXPECT_EQ(cut.status, 0u);
  EXPECT_EQ(cut.length, 1u);
  EXPECT_EQ(cut.text, Line("0xffffffff", "e8", "call      ??"));
}

TEST_F(DisassemblerTest, NullAddressAndSixteenBitMode) {
  TargetStatus status;
  const char* text = nullptr;
  uint32_t length = 7;
  EXPECT_EQ(TmiDisassemble(&status, 0, nullptr, 0, &text, &length), kMemoryReadFailed);
  EXPECT_EQ(length, 0u);
  EXPECT_STREQ(text, "");

  m_memory.Map(0x1000, {0x8B, 0x46, 0xF8});
  char line[kDisassemblyLineCapacity];
  TargetStatus sixteen;
  EXPECT_EQ(Disassemble(&sixteen, MemoryAt(0x1000).Record(), line, Disassembler::kMode16), 3u);
  EXPECT_EQ(std::string(line), std::string("8b46f8") + std::string(18, ' ') + "mov       ax,word ptr [bp]-08");
}

}  // namespace
}  // namespace zentor
