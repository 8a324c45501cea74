// Typed value output: what the printer writes for a value of each kind in each base,
// and rows of target memory read from a byte image, as the command output receives
// them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command/value_output.h"
#include "console/output_writer.h"
#include "core/value_test_support.h"

namespace zentor {
namespace {

using testing_support::ByteImageTargetMemory;
using testing_support::LocationAt;
using testing_support::MemoryAt;

class ValueOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ValueStack::Create();
    ValueStack::Reset();
    TargetMemory::InstallService(&m_memory);
    OutputWriter::Reset();
    OutputWriter::InstallHook([this](char ch) { m_output += ch; });
    ResetValueOutput();
  }

  void TearDown() override {
    OutputWriter::RemoveHook();
    TargetMemory::InstallService(nullptr);
    ValueStack::Reset();
  }

  // The text written for the value pushed as `kind` with `bytes` (line end dropped),
  // or "error N" for a raised error (with whatever had been written before it).
  std::string Show(uint16_t kind, std::vector<uint8_t> bytes, uint32_t base) {
    m_output.clear();
    ValueStack::PushSized(kind, static_cast<uint16_t>(bytes.size()), bytes.data());
    try {
      DisplayTopValueInBase(base);
    } catch (const DVError& error) {
      return m_output + "error " + std::to_string(error.Number());
    }
    std::string text = m_output;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    return text;
  }

  std::string ShowMemory(const TypedLocation& location, uint32_t base) {
    m_output.clear();
    ValueStack::PushPointerLocation(PointerLocation(location, location.Type(), location.ElementSize()));
    try {
      DisplayTopValueInBase(base);
    } catch (const DVError& error) {
      return m_output + "error " + std::to_string(error.Number());
    }
    return m_output;
  }

  static std::vector<uint8_t> Word(uint64_t value, uint32_t size) {
    std::vector<uint8_t> bytes(size);
    for (uint32_t i = 0; i < size && i < 8; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
  }

  ByteImageTargetMemory m_memory;
  std::string m_output;
};

TEST_F(ValueOutputTest, ValuesOfEveryKindInEveryBase) {
  struct Case {
    const char* name;
    uint16_t kind;
    std::vector<uint8_t> bytes;
    uint32_t base;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"bool1 true keeps its blank", kKindBool1, {1}, 10, "true "},
      {"bool1 false", kKindBool1, {0}, 16, "false"},
      {"wide boolean", kKindBool4, Word(0x100, 4), 10, "true "},
      {"ord1 fills its width", kKindOrd1, {255}, 10, "255"},
      {"ord1 in hex", kKindOrd1, {10}, 16, "0a"},
      {"ord1 in binary", kKindOrd1, {5}, 2, "00000101"},
      {"ord2 fills its width", kKindOrd2, Word(65535, 2), 10, "65535"},
      {"ord4 trimmed", kKindOrd4, Word(7, 4), 10, "7"},
      {"ord4 in hex", kKindOrd4, Word(0x12, 4), 16, "00000012"},
      {"ord8 in decimal", kKindOrd8, Word(~0ull, 8), 10, "18446744073709551615"},
      {"ord8 in hex", kKindOrd8, Word(0x1234, 8), 16, "0000000000001234"},
      {"ord16 as words", kKindOrd16, Word(1, 16), 10, "00000000000000000000000000000001"},
      {"int1 -1 in decimal", kKindInt1, {0xFF}, 10, "-1"},
      {"int1 -1 in hex", kKindInt1, {0xFF}, 16, "ff"},
      {"int1 5 without its sign blank", kKindInt1, {5}, 10, "5"},
      {"int2 in binary", kKindInt2, Word(0x8001, 2), 2, "1000000000000001"},
      {"int4 smallest", kKindInt4, Word(0x80000000u, 4), 10, "-2147483648"},
      {"int8 smallest", kKindInt8, Word(0x8000000000000000ull, 8), 10, "-9223372036854775808"},
      {"int8 in hex", kKindInt8, Word(~0ull, 8), 16, "ffffffffffffffff"},
      {"character", kKindChar, {'Q'}, 10, "Q"},
      {"character not printable", kKindChar, {7}, 10, "."},
      {"nul-terminated string", kKindNString, {'a', 'b', 0}, 10, "ab"},
      {"length-prefixed string", kKindLString, {3, 'x', 'y', 'z'}, 16, "xyz"},
      {"nothing", kKindNone, {}, 10, ""},
      {"inactive symbol", kKindInactiveSymbol, {}, 10, "<Inactive>"},
      {"bit", kKindCode1, Word(2, 4), 10, "1"},
      {"ordinal in hex", kKindOrdinal, Word(0x2A, 8), 16, "0000002a"},
      {"ordinal in decimal", kKindOrdinal, Word(42, 8), 10, "42"},
      {"packed decimal has no format", kKindPacked, std::vector<uint8_t>(10, 0), 10, "error 192"},
      {"ord10 has no format", kKindOrd10, std::vector<uint8_t>(10, 0), 16, "error 192"},
      {"offset type has no format", kKindOffset, {0}, 10, "error 192"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(Show(test.kind, test.bytes, test.base), test.text);
  }
  // A kind 0 item ends no line; after a refused value nothing half-written is left
  // for the next value.
  EXPECT_EQ(Show(kKindNone, {}, 10), "");
  EXPECT_EQ(Show(kKindOrd1, {1}, 10), "1");
}

TEST_F(ValueOutputTest, AddressesAndLocationsAsText) {
  uint8_t image[TypedLocation::kImageSize];
  LocationAt(0x4000, kKindInt4, 4).WriteImage(image);
  EXPECT_EQ(Show(kKindTypedLocation, std::vector<uint8_t>(image, image + sizeof image), 10), "0x00004000");
  TypedLocation().WriteImage(image);
  EXPECT_EQ(Show(kKindTypedLocation, std::vector<uint8_t>(image, image + sizeof image), 10), "<null>");
  EXPECT_EQ(Show(kKindFirstTarget, Word(0x1234, 4), 10), "0x00001234");
}

TEST_F(ValueOutputTest, WidthsAndRowCountsOfTheFormatTable) {
  EXPECT_EQ(GetValueDisplayWidth(kKindOrd2, nullptr, 10), 5);
  EXPECT_EQ(GetValueDisplayWidth(kKindInt8, nullptr, 2), 64);
  EXPECT_EQ(GetValueDisplayWidth(kKindReal10, nullptr, 16), 27);
  EXPECT_EQ(GetValueDisplayWidth(kKindFirstTarget, nullptr, 10), 10);
  EXPECT_EQ(GetValueDisplayWidth(kKindMarker, nullptr, 10), -1);
  EXPECT_EQ(GetValuesPerLine(kKindOrd1, 16), 16u);
  EXPECT_EQ(GetValuesPerLine(kKindChar, 10), 48u);
  EXPECT_EQ(GetValuesPerLine(kKindMarker, 10), 0u);
  for (const uint32_t kind : {static_cast<uint32_t>(kKindTypedLocation), static_cast<uint32_t>(kKindOrdinal),
                              static_cast<uint32_t>(kKindFirstTarget)}) {
    SCOPED_TRACE(kind);
    EXPECT_THROW(GetValuesPerLine(kind, 16), DVError);
  }
  // The nesting limit: 8 at the start, a pushed limit until it is popped.
  PushNestingLimit(0);
  EXPECT_EQ(PopNestingLimit(), 8u);
  EXPECT_EQ(PopNestingLimit(), 8u);
}

TEST_F(ValueOutputTest, MemoryRowsOverTheByteImage) {
  std::vector<uint8_t> bytes(0x1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>('A' + i % 26);
  bytes[3] = 0x01;
  m_memory.Map(0x1000, bytes);
  const std::string row =
      "0x00001000  41 42 43 01 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 \"ABC.EFGHIJKLMNOP\"\r\n";
  EXPECT_EQ(ShowMemory(LocationAt(0x1000, kKindOrd1, 1, 16), 16), row);
  // The characters of a short last row stand where those of a full row stand.
  EXPECT_EQ(ShowMemory(LocationAt(0x1000, kKindOrd1, 1, 18), 16),
            row + "0x00001010  51 52 " + std::string(42, ' ') + "\"QR\"\r\n");
  EXPECT_EQ(ShowMemory(LocationAt(0x1004, kKindChar, 1, 5), 10), "0x00001004  \"EFGHI\"\r\n");
  EXPECT_EQ(ShowMemory(LocationAt(0x1004, kKindChar, 1, 0), 10), "");
  EXPECT_EQ(ShowMemory(LocationAt(0x1000, kKindOrd2, 2, 0), 16), "0x00001000  4241 \r\n");

  // 600 elements of 4 bytes are read in pieces of 1024 bytes.
  m_memory.m_reads = 0;
  const std::string many = ShowMemory(LocationAt(0x1000, kKindOrd4, 4, 600), 16);
  EXPECT_EQ(m_memory.m_reads, 3u);
  EXPECT_EQ(std::count(many.begin(), many.end(), '\n'), 150);

  // Strings are read one after another, each from the end of the one before.
  m_memory.Map(0x3000, {'h', 'i', 0, 'y', 'o', 9, 0});
  EXPECT_EQ(ShowMemory(LocationAt(0x3000, kKindNString, 1, 2), 10),
            "0x00003000  \"hi\"\r\n0x00003003  \"yo.\"\r\n");
}

// A read that ends early shows the elements it read completely, then the failure.
TEST_F(ValueOutputTest, ShortReadShowsWholeElementsThenTheFailure) {
  class ShortMemory final : public TargetMemoryService {
   public:
    OrdinalValue ReadValue(void* destination, uint32_t, const AddressRange&, uint32_t) override {
      std::memset(destination, 0x11, 6);
      return OrdinalValue(6u);
    }
    AddressDescriptor ResolveIndirection(const TypedLocation&, const DVPTypeInfo&, uint32_t) override {
      return AddressDescriptor();
    }
    void PushRegisterValue(uint32_t) override {}
  } shortMemory;
  TargetMemory::InstallService(&shortMemory);
  EXPECT_EQ(ShowMemory(LocationAt(0x2000, kKindOrd4, 4, 4), 16), "0x00002000  11111111 \r\nerror 2007");
  TargetMemory::InstallService(&m_memory);
}

}  // namespace
}  // namespace zentor
