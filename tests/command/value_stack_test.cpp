#include "core/value_stack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/token_record.h"
#include "core/value_bytes.h"
#include "core/value_test_support.h"

namespace zentor {
namespace {

using namespace value_bytes;
using testing_support::ErrorNumberOf;
using testing_support::LocationAt;
using testing_support::ValueTestEnvironment;

class ValueStackTest : public ValueTestEnvironment {};

TEST_F(ValueStackTest, EmptyStackUnderflows) {
  EXPECT_EQ(ValueStack::TopKind(), kKindEmpty);
  uint8_t buffer[ValueStack::kMaxItemSize];
  EXPECT_EQ(ErrorNumberOf([&] { ValueStack::Pop(buffer); }), kExpressionStackUnderflow);
  EXPECT_EQ(ErrorNumberOf([] { ValueStack::Drop(); }), kExpressionStackUnderflow);
  EXPECT_EQ(ErrorNumberOf([&] { ValueStack::Peek(buffer); }), kExpressionStackUnderflow);
  EXPECT_EQ(ValueStack::TopKind(), kKindEmpty);
  EXPECT_EQ(ValueStack::Depth(), 0u);
}

TEST_F(ValueStackTest, ItemSizesFollowTheKind) {
  struct Case {
    const char* name;
    uint16_t kind;
    std::vector<uint8_t> data;
    uint16_t size;
  };
  const Case cases[] = {
      {"nstring: characters and the NUL", kKindNString, {'a', 'b', 'c', 0, 'x'}, 4},
      {"lstring: length byte and characters", kKindLString, {3, 'a', 'b', 'c', 'x'}, 4},
      {"empty lstring", kKindLString, {0}, 1},
      {"ord4", kKindOrd4, {1, 2, 3, 4}, 4},
      {"real10", kKindReal10, std::vector<uint8_t>(10, 1), 10},
      {"marker", kKindMarker, {}, 0},
      {"inactive symbol", kKindInactiveSymbol, {}, 0},
      {"pointer type", kKindFirstTarget, {1, 2, 3, 4}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ValueStack::Reset();
    std::vector<uint8_t> data = c.data;
    data.resize(ValueStack::kMaxItemSize);
    ValueStack::Push(c.kind, data.data());
    EXPECT_EQ(ValueStack::TopKind(), c.kind);
    EXPECT_EQ(ValueStack::TopSize(), c.size);
    uint8_t back[ValueStack::kMaxItemSize];
    ValueStack::Pop(back);
    if (c.size != 0) {
      EXPECT_EQ(std::memcmp(back, c.data.data(), c.size), 0);
    }
  }
  std::vector<uint8_t> unterminated(ValueStack::kMaxItemSize, 'x');
  EXPECT_EQ(ErrorNumberOf([&] { ValueStack::Push(kKindNString, unterminated.data()); }), 205u);
}

// Differential: random pushes, pops, duplicates and conversions against a
// std::vector model of the items.
TEST_F(ValueStackTest, BehavesLikeAStackOfByteItems) {
  struct Item {
    uint16_t kind;
    std::vector<uint8_t> bytes;
  };
  const uint32_t seed = 99;
  std::mt19937 random(seed);
  std::vector<Item> model;
  const uint16_t kinds[] = {kKindOrd1, kKindOrd2, kKindOrd4, kKindInt8, kKindReal8, kKindChar};
  for (int step = 0; step < 5000; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
    const uint32_t action = random() % 10;
    if (action < 5 || model.empty()) {
      Item item;
      if (random() % 8 == 0) {
        item.kind = kKindNString;
        const size_t length = random() % 300;
        for (size_t i = 0; i < length; ++i) item.bytes.push_back(static_cast<uint8_t>('a' + random() % 26));
        item.bytes.push_back(0);
      } else {
        item.kind = kinds[random() % std::size(kinds)];
        for (uint32_t i = 0; i < GetValueKindSize(item.kind); ++i) item.bytes.push_back(static_cast<uint8_t>(random()));
      }
      std::vector<uint8_t> data = item.bytes;
      data.resize(ValueStack::kMaxItemSize);
      ValueStack::Push(item.kind, data.data());
      model.push_back(item);
    } else if (action < 8) {
      uint8_t buffer[ValueStack::kMaxItemSize];
      ASSERT_EQ(ValueStack::TopKind(), model.back().kind);
      ASSERT_EQ(ValueStack::TopSize(), model.back().bytes.size());
      ValueStack::Pop(buffer);
      EXPECT_EQ(std::memcmp(buffer, model.back().bytes.data(), model.back().bytes.size()), 0);
      model.pop_back();
    } else if (action == 8) {
      ValueStack::DuplicateTop();
      model.push_back(model.back());
    } else if (model.back().kind == kKindOrd1) {
      // Widening an ord1 to an ord4 in place.
      ValueStack::ConvertTop(kKindOrd4);
      model.back().kind = kKindOrd4;
      model.back().bytes.resize(4, 0);
    }
    if (model.empty()) {
      ASSERT_EQ(ValueStack::TopKind(), kKindEmpty);
    } else {
      ASSERT_EQ(ValueStack::TopKind(), model.back().kind);
      ASSERT_EQ(ValueStack::TopSize(), model.back().bytes.size());
    }
    if (step % 500 == 0) {
      ASSERT_EQ(ValueStack::Depth(), model.size());
    }
  }
}

TEST_F(ValueStackTest, PushThenDropRestoresTheHeaderAndConvertingToTheSameKindKeepsTheBytes) {
  const uint8_t two[2] = {0x34, 0x12};
  ValueStack::Push(kKindOrd2, two);
  const uint8_t odd = 7;  // a boolean byte other than 0 or 1
  ValueStack::Push(kKindBool1, &odd);
  const uint8_t text[4] = {3, 'a', 'b', 'c'};
  ValueStack::Push(kKindLString, text);
  ValueStack::Drop();
  EXPECT_EQ(ValueStack::TopKind(), kKindBool1);
  EXPECT_EQ(ValueStack::TopSize(), 1);
  ValueStack::ConvertTop(kKindBool1);
  EXPECT_EQ(ValueStack::PopBool(), 7);
  EXPECT_EQ(ValueStack::TopKind(), kKindOrd2);
  EXPECT_EQ(ValueStack::PopOrd2(), 0x1234);
}

TEST_F(ValueStackTest, JoinedStringsStopAt254Characters) {
  struct Case {
    const char* name;
    uint32_t first;
    uint32_t second;
    uint32_t error;
  };
  const Case cases[] = {
      {"200 and 54", 200, 54, 0}, {"200 and 60", 200, 60, 205}, {"empty join", 10, 0, 0}, {"254 and 1", 254, 1, 205},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ValueStack::Reset();
    std::vector<uint8_t> first(ValueStack::kMaxItemSize, 0);
    std::memset(first.data(), 'a', c.first);
    ValueStack::Push(kKindNString, first.data());
    std::vector<uint8_t> token(256, 'b');
    token[0] = static_cast<uint8_t>(c.second);
    SetTokenText(CurrentToken(), "");
    std::memcpy(CurrentToken().text, token.data(), c.second + 1u);
    EXPECT_EQ(ErrorNumberOf([] { AppendTokenToTopString(); }), c.error);
    EXPECT_EQ(ValueStack::TopKind(), kKindLString);
    uint8_t joined[ValueStack::kMaxItemSize];
    ValueStack::Peek(joined);
    const uint32_t length = c.error == 0 ? c.first + c.second : c.first;
    EXPECT_EQ(joined[0], length);
    EXPECT_EQ(ValueStack::TopSize(), length + 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(joined + 1), length),
              std::string(c.first, 'a') + std::string(c.error == 0 ? c.second : 0, 'b'));
  }
}

TEST_F(ValueStackTest, StructuredItemsBecomeLocations) {
  const TypedLocation location = LocationAt(0x4000, kKindInt4, 4);
  ValueStack::PushPointerLocation(PointerLocation(location, DVPTypeInfo::FromCode(kKindChar), OrdinalValue(1u)));
  EXPECT_EQ(ValueStack::TopSize(), PointerLocation::kImageSize);
  ValueStack::ConvertTopToLocation(1, AddressDescriptor::Null());
  EXPECT_EQ(ValueStack::TopKind(), kKindTypedLocation);
  EXPECT_EQ(ValueStack::TopSize(), TypedLocation::kImageSize);
  EXPECT_EQ(ValueStack::PopLocation().AddressRef().Offset(), 0x4000u);

  SymbolValueItem::DescriptionImage description;
  for (uint32_t i = 0; i < description.size(); ++i) description[i] = static_cast<uint8_t>(i * 7 + 3);
  ValueStack::PushSymbolValue(SymbolValueItem(location, description, 99));
  EXPECT_EQ(ValueStack::TopSize(), SymbolValueItem::kImageSize);
  uint8_t image[ValueStack::kMaxItemSize];
  ValueStack::Peek(image);
  const SymbolValueItem symbol = SymbolValueItem::ReadImage(image);
  EXPECT_EQ(symbol.Description(), description);
  EXPECT_EQ(symbol.Word(), 99u);
  ValueStack::ConvertTopToLocation(1, AddressDescriptor::Null());
  const TypedLocation fromSymbol = ValueStack::PopLocation();
  EXPECT_EQ(fromSymbol.AddressRef().Offset(), 0x4000u);
  EXPECT_EQ(fromSymbol.Type().Code(), kKindInt4);

  const uint8_t offset[2] = {0x10, 0x00};
  ValueStack::Push(kKindOrd2, offset);
  ValueStack::ConvertTopToLocation(1, AddressDescriptor::Null());
  EXPECT_EQ(ValueStack::PopLocation().AddressRef().Offset(), 0x10u);

  ValueStack::PushSized(kKindInactiveSymbol, 0, nullptr);
  EXPECT_EQ(ErrorNumberOf([] { ValueStack::ConvertTopToLocation(1, AddressDescriptor::Null()); }), kSymbolNotActive);

  const AddressRange range = AddressRange::FromLength(location, OrdinalValue(8u));
  ValueStack::Reset();
  ValueStack::PushRange(range);
  EXPECT_EQ(ValueStack::TopSize(), AddressRange::kImageSize);
  EXPECT_EQ(ValueStack::PopRange().End().Offset(), 0x4007u);
  ValueStack::PushOrdinal(OrdinalValue(5u));
  EXPECT_EQ(ErrorNumberOf([] { ValueStack::PopRange(); }), 1u);
}

TEST_F(ValueStackTest, ActionRoutines) {
  PushTrue();
  PushFalse();
  PushNullValue();
  PushMarker();
  EXPECT_EQ(ValueStack::TopKind(), kKindMarker);
  ValueStack::Drop();
  EXPECT_EQ(ValueStack::TopKind(), kKindNone);
  ValueStack::Drop();
  EXPECT_EQ(ValueStack::PopBool(), 0);
  const uint8_t five[4] = {5, 0, 0, 0};
  ValueStack::Push(kKindOrd4, five);
  ConvertTopToBoolean();
  EXPECT_EQ(ValueStack::TopKind(), kKindBool1);
  EXPECT_EQ(ValueStack::PopBool(), 1);
  EXPECT_EQ(ValueStack::PopBool(), 1);
  EXPECT_EQ(ValueStack::TopKind(), kKindEmpty);
  // Deep stacks of large items grow and shrink the file; every item comes back whole.
  std::vector<uint8_t> big(ValueStack::kMaxItemSize, 'q');
  big[1000] = 0;
  for (int i = 0; i < 100; ++i) {
    big[0] = static_cast<uint8_t>('A' + i % 26);
    ValueStack::Push(kKindNString, big.data());
  }
  EXPECT_EQ(ValueStack::Depth(), 100u);
  for (int i = 99; i >= 0; --i) {
    uint8_t back[ValueStack::kMaxItemSize];
    ASSERT_EQ(ValueStack::TopSize(), 1001);
    ValueStack::Pop(back);
    EXPECT_EQ(back[0], 'A' + i % 26);
  }
  EXPECT_EQ(ValueStack::TopKind(), kKindEmpty);
}

}  // namespace
}  // namespace zentor
