#include "core/address_descriptor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/value_test_support.h"
#include "target/tmi_address.h"

namespace zentor {
namespace {

using testing_support::ErrorNumberOf;
using testing_support::MemoryAt;
using testing_support::RegisterAt;
using testing_support::ValueTestEnvironment;

class AddressDescriptorTest : public ValueTestEnvironment {};

TEST_F(AddressDescriptorTest, CompareOrdersNullFirstAndRefusesDifferentKinds) {
  struct Case {
    const char* name;
    AddressDescriptor a;
    AddressDescriptor b;
    uint32_t compare;
    uint32_t incomparable;  // 2: internal error
  };
  const Case cases[] = {
      {"both null", AddressDescriptor(), AddressDescriptor(), kAddressEqual, 2},
      {"null first", AddressDescriptor(), MemoryAt(0), kAddressLess, 1},
      {"null second", MemoryAt(0), AddressDescriptor(), kAddressGreater, 1},
      {"equal", MemoryAt(0x40), MemoryAt(0x40), kAddressEqual, 0},
      {"less", MemoryAt(0x3F), MemoryAt(0x40), kAddressLess, 0},
      {"greater, unsigned", MemoryAt(0xFFFFFFF0u), MemoryAt(0x40), kAddressGreater, 0},
      {"memory and register", MemoryAt(16), RegisterAt(16), kAddressNotComparable, 1},
      {"two registers", RegisterAt(16), RegisterAt(17), kAddressLess, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.a.Compare(c.b), c.compare);
    EXPECT_EQ(c.a.CompareWith(c.b), c.compare);
    if (c.incomparable == 2) {
      EXPECT_EQ(ErrorNumberOf([&] { (void)c.a.IsIncomparable(c.b); }), 1u);
    } else {
      EXPECT_EQ(c.a.IsIncomparable(c.b), c.incomparable);
    }
  }
}

TEST_F(AddressDescriptorTest, TextAndQueries) {
  EXPECT_EQ(std::string(AddressDescriptor().Text().data()), "<null>");
  EXPECT_EQ(std::string(MemoryAt(4096).Text().data()), "0x00001000");
  EXPECT_EQ(std::string(RegisterAt(19).GetText().data()), "ebx");
  EXPECT_TRUE(MemoryAt(0).IsZero());
  EXPECT_FALSE(MemoryAt(1).IsZero());
  EXPECT_FALSE(AddressDescriptor().IsZero());
  EXPECT_TRUE(RegisterAt(3).IsRegister());
  EXPECT_FALSE(MemoryAt(3).IsRegister());
  EXPECT_EQ(RegisterAt(3).Offset(), 3u);
  EXPECT_EQ(MemoryAt(0x1234).CheckClass(kAddressClassMemory), 1u);
  EXPECT_EQ(ErrorNumberOf([] { (void)MemoryAt(1).CheckSameClass(RegisterAt(1)); }), kInvalidAddressOperation);
  EXPECT_EQ(MemoryAt(0x50).SpaceStart().Offset(), 0u);
  EXPECT_EQ(MemoryAt(0x50).SpaceEnd().Offset(), 0xFFFFFFFFu);
  EXPECT_EQ(MemoryAt(0x50).SpaceKind(), 1u);
}

// With no program loaded no address has a symbol: the symbolic text falls back to
// the plain text, and no line has other addresses.
TEST_F(AddressDescriptorTest, SymbolicTextAndLineAddressesWithoutSymbols) {
  EXPECT_EQ(std::string(AddressDescriptor().SymbolicText().data()), "<null>");
  EXPECT_EQ(std::string(MemoryAt(4096).SymbolicText().data()), "0x00001000");
  EXPECT_EQ(std::string(RegisterAt(19).SymbolicText().data()), "ebx");
  AddressDescriptor withLine = MemoryAt(4096);
  EXPECT_TRUE(withLine.SameLineAddresses().empty());
  withLine.SetLine(OptionalLine::Valid(12));
  EXPECT_TRUE(withLine.SameLineAddresses().empty());
}

TEST_F(AddressDescriptorTest, ConstructionThroughTheTarget) {
  const AddressDescriptor fromOffset(OrdinalValue(0x2000u), 1, AddressDescriptor::Null());
  EXPECT_EQ(fromOffset.Offset(), 0x2000u);
  EXPECT_FALSE(fromOffset.IsNull());
  EXPECT_EQ(ErrorNumberOf([] { AddressDescriptor(OrdinalValue(1u), 4, AddressDescriptor::Null()); }), 1u)
      << "kind 4 needs a base";
  EXPECT_EQ(AddressDescriptor(OrdinalValue(1u), 4, MemoryAt(0x10)).Offset(), 1u);
  AddressSpecification twoParts;
  twoParts.m_form = 2;
  EXPECT_EQ(ErrorNumberOf([&] { AddressDescriptor a(twoParts); }), kInvalidAddressOperation);
  AddressDescriptor set;
  set.SetFromOffset(OrdinalValue(UnsignedInt64::FromWords(0x10, 7)), 1, AddressDescriptor::Null());
  EXPECT_EQ(set.Offset(), 0x10u) << "the target keeps the low 32 bits";
  EXPECT_EQ(ErrorNumberOf([] { (void)AddressDescriptor::FromTypedOffset(DVPTypeInfo::FromCode(41), nullptr); }),
            1u);
}

TEST_F(AddressDescriptorTest, ArithmeticKeepsTheLineAndAssignmentFromARecordClearsIt) {
  AddressDescriptor address = MemoryAt(0x100);
  address.SetLine(OptionalLine::Valid(42));
  address += OrdinalValue(0x10u);
  EXPECT_EQ(address.Offset(), 0x110u);
  EXPECT_EQ(address.Line().Get(), 42);
  AddressDescriptor before = address++;
  EXPECT_EQ(before.Offset(), 0x110u);
  EXPECT_EQ(address.Offset(), 0x111u);
  EXPECT_EQ((--address).Offset(), 0x110u);
  EXPECT_EQ((address - OrdinalValue(0x111u)).Offset(), 0xFFFFFFFFu) << "wraps at 32 bits";
  const AddressDescriptor copy = address;
  EXPECT_EQ(copy.Line().Get(), 42);
  address = MemoryAt(0x500).Record();
  EXPECT_EQ(address.Line().Get(), -1);
  EXPECT_EQ(address.Offset(), 0x500u);
  AddressDescriptor null;
  EXPECT_EQ(ErrorNumberOf([&] { null += OrdinalValue(1u); }), 1u);
  EXPECT_EQ(ErrorNumberOf([&] { ++null; }), 1u);
  EXPECT_EQ(ErrorNumberOf([&] { (void)RegisterAt(1).operator+(OrdinalValue(1u)); }), 1u);
}

TEST_F(AddressDescriptorTest, DistanceNeedsTheGreaterAddressFirst) {
  EXPECT_EQ(MemoryAt(0x10) - MemoryAt(0x10), 0u);
  EXPECT_EQ(MemoryAt(0x30) - MemoryAt(0x10), 0x20u);
  EXPECT_EQ(ErrorNumberOf([] { (void)(MemoryAt(0x10) - MemoryAt(0x30)); }), kInvalidPointerOperation);
  EXPECT_EQ(ErrorNumberOf([] { (void)(MemoryAt(0x10) - RegisterAt(0)); }), kInvalidPointerOperation);
  EXPECT_EQ(ErrorNumberOf([] { (void)(MemoryAt(0x10) - AddressDescriptor()); }), 1u);
}

TEST_F(AddressDescriptorTest, RangeAndLengthTests) {
  const AddressDescriptor start = MemoryAt(0x1000);
  struct Case {
    const char* name;
    AddressDescriptor address;
    uint32_t withinLength4;
  };
  const Case cases[] = {
      {"the start", MemoryAt(0x1000), kAtRangeStart},
      {"the last byte", MemoryAt(0x1003), kInsideRange},
      {"one past the end", MemoryAt(0x1004), kOutsideRange},
      {"one before the start", MemoryAt(0xFFF), kOutsideRange},
      {"a register", RegisterAt(0x1000), kOutsideRange},
      {"null", AddressDescriptor(), kOutsideRange},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.address.IsWithinLength(start, OrdinalValue(4u)), c.withinLength4);
    EXPECT_EQ(c.address.IsWithinRange(start, MemoryAt(0x1003)), c.withinLength4);
  }
  EXPECT_EQ(MemoryAt(0x1000).IsWithinRange(AddressDescriptor(), MemoryAt(0x2000)), kOutsideRange);
  EXPECT_EQ(MemoryAt(0x1000).IsWithinRange(start, AddressDescriptor()), kAtRangeStart);
  EXPECT_EQ(MemoryAt(0x1001).IsWithinRange(start, AddressDescriptor()), kOutsideRange);
  // A register start is one place.
  EXPECT_EQ(RegisterAt(16).IsWithinLength(RegisterAt(16), OrdinalValue(4u)), kAtRangeStart);
  EXPECT_EQ(RegisterAt(17).IsWithinLength(RegisterAt(16), OrdinalValue(4u)), kOutsideRange);
}

// Differential: compare and distance against native unsigned arithmetic.
TEST_F(AddressDescriptorTest, CompareAndDistanceMatchNativeArithmetic) {
  const uint32_t seed = 7771;
  std::mt19937 random(seed);
  for (int i = 0; i < 1000; ++i) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " case " + std::to_string(i));
    uint32_t a = random();
    const uint32_t b = (i % 4 == 0) ? a : static_cast<uint32_t>(random());
    const uint32_t expected = a == b ? kAddressEqual : (a < b ? kAddressLess : kAddressGreater);
    EXPECT_EQ(MemoryAt(a).Compare(MemoryAt(b)), expected);
    if (a >= b) {
      EXPECT_EQ((MemoryAt(a) - MemoryAt(b)).Low(), a - b);
    }
  }
}

TEST(OptionalLineTest, AbsentLinesStayAbsent) {
  OptionalLine line;
  EXPECT_EQ(line.Get(), -1);
  line.SetLine(10);
  EXPECT_EQ(line.Get(), -1) << "setting a number keeps the line absent";
  OptionalLine present = OptionalLine::Valid(7);
  EXPECT_EQ(present.Get(), 7);
  present.SetLine(12);
  EXPECT_EQ(present.Get(), 12);
  present.SetLine(-1);
  EXPECT_TRUE(present.IsEmpty());
  EXPECT_EQ(OptionalLine(5, OptionalLine::Valid(1)).Get(), 5);
  EXPECT_EQ(OptionalLine(5, OptionalLine()).Get(), -1);
  EXPECT_TRUE(OptionalLine(5, OptionalLine()) == OptionalLine(9, OptionalLine()));
  EXPECT_FALSE(OptionalLine::Valid(5) == OptionalLine::Valid(6));
}

}  // namespace
}  // namespace zentor
