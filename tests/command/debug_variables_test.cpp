// Debug variables, assignment and value fetch as the generated code drives them:
// through the value stack, with target memory and registers in a byte image.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/command_scanner.h"
#include "command/debug_variables.h"
#include "console/cleanup_stack.h"
#include "core/operator_executor.h"
#include "core/token_record.h"
#include "core/value_test_support.h"

namespace zentor {
namespace {

using testing_support::ByteImageTargetMemory;
using testing_support::ErrorNumberOf;
using testing_support::LocationAt;

class DebugVariablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CommandScanner::InitKeywords();
    CommandScanner::SetDefinitionReleaser(&ReleaseDefinedObject);
    ResetDebugVariables();
    ValueStack::Create();
    ValueStack::Reset();
    CleanupStack::Clear();
    TargetMemory::InstallService(&m_memory);
  }
  void TearDown() override {
    TargetMemory::InstallService(nullptr);
    ValueStack::Reset();
    CleanupStack::Clear();
    CommandScanner::SetDefinitionReleaser(nullptr);
    CommandScanner::InitKeywords();
    ResetDebugVariables();
  }

  // "define <type code> <name>" at command level, as the define command runs it.
  static void Define(uint16_t typeCode, const std::string& name) {
    SelectCommandDefineScope();
    uint8_t code[2] = {static_cast<uint8_t>(typeCode), static_cast<uint8_t>(typeCode >> 8)};
    ValueStack::PushSized(kKindOrd2, 2, code);
    SetTokenText(CurrentToken(), name.c_str());
    DefineDebugVariable();
  }
  static void PushName(const std::string& name) {
    ValueStack::PushSized(kKindUnresolvedName, static_cast<uint16_t>(name.size()), name.data());
  }
  // name = value (an item of `kind`).
  static void Assign(const std::string& name, uint16_t kind, const std::vector<uint8_t>& value) {
    PushName(name);
    ValueStack::PushSized(kind, static_cast<uint16_t>(value.size()), value.data());
    AssignValue();
  }
  // The variable's value as the code fetches it: kind and bytes.
  static std::pair<uint16_t, std::vector<uint8_t>> Fetch(const std::string& name) {
    PushName(name);
    DereferenceTopValue();
    const uint16_t kind = ValueStack::TopKind();
    std::vector<uint8_t> bytes(ValueStack::TopSize());
    uint8_t buffer[ValueStack::kMaxItemSize];
    ValueStack::Pop(buffer);
    std::copy(buffer, buffer + bytes.size(), bytes.begin());
    return {kind, bytes};
  }
  static std::vector<uint8_t> Text(const std::string& text, bool counted) {
    std::vector<uint8_t> bytes;
    if (counted) bytes.push_back(static_cast<uint8_t>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
    if (!counted) bytes.push_back(0);
    return bytes;
  }

  ByteImageTargetMemory m_memory;
};

TEST_F(DebugVariablesTest, StringVariablesTakeTheSizeOfTheirValue) {
  Define(127, "s");  // nstring
  EXPECT_EQ(Fetch("s").second, std::vector<uint8_t>{0});
  Assign("s", kKindLString, Text("twenty characters!!!", true));
  const auto fetched = Fetch("s");
  EXPECT_EQ(fetched.first, kKindNString);
  EXPECT_EQ(fetched.second.size(), 21u);
  Define(128, "l");  // lstring
  Assign("l", kKindNString, Text("abc", false));
  EXPECT_EQ(Fetch("l").second, Text("abc", true));
  // A value a variable cannot hand to an expression.
  Assign("s", kKindNString, Text(std::string(600, 'x'), false));
  EXPECT_EQ(ErrorNumberOf([] { Fetch("s"); }), kOperandSizeTooLarge);
}

// A variable of a target address type holds a location of that type.
TEST_F(DebugVariablesTest, AddressVariablesHoldLocations) {
  Define(43, "where");  // the target's pointer type
  auto fetched = Fetch("where");
  ASSERT_EQ(fetched.first, kKindTypedLocation);
  EXPECT_EQ(TypedLocation::ReadImage(fetched.second.data()).Type().Code(), kKindFirstTarget);
  Assign("where", kKindInt4, {0x00, 0x10, 0, 0});
  fetched = Fetch("where");
  ASSERT_EQ(fetched.first, kKindTypedLocation);
  EXPECT_EQ(TypedLocation::ReadImage(fetched.second.data()).AddressRef().Offset(), 0x1000u);
}

TEST_F(DebugVariablesTest, RedefinitionReplacesOrIsRefused) {
  Define(18, "v");  // int4
  Assign("v", kKindInt4, {5, 0, 0, 0});
  Define(18, "v");
  EXPECT_EQ(LiveDebugVariableCount(), 1u) << "the old storage is released";
  EXPECT_EQ(Fetch("v").second, (std::vector<uint8_t>{0, 0, 0, 0}));
  Assign("v", kKindInt4, {9, 0, 0, 0});
  EXPECT_EQ(ErrorNumberOf([] { Define(10, "v"); }), kMsgNameDefinedWithOtherType);
  EXPECT_EQ(Fetch("v").second, (std::vector<uint8_t>{9, 0, 0, 0})) << "the old one stays";
  ValueStack::Reset();
  EXPECT_EQ(ErrorNumberOf([] { Fetch("nosuch"); }), kMsgSymbolLookupFailed);
  // Removing the name releases the storage.
  SetTokenText(CurrentToken(), "v");
  EXPECT_TRUE(CommandScanner::RemoveKeyword());
  EXPECT_EQ(LiveDebugVariableCount(), 0u);
}

TEST_F(DebugVariablesTest, StoresIntoTargetMemoryAndBitFields) {
  m_memory.Map(0x5000, std::vector<uint8_t>(8, 0xFF));
  // A 3-bit field at bit 4: only bits 4 to 6 of the containing word change.
  const TypedLocation field(testing_support::MemoryAt(0x5000), DVPTypeInfo::FromCode(kKindCode1),
                            OrdinalValue(3u + 4u * 65536u), OrdinalValue(1u));
  ValueStack::PushLocation(field);
  ValueStack::PushSized(kKindInt4, 4, std::vector<uint8_t>{5, 0, 0, 0}.data());
  AssignValue();
  ValueStack::PushLocation(LocationAt(0x5000, kKindOrd4, 4));
  DereferenceTopValue();
  EXPECT_EQ(ValueStack::PopOrd2(), 0xFFDF);
  ValueStack::PushLocation(field);
  DereferenceTopValue();
  EXPECT_EQ(ValueStack::TopKind(), kKindOrd1);
  EXPECT_EQ(ValueStack::PopOrd2(), 5);
  // An int2 value stored into an ord1 location is converted first.
  ValueStack::PushLocation(LocationAt(0x5004, kKindOrd1, 1));
  ValueStack::PushSized(kKindInt2, 2, std::vector<uint8_t>{0x34, 0x12}.data());
  AssignValue();
  ValueStack::PushLocation(LocationAt(0x5004, kKindOrd2, 2));
  DereferenceTopValue();
  EXPECT_EQ(ValueStack::PopOrd2(), 0xFF34);
}

TEST_F(DebugVariablesTest, ReferencesThatCannotBeFetchedOrAssigned) {
  struct Case {
    const char* name;
    void (*push)();
    bool assign;
    uint32_t number;
  };
  const Case cases[] = {
      {"a plain value is no reference", [] { ValueStack::PushSized(kKindInt4, 4, "\1\0\0\0"); }, false,
       kMsgUnsupportedReference},
      {"assignment to a plain value", [] { ValueStack::PushSized(kKindInt4, 4, "\1\0\0\0"); }, true,
       kMsgUnsupportedAssignment},
      {"assignment to an inactive symbol", [] { ValueStack::PushSized(kKindInactiveSymbol, 0, nullptr); }, true,
       kSymbolNotActive},
      {"assignment to code",
       [] {
         const TypedLocation code = LocationAt(0x100, kKindOffset, 1);
         ValueStack::PushPointerLocation(PointerLocation(code, DVPTypeInfo::FromCode(kKindOffset), OrdinalValue(1u)));
       },
       true, kMsgAssignToCode},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ValueStack::Reset();
    test.push();
    if (test.assign) ValueStack::PushSized(kKindInt4, 4, "\2\0\0\0");
    EXPECT_EQ(ErrorNumberOf([&] { test.assign ? AssignValue() : DereferenceTopValue(); }), test.number);
  }
}

// "reg += 2": the register index goes with the routine reference, the register is read
// once and written once.
TEST_F(DebugVariablesTest, CompoundAssignmentToARegister) {
  m_memory.SetRegister(3, 40);
  ValueStack::PushSized(kKindOrd2, 2, "\3\0");
  PushRegisterRoutine();
  PrepareAddAssignment();
  ValueStack::PushSized(kKindInt4, 4, "\2\0\0\0");
  OperatorExecutor();
  AssignValue();
  EXPECT_EQ(m_memory.Register(3), 42u);
  EXPECT_EQ(ValueStack::Depth(), 0u);
}

// While locations are kept, a scalar's location becomes a reference that still names
// it (and a second fetch keeps it); a failed command's undo routines end the mode, and
// the reference then gives the value.
TEST_F(DebugVariablesTest, KeepLocationsModeEndsWithItsCommand) {
  m_memory.MapU32(0x6000, 7);
  BeginKeepLocations();
  ValueStack::PushLocation(LocationAt(0x6000, kKindOrd4, 4));
  DereferenceTopValue();
  DereferenceTopValue();
  ASSERT_EQ(ValueStack::TopKind(), kKindPointerLocation);
  ValueStack::DuplicateTop();
  ValueStack::ConvertTopToLocation(0, AddressDescriptor::Null());
  EXPECT_EQ(ValueStack::PopLocation().AddressRef().Offset(), 0x6000u);
  CleanupStack::RunAll();
  DereferenceTopValue();
  ASSERT_EQ(ValueStack::TopKind(), kKindOrd4);
  uint8_t value[ValueStack::kMaxItemSize];
  ValueStack::Pop(value);
  EXPECT_EQ(value[0], 7u);
}

}  // namespace
}  // namespace zentor
