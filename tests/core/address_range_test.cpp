#include "core/address_range.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/value_bytes.h"
#include "core/value_stack.h"
#include "core/value_test_support.h"

namespace zentor {
namespace {

using testing_support::ErrorNumberOf;
using testing_support::LocationAt;
using testing_support::MemoryAt;
using testing_support::RegisterAt;
using testing_support::ValueTestEnvironment;

class AddressRangeTest : public ValueTestEnvironment {};

TEST_F(AddressRangeTest, FromEndsCountsElements) {
  struct Case {
    const char* name;
    uint32_t start;
    uint32_t elementSize;
    uint32_t end;
    uint32_t length;  // 0 with error
    uint32_t error;
  };
  const Case cases[] = {
      {"bytes", 0x1000, 1, 0x100F, 16, 0},
      {"four-byte elements", 0x1000, 4, 0x100F, 4, 0},
      {"one byte", 0x1000, 1, 0x1000, 1, 0},
      {"element size 0 counts as 1", 0x1000, 0, 0x100F, 16, 0},
      {"end below start", 0x1000, 1, 0xFFF, 0, kFirstAddressGreater},
      {"whole space", 0, 1, 0xFFFFFFFFu, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AddressRange range;
    const uint32_t error = ErrorNumberOf(
        [&] { range = AddressRange::FromEnds(LocationAt(c.start, kKindOrd1, c.elementSize), MemoryAt(c.end)); });
    EXPECT_EQ(error, c.error);
    if (c.error == 0 && c.length != 0) {
      EXPECT_EQ(range.Length(), c.length);
    }
  }
  const AddressRange whole = AddressRange::FromEnds(LocationAt(0, kKindOrd1, 1), MemoryAt(0xFFFFFFFFu));
  EXPECT_EQ(whole.Length(), UnsignedInt64::FromWords(0, 1)) << "2^32 bytes";
  EXPECT_EQ(ErrorNumberOf([] { AddressRange::FromEnds(LocationAt(0x10, kKindOrd1, 1), RegisterAt(3)); }), 1u);
  EXPECT_EQ(ErrorNumberOf([] { AddressRange::FromEnds(TypedLocation(RegisterAt(3)), MemoryAt(0x10)); }), 1u);
  const AddressRange startOnly = AddressRange::FromEnds(LocationAt(0x10, kKindOrd1, 1), AddressDescriptor());
  EXPECT_FALSE(startOnly.IsNull());
  EXPECT_FALSE(startOnly.HasLength());
  EXPECT_TRUE(AddressRange::FromEnds(TypedLocation(), MemoryAt(0x10)).IsNull());
}

TEST_F(AddressRangeTest, FromLengthPlacesTheEndAndContainsAnswers) {
  const AddressRange range = AddressRange::FromLength(LocationAt(0x1000, kKindOrd1, 1), OrdinalValue(16u));
  EXPECT_EQ(range.End().Offset(), 0x100Fu);
  EXPECT_EQ(range.Length(), 16u);
  struct Case {
    const char* name;
    AddressDescriptor address;
    uint32_t expected;
  };
  const Case cases[] = {
      {"start", MemoryAt(0x1000), kAtRangeStart}, {"end", MemoryAt(0x100F), kInsideRange},
      {"after", MemoryAt(0x1010), kOutsideRange}, {"before", MemoryAt(0xFFF), kOutsideRange},
      {"register", RegisterAt(0x1000), kOutsideRange}, {"null", AddressDescriptor(), kOutsideRange},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(range.Contains(c.address), c.expected);
    EXPECT_EQ(c.address.IsInRange(range), c.expected);
  }
  const AddressRange zero = AddressRange::FromLength(LocationAt(0x1000, kKindOrd1, 1), OrdinalValue(0u));
  EXPECT_EQ(zero.End().Offset(), 0x1000u);
  EXPECT_FALSE(zero.HasLength());
  const AddressRange reg = AddressRange::FromLength(TypedLocation(RegisterAt(16)), OrdinalValue(4u));
  EXPECT_EQ(reg.Length(), 4u);
  EXPECT_TRUE(reg.End().IsNull());
  EXPECT_EQ(reg.Contains(RegisterAt(16)), kAtRangeStart);
  EXPECT_EQ(reg.Contains(RegisterAt(17)), kOutsideRange);
  EXPECT_EQ(AddressRange().Contains(MemoryAt(0)), kOutsideRange);
}

TEST_F(AddressRangeTest, TargetRecordAndImage) {
  const AddressRange range = AddressRange::FromLength(LocationAt(0x12345678, kKindInt4, 4), OrdinalValue(3u));
  uint8_t record[AddressRange::kTargetRecordSize];
  std::memset(record, 0xEE, sizeof record);
  range.TargetRangeRecord(record);
  using namespace value_bytes;
  EXPECT_EQ(LoadU16(record + 2), 0) << "null mark";
  EXPECT_EQ(LoadU32(record + 4), kAddressClassMemory);
  EXPECT_EQ(LoadU16(record + 8), kAddressKindMemoryOffset);
  EXPECT_EQ(LoadU32(record + 16), 0x12345678u);
  EXPECT_EQ(LoadU32(record + 20), 12u) << "target type id of int4";
  EXPECT_EQ(LoadU64(record + 24), 4u);
  EXPECT_EQ(LoadU64(record + 32), 3u);
  EXPECT_EQ(LoadU32(record + 40), 0u);

  uint8_t image[AddressRange::kImageSize];
  range.WriteImage(image);
  const AddressRange back = AddressRange::ReadImage(image);
  EXPECT_EQ(back.Start().AddressRef().Offset(), 0x12345678u);
  EXPECT_EQ(back.Start().Type().Code(), kKindInt4);
  EXPECT_EQ(back.End().Offset(), range.End().Offset());
  EXPECT_EQ(back.Length(), 3u);
}

// The grammar leaves: start location, then form word 1 and an end (location or
// number), or form word 2 and a length, or a marker and a length.
TEST_F(AddressRangeTest, BuiltFromTheValueStack) {
  auto pushOrd2 = [](uint16_t value) {
    uint8_t bytes[2];
    value_bytes::StoreU16(bytes, value);
    ValueStack::Push(kKindOrd2, bytes);
  };
  auto pushOrd4 = [](uint32_t value) {
    uint8_t bytes[4];
    value_bytes::StoreU32(bytes, value);
    ValueStack::Push(kKindOrd4, bytes);
  };
  struct Case {
    const char* name;
    void (*push)(void (*)(uint16_t), void (*)(uint32_t));
    uint32_t error;
    uint32_t endOffset;
    uint32_t length;
  };
  const Case cases[] = {
      {"end location",
       [](auto ord2, auto) {
         ValueStack::PushLocation(LocationAt(0x100, kKindOrd1, 1));
         ord2(1);
         ValueStack::PushLocation(LocationAt(0x10F, kKindOrd1, 1));
       },
       0, 0x10F, 16},
      {"end number",
       [](auto ord2, auto ord4) {
         ValueStack::PushLocation(LocationAt(0x100, kKindOrd1, 1));
         ord2(1);
         ord4(0x107);
       },
       0, 0x107, 8},
      {"length after a form word",
       [](auto ord2, auto ord4) {
         ValueStack::PushLocation(LocationAt(0x100, kKindOrd1, 1));
         ord2(2);
         ord4(4);
       },
       0, 0x103, 4},
      {"length after a marker",
       [](auto, auto ord4) {
         ValueStack::PushLocation(LocationAt(0x100, kKindOrd1, 1));
         PushMarker();
         ord4(2);
       },
       0, 0x101, 2},
      {"zero length",
       [](auto, auto ord4) {
         ValueStack::PushLocation(LocationAt(0x100, kKindOrd1, 1));
         PushMarker();
         ord4(0);
       },
       kZeroLength, 0, 0},
      {"inactive symbol",
       [](auto, auto) {
         ValueStack::PushLocation(LocationAt(0x100, kKindOrd1, 1));
         ValueStack::PushSized(kKindInactiveSymbol, 0, nullptr);
       },
       kSymbolNotActive, 0, 0},
      {"end below the start",
       [](auto ord2, auto ord4) {
         ValueStack::PushLocation(LocationAt(0x100, kKindOrd1, 1));
         ord2(1);
         ord4(0xFF);
       },
       kFirstAddressGreater, 0, 0},
      {"bad form word", [](auto ord2, auto ord4) {
         ValueStack::PushLocation(LocationAt(0x100, kKindOrd1, 1));
         ord2(3);
         ord4(1);
       },
       1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ValueStack::Reset();
    c.push(+pushOrd2, +pushOrd4);
    AddressRange range;
    EXPECT_EQ(ErrorNumberOf([&] { range.SetFromValueStack(1, AddressDescriptor::Null()); }), c.error);
    if (c.error == 0) {
      EXPECT_EQ(range.Start().AddressRef().Offset(), 0x100u);
      EXPECT_EQ(range.End().Offset(), c.endOffset);
      EXPECT_EQ(range.Length(), c.length);
      EXPECT_EQ(ValueStack::TopKind(), kKindEmpty) << "every item was taken";
    }
  }
}

}  // namespace
}  // namespace zentor
