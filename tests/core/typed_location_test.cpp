#include "core/typed_location.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/value_test_support.h"

namespace zentor {
namespace {

using testing_support::ErrorNumberOf;
using testing_support::LocationAt;
using testing_support::MemoryAt;
using testing_support::RegisterAt;
using testing_support::ValueTestEnvironment;

class TypedLocationTest : public ValueTestEnvironment {};

TEST_F(TypedLocationTest, MovesByWholeElementsUnlessTheTypeIsTheOffsetType) {
  struct Case {
    const char* name;
    uint16_t kind;
    uint32_t elementSize;
    uint32_t plus3;
    uint32_t minus2;
  };
  const Case cases[] = {
      {"int4 elements", kKindInt4, 4, 0x100C, 0xFF8},
      {"offset type", kKindOffset, 4, 0x1003, 0xFFE},
      {"element size 0", kKindInt4, 0, 0x1003, 0xFFE},
      {"large elements", kKindOrd1, 0x100, 0x1300, 0xE00},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TypedLocation start = LocationAt(0x1000, c.kind, c.elementSize);
    EXPECT_EQ((start + OrdinalValue(3u)).AddressRef().Offset(), c.plus3);
    EXPECT_EQ((start - OrdinalValue(2u)).AddressRef().Offset(), c.minus2);
    TypedLocation stepped = start;
    ++stepped;
    EXPECT_EQ(stepped - start, 1u);
    EXPECT_EQ((start + OrdinalValue(3u)).Type().Code(), c.kind) << "type and sizes stay";
  }
}

TEST_F(TypedLocationTest, DistancesAndTheirRefusals) {
  const TypedLocation base = LocationAt(0x1000, kKindInt4, 4);
  EXPECT_EQ(LocationAt(0x100C, kKindInt4, 4) - base, 3u);
  EXPECT_EQ(LocationAt(0x100A, kKindInt4, 4) - base, 2u) << "the remainder is dropped";
  EXPECT_EQ(LocationAt(0x100A, kKindOffset, 4) - LocationAt(0x1000, kKindOffset, 4), 10u);
  EXPECT_EQ(ErrorNumberOf([&] { (void)(base - LocationAt(0x100C, kKindInt4, 4)); }), kInvalidPointerOperation);
  EXPECT_EQ(ErrorNumberOf([&] { (void)(base - LocationAt(0x1000, kKindInt2, 2)); }), kInvalidPointerOperation);
  EXPECT_EQ(ErrorNumberOf([&] { (void)(base - TypedLocation()); }), kInvalidPointerOperation);
}

TEST_F(TypedLocationTest, NullLocations) {
  TypedLocation null;
  EXPECT_TRUE(null.IsNull());
  EXPECT_EQ(null.Type().Code(), kKindOrd1);
  EXPECT_EQ(null.ElementSize(), 1u);
  EXPECT_EQ(null.ElementCount(), 1u);
  ++null;
  null--;
  EXPECT_TRUE(null.IsNull()) << "stepping a null location does nothing";
  EXPECT_EQ(ErrorNumberOf([&] { null += OrdinalValue(1u); }), kInvalidPointerOperation);
  const TypedLocation fromAddress(MemoryAt(0x20));
  EXPECT_EQ(fromAddress.Type().Code(), kKindOrd1);
  EXPECT_EQ(fromAddress.ElementCount(), 1u);
  TypedLocation assigned = LocationAt(0x30, kKindReal8, 8, 5);
  assigned = MemoryAt(0x40);
  EXPECT_EQ(assigned.Type().Code(), kKindOrd1);
  EXPECT_EQ(assigned.ElementSize(), 1u);
  EXPECT_TRUE(LocationAt(0, kKindFirstTarget, 4).IsPointer());
  EXPECT_FALSE(LocationAt(0, kKindAddressOffset, 4).IsPointer());
}

TEST_F(TypedLocationTest, RangeTestsByElements) {
  const TypedLocation start = LocationAt(0x1000, kKindInt4, 4);
  struct Case {
    const char* name;
    uint32_t offset;
    uint32_t expected;
  };
  const Case cases[] = {
      {"start", 0x1000, kAtRangeStart}, {"last element", 0x100C, kInsideRange},
      {"last byte", 0x100F, kOutsideRange}, {"after", 0x1010, kOutsideRange}, {"before", 0xFFC, kOutsideRange},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LocationAt(c.offset, kKindInt4, 4).IsWithinLength(start, OrdinalValue(4u)), c.expected);
  }
  const TypedLocation reg(RegisterAt(16));
  EXPECT_EQ(reg.IsWithinLength(reg, OrdinalValue(4u)), kAtRangeStart);
  EXPECT_EQ(LocationAt(0x1000, kKindInt4, 4).IsWithinLength(TypedLocation(), OrdinalValue(4u)), kOutsideRange);
}

TEST_F(TypedLocationTest, ImagesRebuildEveryField) {
  AddressDescriptor address = MemoryAt(0xCAFE0000u);
  address.SetLine(OptionalLine::Valid(321));
  const TypedLocation location(address, DVPTypeInfo::FromCode(kKindReal10), OrdinalValue(10u),
                               OrdinalValue(UnsignedInt64::FromWords(3, 1)));
  uint8_t image[TypedLocation::kImageSize];
  std::memset(image, 0xAA, sizeof image);
  location.WriteImage(image);
  const TypedLocation rebuilt = TypedLocation::ReadImage(image);
  EXPECT_EQ(rebuilt.AddressRef().Compare(address), kAddressEqual);
  EXPECT_EQ(rebuilt.AddressRef().Line().Get(), 321);
  EXPECT_EQ(rebuilt.Type().Code(), kKindReal10);
  EXPECT_EQ(rebuilt.ElementSize(), 10u);
  EXPECT_EQ(rebuilt.ElementCount(), UnsignedInt64::FromWords(3, 1));

  const TypedLocation null;
  null.WriteImage(image);
  EXPECT_TRUE(TypedLocation::ReadImage(image).IsNull());

  const PointerLocation reference(LocationAt(0x10, kKindFirstTarget, 4), DVPTypeInfo::FromCode(kKindInt2),
                                  OrdinalValue(2u));
  uint8_t pointerImage[PointerLocation::kImageSize];
  reference.WriteImage(pointerImage);
  const PointerLocation back = PointerLocation::ReadImage(pointerImage);
  EXPECT_EQ(back.PointeeType().Code(), kKindInt2);
  EXPECT_EQ(back.PointeeSize(), 2u);
  EXPECT_EQ(back.Location().AddressRef().Offset(), 0x10u);
  EXPECT_EQ(TypedLocation::ReadImage(pointerImage).AddressRef().Offset(), 0x10u)
      << "a reference's image begins with its location";
}

TEST_F(TypedLocationTest, DereferenceFollowsThePointerThroughTargetMemory) {
  m_memory.MapU32(0x2000, 0x3000);
  const PointerLocation reference(LocationAt(0x2000, kKindFirstTarget, 4), DVPTypeInfo::FromCode(kKindInt2),
                                  OrdinalValue(2u));
  const TypedLocation target = reference.Dereference();
  EXPECT_EQ(target.AddressRef().Offset(), 0x3000u);
  EXPECT_EQ(target.Type().Code(), kKindInt2);
  EXPECT_EQ(target.ElementSize(), 2u);
  EXPECT_EQ(target.ElementCount(), 1u);
  const PointerLocation dangling(LocationAt(0x9000, kKindFirstTarget, 4), DVPTypeInfo::FromCode(kKindInt2),
                                 OrdinalValue(2u));
  EXPECT_EQ(ErrorNumberOf([&] { (void)dangling.Dereference(); }), kMemoryReadFailed);
  EXPECT_EQ(ErrorNumberOf([&] {
              (void)TargetMemory::ResolveIndirection(reference.Location(), DVPTypeInfo::FromCode(34), 21);
            }),
            kTooManyIndirections);
  TargetMemory::InstallService(nullptr);
  EXPECT_EQ(ErrorNumberOf([&] { (void)reference.Dereference(); }), kNoProgramLoaded);
}

}  // namespace
}  // namespace zentor
