// Symbol values pushed for the interpreter: what each kind of symbol becomes on the
// value stack, in value mode and in location mode, and the cast a pending type-name
// lookup applies.

#include "symbol_query_test_support.h"

#include "core/value_stack.h"

namespace zentor::testing_support {
namespace {

// The top item: its kind, then the location's type, address, element size and count;
// for a pointer location the pointee's type and size; for a symbol value item the
// name its description carries and its flag word.
std::string TopItemText() {
  const uint16_t kind = ValueStack::TopKind();
  uint8_t item[ValueStack::kMaxItemSize];
  ValueStack::Pop(item);
  std::string text = std::to_string(kind);
  if (kind == kKindInactiveSymbol) return text;
  TypedLocation location;
  if (kind == kKindPointerLocation) {
    location = PointerLocation::ReadImage(item).Location();
  } else if (kind == kKindSymbolValue) {
    location = SymbolValueItem::ReadImage(item).Location();
  } else {
    location = TypedLocation::ReadImage(item);
  }
  text += " type " + std::to_string(location.Type().Code()) + " " +
          PlaceText(location.Address()) + " size " + std::to_string(location.ElementSize().Low());
  if (location.ElementCount() != 1u) text += " x" + std::to_string(location.ElementCount().Low());
  if (kind == kKindPointerLocation) {
    const PointerLocation pointer = PointerLocation::ReadImage(item);
    text += " -> " + std::to_string(pointer.PointeeType().Code()) + " size " +
            std::to_string(pointer.PointeeSize().Low());
  }
  if (kind == kKindSymbolValue) {
    const SymbolValueItem symbol = SymbolValueItem::ReadImage(item);
    text += " of " + std::string(DescriptionOf(symbol).m_symbol.m_name.NameText().data()) + " flag " +
            std::to_string(symbol.Word());
  }
  return text;
}

TEST_F(SymbolQueryTest, ValuesOfEveryKindOfSymbol) {
  struct Row {
    const char* m_name;
    const char* m_path;
    bool m_locationMode;
    const char* m_expected;
  };
  const Row rows[] = {
      {"scalar", "g_count", false, "27 type 17 0x00800000 size 4"},
      {"enumeration kept as a subrange of int", "shade", false, "27 type 17 0x00006ff8 size 4"},
      {"register local", "tmp", false, "27 type 6 register 22 size 1"},
      {"pointer to a character", "msg", false, "25 type 34 0x00800150 size 4 -> 6 size 1"},
      {"pointer to a structure", "pp", false, "25 type 34 0x0080015c size 4 -> 0 size 16"},
      {"pointer to an array: the pointee is its element", "pHandlers", false,
       "25 type 34 0x00800120 size 4 -> 0 size 4"},
      {"pointer that points at itself", "self", false, "25 type 34 0x00800158 size 4 -> 34 size 4"},
      {"procedure", "main", false, "25 type 24 0x00400000 size 1 x64 -> 24 size 1"},
      {"label", "retry", false, "25 type 24 0x00400020 size 1 -> 24 size 1"},
      {"structure", "origin_pt", false, "26 type 8 0x00800130 size 16 of origin_pt flag 7"},
      {"union", "u", false, "26 type 8 0x00800140 size 4 of u flag 7"},
      {"array: the element's size", "names", false, "26 type 8 0x00800040 size 1 of names flag 7"},
      {"member of a structure", "origin_pt.y", false, "27 type 17 0x00800134 size 4"},
      {"bit field: count and position in the size", "origin_pt.flags", false, "27 type 1 0x00800138 size 131075"},
      {"local of a procedure not on the frame", ":UTIL.util_init.where", false, "29"},
      {"structure in location mode", "origin_pt", true, "27 type 8 0x00800130 size 16"},
      {"pointer in location mode", "msg", true, "27 type 34 0x00800150 size 4"},
      {"procedure in location mode", "main", true, "27 type 24 0x00400000 size 1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_name);
    std::string text;
    try {
      BracketedLookupScope bracket;
      if (row.m_locationMode) SetStickyLookupFlag();
      RunPath(row.m_path);
      DVErrorCode status;
      DecodeSymbolRecordLocation(status, 7);
      ClearStickyLookupFlag();
      text = status.IsOkay() ? TopItemText() : "status " + std::to_string(status.Number());
    } catch (const DVError& error) {
      text = "error " + std::to_string(error.Number());
    }
    EXPECT_EQ(text, row.m_expected);
    EXPECT_EQ(ValueStack::Depth(), 0u);
  }
}

// (char) g_count: the cast pending in the type-name state fetches the value and
// converts it, and says that it was taken.
TEST_F(SymbolQueryTest, APendingCastIsAppliedToThePushedValue) {
  BeginTypeNameLookup();
  uint8_t code[2] = {106, 0};
  ValueStack::Push(kKindOrd2, code);
  CastToKeywordType();
  {
    BracketedLookupScope bracket;
    RunPath("origin_pt.x");
    DVErrorCode status;
    DecodeSymbolRecordLocation(status, 0);
    ASSERT_TRUE(status.IsOkay());
  }
  EXPECT_EQ(ValueStack::TopKind(), kKindChar);
  uint8_t value[ValueStack::kMaxItemSize];
  ValueStack::Pop(value);
  EXPECT_EQ(value[0], 11);
  EXPECT_EQ(TakeTypeFoundFlag(), 1u);
  ResetExpressionLexState();
}

TEST_F(SymbolQueryTest, NothingCurrentIs303AndPushesNothing) {
  BracketedLookupScope bracket;
  RunPath(":MAIN");
  DVErrorCode status;
  DecodeSymbolRecordLocation(status, 0);
  EXPECT_EQ(status.Number(), kMsgInvalidSymbolRecordType);
  EXPECT_EQ(ValueStack::Depth(), 0u);
}

}  // namespace
}  // namespace zentor::testing_support
