#include "core/dvp_types.h"

#include <gtest/gtest.h>

#include <string>

#include "core/value_test_support.h"

namespace zentor {
namespace {

using testing_support::ErrorNumberOf;

TEST(DVPTypesTest, CodesOutsideTheirRangeAreInternalErrors) {
  struct Case {
    const char* name;
    int32_t code;
    uint32_t error;
  };
  const Case cases[] = {
      {"below", -1, 1}, {"above", 45, 1}, {"first", 0, 0}, {"last", 44, 0}, {"far above", 0x10000, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorNumberOf([&] { (void)DVPType(c.code); }), c.error);
    EXPECT_EQ(ErrorNumberOf([&] { (void)DVPTypeInfo::FromCode(c.code); }), c.error);
  }
}

TEST(DVPTypesTest, SymbolTableCodesMapThroughTheFirstMatchingRow) {
  struct Case {
    const char* name;
    int32_t symbolCode;
    int32_t dvpCode;  // -1: internal error
  };
  const Case cases[] = {
      {"packed decimal, second code", 8, 7}, {"nstring", 127, 22}, {"offset type", 52, 24},
      {"no symbol code: address offset", -1, 42}, {"gap in the codes", 51, -1}, {"char", 106, 6},
      {"real10", 26, 21}, {"register type", 50, 41}, {"beyond every row", 1000, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.dvpCode < 0) {
      EXPECT_EQ(ErrorNumberOf([&] { (void)DVPTypeInfo(SymbolTypeCode(c.symbolCode)); }), 1u);
    } else {
      EXPECT_EQ(DVPTypeInfo(SymbolTypeCode(c.symbolCode)).Code(), c.dvpCode);
    }
  }
}

// The value stack's 16-bit map and the type object's map are one table: wherever the
// type object finds a row for a symbol code, the stack's lookup finds the same code,
// and the reverse lookup leads back to a symbol code of the same type.
TEST(DVPTypesTest, StackLookupsAgreeWithTheTypeObject) {
  for (int32_t symbol = 0; symbol < 300; ++symbol) {
    SCOPED_TRACE(symbol);
    int32_t viaType = -1;
    if (ErrorNumberOf([&] { viaType = DVPTypeInfo(SymbolTypeCode(symbol)).Code(); }) != 0) viaType = 0;
    const uint16_t viaStack = SymbolTypeCodeToDVPTypeCode(static_cast<uint16_t>(symbol));
    EXPECT_EQ(viaStack, viaType);
    if (viaStack != 0) {
      const uint16_t back = DVPTypeCodeToSymbolTypeCode(viaStack);
      EXPECT_EQ(DVPTypeInfo(SymbolTypeCode(back)).Code(), viaStack);
      EXPECT_TRUE(HasSymbolTypeCode(DVPTypeInfo::FromCode(viaStack)));
    }
  }
  EXPECT_EQ(SymbolTypeCodeToDVPTypeCode(0xFFFF), 0) << "the none code has no row for the stack";
  EXPECT_EQ(DVPTypeCodeToSymbolTypeCode(7), 7) << "the first of the two packed-decimal rows";
  EXPECT_FALSE(HasSymbolTypeCode(DVPTypeInfo::FromCode(kKindAddressOffset)));
  EXPECT_FALSE(HasSymbolTypeCode(DVPTypeInfo()));
}

TEST(DVPTypesTest, TargetTypeIdsRoundTrip) {
  struct Case {
    const char* name;
    int32_t code;
    uint32_t id;
  };
  const Case cases[] = {
      {"pointer", 34, 20}, {"register", 41, 27}, {"address offset", 42, 19}, {"char", 6, 2},
      {"offset type has none", 24, 0},  {"item kind has none", 27, 0},  {"int4", 17, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DVPTypeInfo::FromCode(c.code).TargetTypeId(), c.id);
  }
  for (int32_t code = 0; code <= kKindLastCode; ++code) {
    SCOPED_TRACE(code);
    const uint32_t id = DVPTypeInfo::FromCode(code).TargetTypeId();
    if (id != 0) {
      EXPECT_EQ(DVPTypeInfo::FromTargetTypeId(id).Code(), code);
    }
  }
  EXPECT_EQ(DVPTypeInfo::FromTargetTypeId(0).Code(), 1) << "the first row answers id 0";
  EXPECT_EQ(ErrorNumberOf([] { (void)DVPTypeInfo::FromTargetTypeId(14); }), 1u);
}

TEST(DVPTypesTest, SizesWidthsAndNamesOfTargetTypesComeFromTheTargetTable) {
  struct Case {
    const char* name;
    int32_t code;
    uint32_t size;
  };
  const Case cases[] = {
      {"location item", 27, 48}, {"real10", 21, 10}, {"no row", 43, 0}, {"pointer", 34, 4},
      {"target type of no size", 35, 0}, {"register", 41, 4}, {"address offset", 42, 4},
      {"symbol item", 26, 221}, {"ord12", 13, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DVPTypeInfo::FromCode(c.code).Size(), c.size);
    EXPECT_EQ(GetValueKindSize(static_cast<uint32_t>(c.code)), c.size);
  }
  EXPECT_EQ(GetValueKindSize(50), 0);
  EXPECT_EQ(GetValueKindSize(kKindAddressRange), 0);
  const DVPTypeInfo pointer = DVPTypeInfo::FromCode(34);
  EXPECT_EQ(pointer.DisplayWidth(2), 32u);
  EXPECT_EQ(pointer.DisplayWidth(10), 10u);
  EXPECT_EQ(pointer.DisplayWidth(16), 10u);
  EXPECT_STREQ(pointer.TargetAttribute(), "pointer");
  EXPECT_STREQ(DVPTypeInfo::FromCode(41).TargetAttribute(), "register");
  EXPECT_EQ(ErrorNumberOf([] { (void)DVPTypeInfo::FromCode(17).DisplayWidth(10); }), 1u);
  EXPECT_EQ(ErrorNumberOf([] { (void)DVPTypeInfo::FromCode(17).TargetAttribute(); }), 1u);

  // Another target's table: an 8-byte pointer and no register type.
  const TargetTypeRow wide[] = {{20, 8, 0, "far pointer"}, {19, 6, 0, "offset"}, {kTargetTypeTableEnd, 0, 0, ""}};
  InstallTargetTypeTable(wide);
  EXPECT_EQ(pointer.Size(), 8u);
  EXPECT_EQ(pointer.DisplayWidth(10), 20u);
  EXPECT_EQ(pointer.DisplayWidth(16), 18u);
  EXPECT_EQ(DVPTypeInfo::FromCode(42).DisplayWidth(10), 15u) << "2.5 digits a byte, truncated";
  EXPECT_STREQ(pointer.TargetAttribute(), "far pointer");
  EXPECT_EQ(ErrorNumberOf([] { (void)DVPTypeInfo::FromCode(41).Size(); }), 1u);
  InstallTargetTypeTable(nullptr);
  EXPECT_EQ(pointer.Size(), 4u);
}

}  // namespace
}  // namespace zentor
