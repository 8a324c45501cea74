// Symbol objects through their handles: objects made from expressions, at addresses
// and as members; their names, descriptions, counts, string values and values; their
// resolve states as the execution point moves; and the line addresses of a line.

#include "symbol_query_test_support.h"

#include "symbols/symbol_handle.h"

#include "core/address_symbol_lookup.h"
#include "core/value_stack.h"

namespace zentor::testing_support {
namespace {

std::string Text(const RWCString& text) { return std::string(text.data(), text.length()); }

// "category/state full | qualified | access path | short | prefix|suffix|storage".
std::string Described(const SymbolHandle& handle) {
  if (!handle.IsValid()) return "status " + std::to_string(handle.Status().Number());
  SymbolDescription description;
  const DVErrorCode named = handle.TypeName(description);
  return std::to_string(handle.Object()->Category()) + "/" + std::to_string(handle.Object()->ResolveState()) + " " +
         Text(handle.FullName()) + " | " + Text(handle.QualifiedName()) + " | " + Text(handle.AccessPathName()) +
         " | " + Text(handle.ShortName()) + " | " + description.m_typeText + "|" + description.m_typeSuffix + "|" +
         description.m_storageClass + (named.IsOkay() ? "" : " type " + std::to_string(named.Number()));
}

std::string Members(const SymbolHandle& handle) {
  std::string text = std::to_string(handle.ReadValue()) + ":";
  for (uint32_t i = 0; i < handle.ReadValue(); ++i) {
    const SymbolHandle member = SymbolHandle::SymbolHandle_Member(handle, i);
    text += " " + (member.IsValid() ? Text(member.ShortName())
                                    : "status " + std::to_string(member.Status().Number()));
  }
  return text;
}

std::string ValueText(const SymbolHandle& handle) {
  uint16_t kind = 0;
  uint8_t value[ValueStack::kMaxItemSize] = {};
  const DVErrorCode status = handle.Evaluate(kind, value);
  if (!status.IsOkay()) return "status " + std::to_string(status.Number());
  // A pointer's value is its pointee's place.
  if (kind == kKindTypedLocation) return "kind 27 at " + Text(TypedLocation::ReadImage(value).Address().Text());
  return "kind " + std::to_string(kind) + " = " + std::to_string(value_bytes::LoadU32(value));
}

SymbolHandle FromExpression(const char* text) {
  return SymbolHandle::SymbolHandle_FromExpression(GetCurrentSymbolContext(), text);
}

TEST_F(SymbolQueryTest, ObjectsFromExpressions) {
  struct Row {
    const char* m_text;
    const char* m_described;
    const char* m_members;
  };
  const Row rows[] = {
      {"g_count", "4/0 g_count | 0x00800000 | 0x00800000 | g_count | int ||", "0:"},
      {":MAIN.main.total", "4/1 :MAIN.main.total | 0x00006ffc | 0x00006ffc | total | int ||", "0:"},
      {"origin_pt", "7/0 origin_pt | 0x00800130 | 0x00800130 | origin_pt | struct point ||", "4: x y flags tag"},
      {"u", "8/0 u | 0x00800140 | 0x00800140 | u | union value ||", "3: i f c"},
      {"names", "5/0 names | 0x00800040 | 0x00800040 | names | char |[12]|",
       "12: [0] [1] [2] [3] [4] [5] [6] [7] [8] [9] [10] [11]"},
      {"msg", "6/0 msg | 0x00800150 | 0x00800150 | msg | char * ||", "4:    "},
      {"nullp", "6/0 nullp | 0x00800154 | 0x00800154 | nullp | char * ||", "0:"},
      {"main", "2/0 :MAIN.main | :MAIN.main | :MAIN.main | main | int |()|", "10: origin label total p shade retry ?skip done k tmp"},
      {"self", "6/0 self | 0x00800158 | 0x00800158 | self | || type 302", "0:"},
      {"nosuch", "status 335", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_text);
    const SymbolHandle handle = FromExpression(row.m_text);
    EXPECT_EQ(Described(handle), row.m_described);
    if (handle.IsValid()) {
      EXPECT_EQ(Members(handle), row.m_members);
    }
  }
}

TEST_F(SymbolQueryTest, ObjectsAtAddresses) {
  struct Row {
    const char* m_name;
    uint32_t m_address;
    uint32_t m_level;
    const char* m_described;
    const char* m_members;
  };
  const Row rows[] = {
      {"the program", kQueryStop, kLevelProgram, "0/0 0x00400016 | 0x00400016 | 0x00400016 | 0x00400016 | void ||",
       "15: g_count main util_init counter _table names matrix handlers pHandlers origin_pt u msg nullp self pp"},
      {"the module", kQueryStop, kLevelModule, "1/0 :MAIN.main#12 + 6 | :MAIN#12 + 6 | :MAIN.main + 22 | #12 + 6 | void ||",
       "4: total counter main helper"},
      {"the procedure", kQueryStop, kLevelProcedure,
       "2/0 :MAIN.main#12 + 6 | :MAIN#12 + 6 | :MAIN.main + 22 | #12 + 6 | int |()|",
       "10: origin label total p shade retry ?skip done k tmp"},
      {"the procedure of another module", kQueryCode + 0x90, kLevelProcedure,
       "2/0 :UTIL.util_init#4 | :UTIL#4 | :UTIL.util_init + 16 | #4 | void |()|", "2: c where"},
      {"the symbol inside a member of a global", kQueryData + 0x134, kLevelSymbol,
       "4/0 origin_pt.y | 0x00800134 | 0x00800134 | y | int ||", "0:"},
      {"an address of nothing", 0x00500000, kLevelProcedure, "status 335", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_name);
    const SymbolHandle handle = SymbolHandle::SymbolHandle_AtAddress(GetCurrentSymbolContext(), MemoryAt(row.m_address),
                                                                      row.m_level);
    EXPECT_EQ(Described(handle), row.m_described);
    if (handle.IsValid()) {
      EXPECT_EQ(Members(handle), row.m_members);
    }
  }
  // A structure listed under the program has no members; the same from its name has.
  const SymbolHandle program =
      SymbolHandle::SymbolHandle_AtAddress(GetCurrentSymbolContext(), MemoryAt(kQueryStop), kLevelProgram);
  EXPECT_EQ(Members(SymbolHandle::SymbolHandle_Member(program, 9)), "0:");
  EXPECT_EQ(Members(SymbolHandle::SymbolHandle_Member(program, 3)), "0:") << "member 3 again, after member 9";
  EXPECT_EQ(SymbolHandle::SymbolHandle_Member(program, 15).Status().Number(), kMsgEndOfSymbolList);
}

TEST_F(SymbolQueryTest, ValuesStringsAndElements) {
  struct Row {
    const char* m_text;
    const char* m_value;
    const char* m_string;
  };
  const Row rows[] = {
      {"g_count", "kind 17 = 5", "status 322"},
      {":MAIN.main.total", "kind 17 = 42", "status 322"},
      {"names", "status 328", "\"hello\""},
      {"msg", "kind 27 at 0x00800180", "\"abc\""},
      {"label", "kind 27 at 0x00800180", "\"abc\""},
      {"nullp", "kind 27 at 0x00000000", ""},
      {"origin_pt", "status 328", ""},
      {"origin_pt.tag", "kind 6 = 84", "status 322"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.m_text);
    const SymbolHandle handle = FromExpression(row.m_text);
    ASSERT_TRUE(handle.IsValid());
    EXPECT_EQ(ValueText(handle), row.m_value);
    RWCString text;
    const DVErrorCode status = handle.StringValue(text);
    EXPECT_EQ(status.IsOkay() ? Text(text) : "status " + std::to_string(status.Number()), row.m_string);
  }
  // Elements and fields name themselves after their parent and read their own places.
  const SymbolHandle table = FromExpression("_table");
  const SymbolHandle third = SymbolHandle::SymbolHandle_Member(table, 3);
  EXPECT_EQ(Text(third.FullName()), "_table[3]");
  EXPECT_EQ(ValueText(third), "kind 17 = 103");
  const SymbolHandle first = SymbolHandle::SymbolHandle_Member(table, 1);
  EXPECT_EQ(ValueText(first), "kind 17 = 101") << "an earlier element after a later one";
  const SymbolHandle y = SymbolHandle::SymbolHandle_Member(FromExpression("pp"), 0);
  EXPECT_EQ(Text(y.FullName()), "0x00800130") << "a pointee has no member text";
  const SymbolHandle point = SymbolHandle::SymbolHandle_Member(FromExpression("matrix"), 2);
  EXPECT_EQ(Text(SymbolHandle::SymbolHandle_Member(point, 3).FullName()), "matrix[2][3]");
  AddressDescriptor address;
  EXPECT_TRUE(SymbolHandle::SymbolHandle_Member(point, 3).GetAddress(address).IsOkay());
  EXPECT_EQ(address.Offset(), kQueryData + 0x60 + 2 * 16 + 3 * 4);
  EXPECT_EQ(SymbolHandle::SymbolHandle_Member(point, 4).Status().Number(), kMsgEndOfSymbolList);
  EXPECT_EQ(SymbolHandle::SymbolHandle_Member(FromExpression("g_count"), 0).Status().Number(), kMsgNotAnAggregate);
  EXPECT_EQ(FromExpression("g_count").TypeSize(), 4u);
}

TEST_F(SymbolQueryTest, TheCountOfAPointerToCharactersFollowsTheTarget) {
  const SymbolHandle msg = FromExpression("msg");
  EXPECT_EQ(msg.ReadValue(), 4u);
  const uint8_t longer[] = {'a', 'b', 'c', 'd', 'e', 0};
  m_memory.Poke(kQueryData + 0x180, longer, sizeof longer);
  EXPECT_EQ(msg.ReadValue(), 4u) << "kept until the target is said to have changed";
  MarkChangedRecords(kRecordTargetMemory, nullptr);
  EXPECT_EQ(msg.ReadValue(), 6u);
  RWCString text;
  EXPECT_TRUE(msg.StringValue(text).IsOkay());
  EXPECT_EQ(Text(text), "\"abcde\"");
}

// A local's object: active while the execution point is in its procedure, inactive
// (329) when it left, active again when it came back; evaluated again only when the
// execution address changed. A field of an inactive local follows its parent.
TEST_F(SymbolQueryTest, ObjectsFollowTheExecutionPoint) {
  const SymbolHandle total = FromExpression(":MAIN.main.total");
  ASSERT_TRUE(total.IsValid());
  EXPECT_EQ(total.Object()->ResolveState(), kResolveActive);
  const uint32_t evaluations = m_interpreter.m_evaluations;
  EXPECT_EQ(ValueText(total), "kind 17 = 42");
  EXPECT_EQ(ValueText(total), "kind 17 = 42");
  EXPECT_EQ(m_interpreter.m_evaluations, evaluations) << "the same execution address evaluates nothing again";
  StopAt(kQueryCode + 0x44);
  EXPECT_EQ(ValueText(total), "status 329");
  EXPECT_EQ(total.Object()->ResolveState(), kResolveInactive);
  AddressDescriptor address;
  EXPECT_EQ(total.GetAddress(address).Number(), kMsgSymbolNotActive);
  StopAt(kQueryStop);
  EXPECT_EQ(ValueText(total), "kind 17 = 42");
  EXPECT_EQ(total.Object()->ResolveState(), kResolveActive);

  const SymbolHandle where = FromExpression(":UTIL.util_init.where");
  ASSERT_TRUE(where.IsValid());
  EXPECT_EQ(where.Object()->ResolveState(), kResolveInactive);
  const SymbolHandle x = SymbolHandle::SymbolHandle_Member(where, 1);
  EXPECT_EQ(Text(x.FullName()), ":UTIL.util_init.where.y");
  EXPECT_EQ(x.GetAddress(address).Number(), kMsgSymbolNotActive);
  StopAt(kQueryCode + 0x90);
  ASSERT_TRUE(x.GetAddress(address).IsOkay());
  EXPECT_EQ(address.Offset(), kQueryFrame - 24 + 4);
  EXPECT_EQ(where.Object()->ResolveState(), kResolveActive);

  const SymbolHandle global = FromExpression("g_count");
  const uint32_t before = m_interpreter.m_evaluations;
  StopAt(kQueryStop);
  EXPECT_EQ(ValueText(global), "kind 17 = 5");
  EXPECT_EQ(m_interpreter.m_evaluations, before) << "a fixed place is never evaluated again";
}

TEST_F(SymbolQueryTest, WritingAValueThroughAnObject) {
  const SymbolHandle total = FromExpression(":MAIN.main.total");
  const uint8_t value[4] = {99, 0, 0, 0};
  EXPECT_TRUE(total.AssignValue(kKindInt4, value).IsOkay());
  EXPECT_EQ(ValueText(total), "kind 17 = 99");
  EXPECT_EQ(FromExpression("origin_pt").AssignValue(kKindInt4, value).Number(), kMsgAggregateValue);
  EXPECT_EQ(ValueStack::Depth(), 0u);
}

// Handles share their object; a member keeps its parent alive.
TEST_F(SymbolQueryTest, HandlesShareObjectsAndMembersKeepTheirParents) {
  SymbolHandle first = FromExpression("origin_pt");
  SymbolObject* object = first.Object();
  SymbolHandle second = first;
  EXPECT_EQ(object->UseCount(), 2u);
  second = second;
  EXPECT_EQ(object->UseCount(), 2u);
  SymbolHandle member = SymbolHandle::SymbolHandle_Member(first, 0);
  EXPECT_EQ(object->UseCount(), 3u);
  first = SymbolHandle();
  second = SymbolHandle();
  EXPECT_EQ(object->UseCount(), 1u) << "held by its member";
  EXPECT_EQ(Text(member.FullName()), "origin_pt.x");
  EXPECT_FALSE(SymbolHandle().IsValid());
}

// The addresses of one line over every module; a line with one address is none, and
// says so from its cache until a module's symbols arrive.
TEST_F(SymbolQueryTest, AddressesOfOneLineOverTheModules) {
  const AddressLineInfo inHeader(MemoryAt(kQueryCode + 0x52), nullptr);
  ASSERT_EQ(inHeader.LineValue(), 7);
  AddressDescriptor line = MemoryAt(kQueryCode + 0x50);
  line.SetLine(inHeader.Line());
  EXPECT_TRUE(line.SameLineAddresses().empty()) << "the other module's lines wait in the file";
  StopAt(kQueryCode + 0x90);
  std::string texts;
  for (const AddressDescriptor& address : line.SameLineAddresses()) texts += Text(address.Text()) + " ";
  EXPECT_EQ(texts, "0x00400050 0x004000a0 ");
  EXPECT_EQ(GetCurrentSymbolContext()->CollectLineAddresses(inHeader.Line()),
            GetCurrentSymbolContext()->CollectLineAddresses(inHeader.Line()))
      << "kept";
  AddressDescriptor single = MemoryAt(kQueryCode + 0x20);
  single.SetLine(AddressLineInfo(single, nullptr).Line());
  EXPECT_TRUE(single.SameLineAddresses().empty());
}

TEST_F(SymbolQueryTest, SymbolicTextsOfAddresses) {
  EXPECT_EQ(Text(MemoryAt(kQueryStop).SymbolicText()), ":MAIN#12 + 6");
  EXPECT_EQ(Text(MemoryAt(kQueryData + 0x134).SymbolicText()), "origin_pt.y");
  EXPECT_EQ(Text(MemoryAt(0x00500000).SymbolicText()), "0x00500000");
}

}  // namespace
}  // namespace zentor::testing_support
