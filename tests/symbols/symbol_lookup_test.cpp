// Lookup by name over a loaded CodeView program: modules, scopes, members,
// subscripts and dereferences, the type-name lookup state of casts, and the nested
// lookup stack.

#include "symbol_query_test_support.h"

#include "console/cleanup_stack.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "symbols/symbol_index.h"

namespace zentor::testing_support {
namespace {

struct NameRow {
  const char* m_name;
  const char* m_path;
  const char* m_expected;
};

// At the stop (main's inner block, code + 0x16, frame 0x7000).
const NameRow kNamesAtTheStop[] = {
    {"module static declared before the procedure wins over its local", "total",
     "symbol total at 0x00800018 primitive code 17"},
    {"local of the procedure by its path", ":MAIN.main.total", "symbol total at 0x00006ffc primitive code 17"},
    {"local of the enclosing block", "k", "symbol k at 0x00006ff4 primitive code 17"},
    {"register local of the inner block", "tmp", "symbol tmp at register 22 primitive code 6"},
    {"register local of the procedure", "p", "symbol p at register 19 primitive code 22"},
    {"parameter", "origin", "symbol origin at 0x00007008 primitive code 22"},
    {"procedure", "main", "procedure main at 0x00400000 length 0x40"},
    {"module", ":MAIN", "module MAIN"},
    {"module name in any case", ":main", "module MAIN"},
    {"procedure of another module", ":UTIL.util_init", "procedure util_init at 0x00400080 length 0x40"},
    {"local of a procedure not on the frame", ":UTIL.util_init.where", "symbol where at 0x00006fe8 structure inactive"},
    {"global", "g_count", "symbol g_count at 0x00800000 primitive code 17"},
    {"module static before its global reference", "counter", "symbol counter at 0x00800010 primitive code 17"},
    {"member", "origin_pt.y", "symbol y at 0x00800134 primitive code 17"},
    {"bit-field member", "origin_pt.flags", "symbol flags at 0x00800138 bitfield code 8 bit 2"},
    {"member after a gap", "origin_pt.tag", "symbol tag at 0x0080013f primitive code 6"},
    {"union member", "u.f", "symbol f at 0x00800140 primitive code 19"},
    {"array element", "_table[3]", "symbol _table at 0x0080002c primitive code 17"},
    {"element of a two-dimensional array", "matrix[2][1]", "symbol matrix at 0x00800084 primitive code 19"},
    {"character array element", "names[1]", "symbol names at 0x00800041 primitive code 6"},
    {"member through a pointer", "pp->y", "symbol y at 0x00800134 primitive code 17"},
    {"member through a pointer parameter", "origin->x", "symbol x at 0x00800130 primitive code 17"},
    {"member through a register pointer", "p->tag", "symbol tag at 0x0080013f primitive code 6"},
    {"dereference", "*msg", "symbol msg at 0x00800180 primitive code 6"},
    {"pointer subscript", "msg[2]", "symbol msg at 0x00800182 primitive code 6"},
    {"pointer to an array of pointers to procedures", "pHandlers[0][1]",
     "symbol pHandlers at 0x00800104 primitive code 22"},
    {"unknown name", "nosuch", "error 335 Symbol <nosuch> not known in current context."},
    {"unknown module", ":NOMOD", "error 334 The Module <NOMOD> is Unknown."},
    {"unknown member", "origin_pt.zz", "error 330 Symbol <zz> is not a known structure field name."},
    {"member of a scalar", "g_count.x", "error 331 Symbol <x> is not known to be a structure."},
    {"subscript of a scalar", "g_count[1]",
     "error 318 Symbol <g_count> is not an array or has fewer dimensions than specified."},
    {"subscript of a procedure", "main[1]",
     "error 318 Symbol <main> is not an array or has fewer dimensions than specified."},
    {"subscript past the array", "_table[10]", "error 21 Specified index is invalid."},
    {"subscript before the array", "_table[-1]", "error 21 Specified index is invalid."},
    {"dereference of a scalar", "*g_count",
     "error 321 Symbol <g_count> is not a pointer variable or its dereference type is unknown."},
    {"a module's name is not searched among its procedures' locals", ":MAIN.calls",
     "error 335 Symbol <calls> not known in current context."},
    {"a procedure's name path misses", ":MAIN.main.nosuch", "error 335 Symbol <nosuch> not known in current context."},
};

TEST_F(SymbolQueryTest, NamesAtTheStop) {
  for (const NameRow& row : kNamesAtTheStop) {
    SCOPED_TRACE(row.m_name);
    EXPECT_EQ(LookUp(row.m_path), row.m_expected);
    EXPECT_EQ(LookupLocation().LookupDepth(), 0u);
  }
}

// The same paths answer the same with the indexes off (the Parts' walks).
TEST_F(SymbolQueryTest, IndexesAnswerAsTheWalks) {
  for (const bool enabled : {false, true}) {
    SymbolIndexes::SetEnabled(enabled);
    for (const NameRow& row : kNamesAtTheStop) {
      SCOPED_TRACE(std::string(row.m_name) + (enabled ? " indexed" : " walked"));
      EXPECT_EQ(LookUp(row.m_path), row.m_expected);
    }
  }
  SymbolIndexes::SetEnabled(true);
}

TEST_F(SymbolQueryTest, NamesDependOnTheScope) {
  struct Row {
    const char* m_name;
    uint32_t m_pc;
    const char* m_path;
    const char* m_expected;
  };
  const Row rows[] = {
      {"local of the other procedure", kQueryCode + 0x44, "v", "symbol v at 0x00006ffc union"},
      {"its static", kQueryCode + 0x44, "calls", "symbol calls at 0x00800014 primitive code 17"},
      {"first byte of a procedure: its frame is not built", kQueryCode + 0x40, "v",
       "symbol v at 0x00006ffc union inactive"},
      {"outside every module: the global list", 0x00500000, "g_count", "symbol g_count at 0x00800000 primitive code 17"},
      {"outside every module: unknown names give 304", 0x00500000, "nosuch",
       "error 304 Current default module unknown."},
      {"another module's global", kQueryCode + 0x90, "_table", "symbol _table at 0x00800020 array"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_name);
    StopAt(row.m_pc);
    EXPECT_EQ(LookUp(row.m_path), row.m_expected);
  }
}

TEST_F(SymbolQueryTest, AModuleNamedWhileItsSymbolsWaitIsLoaded) {
  ModuleDescriptor* util = nullptr;
  for (uint32_t id = 1; id <= CurrentLoaderState().ModuleCount(); ++id) {
    if (std::string(CurrentLoaderState().ModuleById(id)->NameText().data()) == "UTIL") {
      util = CurrentLoaderState().ModuleById(id);
    }
  }
  ASSERT_NE(util, nullptr);
  ASSERT_TRUE(util->HasDeferredToken());
  StopAt(0x00500000);
  EXPECT_EQ(LookUp("_table[1]"), "symbol _table at 0x00800024 primitive code 17");
  EXPECT_EQ(LookUp(":UTIL.util_init"), "procedure util_init at 0x00400080 length 0x40");
  EXPECT_FALSE(util->HasDeferredToken());
}

TEST_F(SymbolQueryTest, WithoutAProgramLookupsSay324) {
  ResetSymbolLoad();
  BeginProgram(20);
  const DVError error = ErrorThrownBy([] { BeginSymbolLookup(); });
  EXPECT_EQ(error.Number(), kMsgNoProgramLoaded);
  DVErrorCode status;
  EXPECT_EQ(FindModuleByName(status, RWCString("MAIN")), nullptr);
  EXPECT_EQ(status.Number(), kMsgNoProgramLoaded);
}

// A failed lookup inside a parse leaves the entry as it was before the command once
// the clean-up routines have run.
TEST_F(SymbolQueryTest, AFailedNestedLookupIsUndoneByTheCleanUp) {
  CleanupStack::Clear();
  BeginSymbolLookup();
  RunPath("pp");
  const std::string before = EntryText();
  BeginSymbolLookup();
  EXPECT_EQ(ErrorThrownBy([] { RunPath("origin_pt.zz"); }).Number(), kMsgNotAFieldName);
  BeginNestedSymbolLookup();
  CleanupStack::RunAll();
  EXPECT_EQ(LookupLocation().LookupDepth(), 0u);
  EXPECT_EQ(EntryText(), "nothing");
  // A bracket that ends restores what it saved.
  BeginSymbolLookup();
  RunPath("pp");
  BeginSymbolLookup();
  RunPath("g_count");
  EndSymbolLookup();
  EXPECT_EQ(EntryText(), before);
  EndSymbolLookup();
  EXPECT_EQ(CleanupStack::Count(), 0u);
}

// Lookups nested deeper than a context's stack first holds (it starts empty and grows
// as they come) give back, level by level, what each found, against the texts taken
// before each level began.
TEST_F(SymbolQueryTest, DeeplyNestedLookupsRestoreEveryLevel) {
  CleanupStack::Clear();
  const char* const paths[] = {"pp",      "g_count",   "main",     ":MAIN",           "origin_pt.y", "counter",
                               "u.f",     "_table[3]", "names[1]", ":UTIL.util_init", "matrix[2][1]", "k",
                               "origin",  "total",     "p->tag",   "pHandlers[0][1]", "tmp"};
  std::vector<std::string> before;
  for (const char* path : paths) {
    SCOPED_TRACE(path);
    before.push_back(EntryText());
    BeginSymbolLookup();
    RunPath(path);
    ASSERT_EQ(LookupLocation().LookupDepth(), before.size());
    ASSERT_NE(EntryText(), "nothing");
  }
  while (!before.empty()) {
    SCOPED_TRACE(before.size());
    EndSymbolLookup();
    EXPECT_EQ(EntryText(), before.back());
    before.pop_back();
    EXPECT_EQ(LookupLocation().LookupDepth(), before.size());
  }
  EXPECT_EQ(CleanupStack::Count(), 0u);
}

// One member's place, from a walk that stops at it, is its place in the walk over all
// the members (offset, type and bit position), for each member of a structure with a
// bit field and of a union; there is none past the last.
TEST_F(SymbolQueryTest, OneMembersPlaceIsItsPlaceAmongAll) {
  for (const char* name : {"origin_pt", "u"}) {
    SCOPED_TRACE(name);
    BracketedLookupScope bracket;
    RunPath(name);
    SymbolEntry& entry = CurrentEntry();
    if (entry.m_symbolSet == 0) SetCurrentSymbolRecord(entry.m_currentRecord);
    const uint32_t type = entry.m_symbol.m_typeIndex;
    const uint32_t mode = GetTypeEntry(type).Category() == kTypeUnion ? kFieldOfUnion : kFieldOfStructure;
    const std::vector<MemberPlace> all = MemberPlaces(type, mode);
    ASSERT_GE(all.size(), 2u);
    for (uint32_t ordinal = 0; ordinal <= all.size() + 1; ++ordinal) {
      SCOPED_TRACE(ordinal);
      MemberPlace place;
      const bool found = MemberPlaceAt(type, mode, ordinal, place);
      ASSERT_EQ(found, ordinal >= 1 && ordinal <= all.size());
      if (!found) continue;
      const MemberPlace& expected = all[ordinal - 1];
      EXPECT_TRUE(place.m_offset == expected.m_offset);
      EXPECT_EQ(place.m_type, expected.m_type);
      EXPECT_EQ(place.m_bitPosition, expected.m_bitPosition);
    }
  }
}

TEST_F(SymbolQueryTest, LocationsOfModulesAndLines) {
  struct Row {
    const char* m_name;
    const char* m_module;
    int32_t m_line;
    bool m_locationMode;
    const char* m_expected;
  };
  const Row rows[] = {
      {"module span", "MAIN", -2, false, "25 0x00400000 x128"},
      {"module in location mode", "MAIN", -2, true, "27 0x00400000 x1"},
      {"line 0 is the lowest line", "MAIN", 0, false, "25 0x00400000 line 10 x8"},
      {"a line up to the next entry with a line of its own", "MAIN", 14, false, "25 0x00400020 line 14 x16"},
      {"a line with code in two places keeps the first", "MAIN", 12, false, "25 0x00400010 line 12 x16"},
      {"line in location mode", "UTIL", 4, true, "27 0x00400090 line 4 x1"},
      {"a line without code", "MAIN", 13, false, "error 320 Specified line <:MAIN#13> is not an executable statement."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_name);
    std::string text;
    try {
      BracketedLookupScope bracket;
      if (row.m_locationMode) SetStickyLookupFlag();
      RunPath(std::string(":") + row.m_module);
      if (row.m_line == -2) {
        PushModuleLocation();
      } else {
        PushLineLocation(row.m_line);
      }
      const uint16_t kind = ValueStack::TopKind();
      uint8_t item[ValueStack::kMaxItemSize];
      ValueStack::Pop(item);
      const TypedLocation location =
          kind == kKindPointerLocation ? PointerLocation::ReadImage(item).Location() : TypedLocation::ReadImage(item);
      text = std::to_string(kind) + " " + AddressText(location.Address());
      if (!location.Address().Line().IsEmpty()) text += " line " + std::to_string(location.Address().Line().Get());
      text += " x" + std::to_string(location.ElementCount().Low());
      ClearStickyLookupFlag();
    } catch (const DVError& error) {
      text = "error " + std::to_string(error.Number()) + " " + std::string(error.Text().data());
    }
    EXPECT_EQ(text, row.m_expected);
  }
}

// The type-name lookup state of casts: keywords, tags and typedef names, pointer
// requests, and the cast a symbol lookup applies while one is pending.
TEST_F(SymbolQueryTest, TypeNamesAndPointerRequests) {
  TypeLookupState& state = CurrentTypeLookupState();
  EXPECT_EQ(ErrorThrownBy([] { MakePointerType(); }).Number(), kMsgNameUndefinedOrIncorrectType)
      << "no pair recorded before any type was named";

  const auto cast = [](uint16_t code) {
    uint8_t bytes[2] = {static_cast<uint8_t>(code), static_cast<uint8_t>(code >> 8)};
    ValueStack::Push(kKindOrd2, bytes);
    CastToKeywordType();
  };
  cast(106);
  EXPECT_EQ(state.m_typeKind, 0u);
  EXPECT_EQ(state.m_typeCode, SymbolTypeCodeToDVPTypeCode(106));
  EXPECT_EQ(ErrorThrownBy([&] { cast(13); }).Number(), kMsgInvalidType);

  // (int *): a pointer to the directory's int4 entry; a second '*' points at that.
  cast(18);
  MakePointerType();
  EXPECT_EQ(state.m_typeCode, kPointerTypeCode);
  const uint32_t intPointer = state.m_typeHandle;
  EXPECT_EQ(GetTypeEntry(PointeeTypeIndex(GetTypeEntry(intPointer))).PrimitiveCode(), 17);
  MakePointerType();
  EXPECT_EQ(PointeeTypeIndex(GetTypeEntry(state.m_typeHandle)), intPointer);

  // (struct point *): the tag found, then the pointer to it.
  BeginTypeNameLookup();
  cast(32);
  SetTokenText(CurrentToken(), "point");
  LookUpTaggedType();
  const uint32_t point = state.m_typeHandle;
  EXPECT_EQ(std::string(GetTypeEntry(point).Name().NameText().data()), "point");
  MakePointerType();
  EXPECT_EQ(PointeeTypeIndex(GetTypeEntry(state.m_typeHandle)), point);
  // While the cast is pending a symbol takes the cast's type.
  EXPECT_EQ(LookUp("g_count"), "symbol g_count at 0x00800000 primitive code 22");
  ResetExpressionLexState();
  EXPECT_EQ(state.m_typeKind, kTypeKindAfterReset);
  EXPECT_EQ(LookUp("g_count"), "symbol g_count at 0x00800000 primitive code 17");

  // (POINT *) with POINT a typedef name of point.
  SetTokenText(CurrentToken(), "POINT");
  EXPECT_EQ(ErrorThrownBy([] { LookUpTypedefName(); }).Number(), kMsgInvalidType);
  LoaderState& loader = CurrentLoaderState();
  AddTypedefName("POINT", point - loader.ModuleTypeBase());
  loader.Types().ReleasePin(GetCurrentSymbolContext()->Cache());
  EXPECT_TRUE(IsCurrentTokenTypedef());
  BeginTypeNameLookup();
  LookUpTypedefName();
  EXPECT_EQ(state.m_typeHandle, point);
  EXPECT_EQ(state.m_typeKind, kTypeStructure);
  MakePointerType();
  EXPECT_EQ(PointeeTypeIndex(GetTypeEntry(state.m_typeHandle)), point);

  SetTokenText(CurrentToken(), "nosuchtype");
  EXPECT_EQ(ErrorThrownBy([] { LookUpTaggedType(); }).Number(), kMsgInvalidType);
  state.m_takenFlag = 1;
  EXPECT_EQ(TakeTypeFoundFlag(), 1u);
  EXPECT_EQ(TakeTypeFoundFlag(), 0u);
}

TEST(TypeCodes, PrimitiveCodesMapToDebuggerTypes) {
  const struct {
    uint16_t m_code;
    uint16_t m_type;
    bool m_pointerLike;
  } rows[] = {{0, 0, false},   {6, 6, false},   {21, 21, false}, {22, 34, true},
              {24, 36, true},  {26, 38, true},  {27, 39, false}, {28, 19, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.m_code);
    EXPECT_EQ(SymbolTypeCodeMap(row.m_code), row.m_type);
    EXPECT_EQ(IsPointerLikeCode(row.m_code), row.m_pointerLike);
  }
}

}  // namespace
}  // namespace zentor::testing_support
