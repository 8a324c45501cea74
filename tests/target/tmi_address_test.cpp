#include "target/tmi_address.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "target/register_tables.h"
#include "core/dv_error.h"

namespace zentor {
namespace {

TargetAddressRecord Memory(uint32_t offset) {
  TargetStatus status;
  TargetAddressRecord record;
  TmiCreatePointerAddress(&status, 0, &record, kAddressClassMemory, &offset);
  return record;
}

TargetAddressRecord Register(uint32_t number) {
  TargetAddressRecord record;
  record.m_addressClass = kAddressClassRegister;
  record.m_addressKind = kAddressKindRegisterNumber;
  record.m_offset = number;
  return record;
}

// The internal-consistency error a body raises (message 1), else 0.
template <typename Body>
uint32_t ErrorNumberOf(Body&& body) {
  try {
    body();
  } catch (const DVError& error) {
    return error.Number();
  }
  return 0;
}

TEST(TmiAddressTest, CreateAddressTakesOnlyTheOneComponentForm) {
  struct Case {
    const char* name;
    uint32_t addressKind;
    uint32_t form;
    uint64_t component;
    uint32_t number;
    uint32_t severity;
    uint32_t offset;
  };
  const Case cases[] = {
      {"memory kind", 1, 1, 0x1234, 0, 0, 0x1234},
      {"any kind is a memory address", 4, 1, 0x10, 0, 0, 0x10},
      {"register kind too", 0, 1, 7, 0, 0, 7},
      {"low 32 bits of the component", 1, 1, 0x1'0000'00FFull, 0, 0, 0xFF},
      {"two components", 1, 2, 5, kInvalidAddressOperation, kSeverityInternal, 0},
      {"three components", 1, 3, 5, kInvalidAddressOperation, kSeverityInternal, 0},
      {"no components", 1, 0, 5, kInvalidAddressOperation, kSeverityInternal, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AddressSpecification specification;
    specification.m_addressKind = c.addressKind;
    specification.m_form = c.form;
    specification.m_components[0] = c.component;
    TargetStatus status;
    TargetAddressRecord record;
    record.m_nullMark = 1;
    record.m_offset = 0xDEAD;
    EXPECT_EQ(TmiCreateAddress(&status, 0, &record, &specification), c.number);
    EXPECT_EQ(status.m_number, c.number);
    EXPECT_EQ(status.m_severity, c.severity);
    if (c.number == 0) {
      EXPECT_EQ(record.m_nullMark, 0);
      EXPECT_EQ(record.m_addressClass, kAddressClassMemory);
      EXPECT_EQ(record.m_addressKind, kAddressKindMemoryOffset);
      EXPECT_EQ(record.m_offset, c.offset);
    } else {
      EXPECT_EQ(record.m_nullMark, 1) << "a refused specification leaves the record alone";
      EXPECT_EQ(record.m_offset, 0xDEADu);
    }
  }
}

TEST(TmiAddressTest, PointerAddressNeedsThePointerType) {
  TargetStatus status;
  TargetAddressRecord record;
  EXPECT_EQ(TmiCreatePointerAddress(&status, 0, &record, kAddressClassMemory, nullptr), 0u);
  EXPECT_EQ(record.m_offset, 0u);
  EXPECT_EQ(record.m_nullMark, 0);
  EXPECT_EQ(ErrorNumberOf([&] { TmiCreatePointerAddress(&status, 0, &record, 27, nullptr); }), 1u);
  EXPECT_EQ(ErrorNumberOf([&] { TmiCreatePointerAddress(&status, 0, &record, 19, nullptr); }), 1u);
}

TEST(TmiAddressTest, OffsetArithmeticWrapsAt32BitsAndMatchesNativeArithmetic) {
  const uint32_t seed = 20240611;
  std::mt19937 random(seed);
  for (int i = 0; i < 2000; ++i) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " case " + std::to_string(i));
    const uint32_t start = random();
    const uint32_t low = random();
    const uint32_t high = random();
    TargetStatus status;
    TargetAddressRecord moved;
    const TargetAddressRecord source = Memory(start);
    TmiAddOffset(&status, 0, &moved, &source, low, high);
    EXPECT_EQ(moved.m_offset, static_cast<uint32_t>(start + low));
    TmiSubtractOffset(&status, 0, &moved, &source, low, high);
    EXPECT_EQ(moved.m_offset, static_cast<uint32_t>(start - low));
    uint64_t difference = ~uint64_t{0};
    const TargetAddressRecord other = Memory(low);
    TmiAddressDifference(&status, 0, &difference, &source, &other);
    EXPECT_EQ(difference, static_cast<uint64_t>(static_cast<uint32_t>(start - low)));
  }
  // The address moved in place keeps everything but its offset.
  TargetAddressRecord record = Memory(0x10);
  record.m_unused = 0x55;
  TargetStatus status;
  TmiAddOffset(&status, 0, &record, &record, 0x20, 0);
  EXPECT_EQ(record.m_offset, 0x30u);
  EXPECT_EQ(record.m_unused, 0x55);
  uint64_t difference = 0;
  const TargetAddressRecord small = Memory(0x10);
  const TargetAddressRecord large = Memory(0x20);
  TmiAddressDifference(&status, 0, &difference, &small, &large);
  EXPECT_EQ(difference, 0xFFFFFFF0u);
}

TEST(TmiAddressTest, ArithmeticOnRegisterAddressesIsAnInternalError) {
  const TargetAddressRecord reg = Register(16);
  const TargetAddressRecord mem = Memory(4);
  TargetStatus status;
  TargetAddressRecord out;
  uint64_t difference = 0;
  uint32_t offset = 0;
  EXPECT_EQ(ErrorNumberOf([&] { TmiAddOffset(&status, 0, &out, &reg, 1, 0); }), 1u);
  EXPECT_EQ(ErrorNumberOf([&] { TmiSubtractOffset(&status, 0, &out, &reg, 1, 0); }), 1u);
  EXPECT_EQ(ErrorNumberOf([&] { TmiAddressDifference(&status, 0, &difference, &reg, &mem); }), 1u);
  // The second operand's class is not looked at.
  EXPECT_EQ(ErrorNumberOf([&] { TmiAddressDifference(&status, 0, &difference, &mem, &reg); }), 0u);
  TargetAddressRecord odd = Memory(4);
  odd.m_addressClass = 19;
  EXPECT_EQ(ErrorNumberOf([&] { TmiAddressOffset(&status, 0, &odd, &offset); }), 1u);
  EXPECT_EQ(ErrorNumberOf([&] { TmiAddressOffset(&status, 0, &reg, &offset); }), 0u);
  EXPECT_EQ(offset, 16u);
}

TEST(TmiAddressTest, CompareAnswersRelationsAndNotComparable) {
  struct Case {
    const char* name;
    TargetAddressRecord a;
    TargetAddressRecord b;
    uint32_t relation;
    uint32_t notComparable;
  };
  const Case cases[] = {
      {"equal", Memory(0x100), Memory(0x100), kAddressRelationEqual, 0},
      {"less", Memory(0xFF), Memory(0x100), kAddressRelationLess, 0},
      {"greater", Memory(0x101), Memory(0x100), kAddressRelationGreater, 0},
      {"unsigned offsets", Memory(0x80000000u), Memory(1), kAddressRelationGreater, 0},
      {"registers by number", Register(3), Register(16), kAddressRelationLess, 0},
      {"register and memory", Register(16), Memory(16), 0, 1},
      {"memory and register", Memory(0), Register(0), 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TargetStatus status;
    uint32_t relation = 99;
    uint32_t notComparable = 99;
    EXPECT_EQ(TmiCompareAddresses(&status, 0, &c.a, &c.b, &relation, &notComparable), 0u);
    EXPECT_EQ(relation, c.relation);
    EXPECT_EQ(notComparable, c.notComparable);
  }
}

TEST(TmiAddressTest, TextShowsEightHexDigitsOrTheRegisterName) {
  struct Case {
    const char* name;
    TargetAddressRecord record;
    const char* text;
  };
  const Case cases[] = {
      {"small offset", Memory(0x1234), "0x00001234"},
      {"zero", Memory(0), "0x00000000"},
      {"largest", Memory(0xFFFFFFFFu), "0xffffffff"},
      {"eax", Register(16), "eax"},
      {"al", Register(0), "al"},
      {"gs", Register(29), "gs"},
      {"sp", Register(12), "sp"},
      {"no place in the encoding: the first such row", Register(255), "eip"},
      {"unknown register", Register(30), "<Unknown>"},
      {"huge register number", Register(0xFFFFFFFFu), "<Unknown>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TargetStatus status;
    const char* text = nullptr;
    EXPECT_EQ(TmiAddressToText(&status, 0, &text, &c.record), 0u);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, c.text);
  }
  // Memory offsets across the range read as "0x%08x" writes them.
  uint32_t offset = 0x9E3779B9u;
  for (int i = 0; i < 1000; ++i, offset = offset * 1664525u + 1013904223u) {
    const TargetAddressRecord record = Memory(offset);
    TargetStatus status;
    const char* text = nullptr;
    ASSERT_EQ(TmiAddressToText(&status, 0, &text, &record), 0u);
    char expected[16];
    std::snprintf(expected, sizeof expected, "0x%08x", offset);
    ASSERT_STREQ(text, expected) << "seed 0x9E3779B9, step " << i;
  }
  // Every x86 number that names a register round-trips through the row lookup.
  for (uint32_t number = 0; number < 30; ++number) {
    SCOPED_TRACE(number);
    const int32_t row = FindRegisterRowByNumber(number);
    ASSERT_GE(row, 0);
    EXPECT_STREQ(RegisterNameByNumber(number), GeneralRegisterName(static_cast<uint32_t>(row)));
  }
}

TEST(TmiAddressTest, ClassChecksAndAddressTests) {
  TargetStatus status;
  uint32_t flag = 99;
  const TargetAddressRecord mem = Memory(0);
  const TargetAddressRecord reg = Register(0);
  EXPECT_EQ(TmiCheckAddressClass(&status, 0, &mem, kAddressClassMemory, &flag), 0u);
  EXPECT_EQ(flag, 1u);
  EXPECT_EQ(TmiCheckAddressClass(&status, 0, &mem, kAddressClassRegister, &flag), kInvalidAddressOperation);
  EXPECT_EQ(status.m_severity, static_cast<uint32_t>(kSeverityInternal));
  EXPECT_EQ(flag, 0u);

  struct Case {
    const char* name;
    TargetAddressRecord record;
    uint16_t nullMark;
    uint32_t zero;
    uint32_t isRegister;
  };
  const Case cases[] = {
      {"memory zero", Memory(0), 0, 1, 0},
      {"memory nonzero", Memory(4), 0, 0, 0},
      {"null at zero", Memory(0), 1, 0, 0},
      {"register zero", Register(0), 0, 1, 1},
      {"null register", Register(5), 1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TargetAddressRecord record = c.record;
    record.m_nullMark = c.nullMark;
    TmiIsZeroAddress(&status, 0, &record, &flag);
    EXPECT_EQ(flag, c.zero);
    TmiIsRegisterAddress(&status, 0, &record, &flag);
    EXPECT_EQ(flag, c.isRegister);
  }
}

TEST(TmiAddressTest, AddressSpaceRunsFromZeroToTheTopOffset) {
  TargetStatus status;
  TargetAddressSpace space;
  TargetAddressRecord record = Memory(0x4000);
  record.m_unused = 3;
  EXPECT_EQ(TmiAddressSpace(&status, 0, &record, &space), 0u);
  EXPECT_EQ(space.m_spaceKind, 1u);
  EXPECT_EQ(space.m_lowest.m_offset, 0u);
  EXPECT_EQ(space.m_highest.m_offset, 0xFFFFFFFFu);
  EXPECT_EQ(space.m_highest.m_unused, 3);
  EXPECT_EQ(space.m_lowest.m_addressClass, kAddressClassMemory);
}

}  // namespace
}  // namespace zentor
