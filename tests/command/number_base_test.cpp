// The number base: its start value, the three command actions and the record marks
// that make the views redisplay after a change.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "command/number_base_actions.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/number_base.h"
#include "core/value_stack.h"
#include "core/value_test_support.h"

namespace zentor {
namespace {

class NumberBaseTest : public testing_support::ValueTestEnvironment {
 protected:
  void SetUp() override {
    ValueTestEnvironment::SetUp();
    m_savedBase = static_cast<uint8_t>(GetNumberBase());
  }
  void TearDown() override {
    SetNumberBase(m_savedBase);
    ValueTestEnvironment::TearDown();
  }

  uint8_t m_savedBase = 10;
};

TEST_F(NumberBaseTest, StartsDecimalAndShowsEachBase) {
  // No other code of this test program changes the base before this test without
  // restoring it, so the start value is still in place.
  EXPECT_EQ(GetNumberBase(), 10u);
  EXPECT_EQ(GetDisplayBase(), 10u);
  struct Case {
    uint8_t base;
    const char* shown;
  };
  for (const Case c : {Case{10, "decimal\r\n"}, Case{2, "binary\r\n"}, Case{16, "hex\r\n"}}) {
    SCOPED_TRACE(c.shown);
    ASSERT_TRUE(SetNumberBase(c.base).IsOkay());
    TakeOutput();
    ShowNumberBase();
    EXPECT_EQ(TakeOutput(), c.shown);
  }
}

TEST_F(NumberBaseTest, SetNumberBaseAcceptsOnlyTwoTenSixteen) {
  for (uint8_t base = 0; base < 40; ++base) {
    SCOPED_TRACE(static_cast<int>(base));
    ASSERT_TRUE(SetNumberBase(10).IsOkay());
    const DVErrorCode code = SetNumberBase(base);
    const bool valid = base == 2 || base == 10 || base == 16;
    EXPECT_EQ(code.IsOkay(), valid);
    if (!valid) {
      EXPECT_EQ(code.Number(), 70u);
      EXPECT_EQ(code.Severity(), 3u);
    }
    EXPECT_EQ(GetNumberBase(), valid ? base : 10u);
    EXPECT_EQ(GetDisplayBase(), GetNumberBase());
  }
}

TEST_F(NumberBaseTest, SetFromStackChecksKindAndValue) {
  struct Case {
    const char* name;
    uint16_t kind;
    uint8_t bytes[10];
    bool accepted;
    uint32_t base;
  };
  const Case cases[] = {
      {"ord1 16", kKindOrd1, {16}, true, 16},
      {"ord2 2", kKindOrd2, {2, 0}, true, 2},
      {"ord4 10", kKindOrd4, {10, 0, 0, 0}, true, 10},
      {"int1 16", kKindInt1, {16}, true, 16},
      {"int2 2", kKindInt2, {2, 0}, true, 2},
      {"int4 16", kKindInt4, {16, 0, 0, 0}, true, 16},
      {"ord4 8", kKindOrd4, {8, 0, 0, 0}, false, 0},
      {"ord4 2^32 + 16 is not 16", kKindOrd4, {16, 0, 0, 1}, false, 0},
      {"int1 -16", kKindInt1, {0xF0}, false, 0},
      {"ord8 16", kKindOrd8, {16, 0, 0, 0, 0, 0, 0, 0}, false, 0},
      {"real4 16.0", kKindReal4, {0x00, 0x00, 0x80, 0x41}, false, 0},
      {"bool1", kKindBool1, {1}, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SetNumberBase(10).IsOkay());
    ValueStack::Reset();
    CollectableRecord view(kRecordOtherView);
    view.Register();
    view.TestAndClearChanged();
    ValueStack::Push(c.kind, c.bytes);
    if (c.accepted) {
      SetNumberBaseFromStack();
      EXPECT_EQ(GetNumberBase(), c.base);
      EXPECT_EQ(GetDisplayBase(), c.base);
      EXPECT_EQ(ValueStack::Depth(), 0u);
      EXPECT_EQ(view.TestAndClearChanged(), 1u);
    } else {
      try {
        SetNumberBaseFromStack();
        ADD_FAILURE() << "no error raised";
      } catch (const DVError& error) {
        EXPECT_EQ(error.Number(), 70u);
        EXPECT_EQ(error.Severity(), 3u);
      }
      EXPECT_EQ(GetNumberBase(), 10u);
      EXPECT_EQ(view.TestAndClearChanged(), 0u);
    }
  }
  // An empty stack is not an integer either.
  ValueStack::Reset();
  EXPECT_THROW(SetNumberBaseFromStack(), DVError);
}

TEST_F(NumberBaseTest, PushNumberBasePushesAFourByteUnsigned) {
  ASSERT_TRUE(SetNumberBase(16).IsOkay());
  PushNumberBase();
  EXPECT_EQ(ValueStack::TopKind(), kKindOrd4);
  uint8_t bytes[ValueStack::kMaxItemSize] = {};
  ValueStack::Pop(bytes);
  EXPECT_EQ(bytes[0], 16);
  EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
}

}  // namespace
}  // namespace zentor
