// Grammar objects: texts parsed once behind a production prefix and run again and
// again through the executor, with their status and last error; the one-step text
// services; the reduction of trailing white space.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "command/action_table.h"
#include "command/command_scanner.h"
#include "command/grammar_object.h"
#include "command/postfix_executor.h"
#include "command/procedure_call.h"
#include "console/command_device.h"
#include "console/output_writer.h"
#include "core/dvp_types.h"
#include "core/number_base.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"
#include "harness/transcript.h"

namespace zentor {
namespace {

// The rule written out plainly: a run of two or more trailing white-space characters
// is cut to its first one.
std::string ReferenceReduction(const std::string& text) {
  auto white = [](char ch) { return std::string(" \b\f\n\r\t").find(ch) != std::string::npos; };
  std::size_t start = text.size();
  while (start > 0 && white(text[start - 1])) --start;
  if (text.size() - start < 2) return text;
  return text.substr(0, start + 1);
}

TEST(TrailingWhiteSpaceTest, MatchesThePlainRuleOnRandomTexts) {
  const uint32_t seed = 4242;
  std::mt19937 random(seed);
  const std::string alphabet = "ab \t\r\n\b\f";
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    const int length = static_cast<int>(random() % 9);
    for (int j = 0; j < length; ++j) text += alphabet[random() % alphabet.size()];
    const RWCString reduced = ReduceTrailingWhiteSpace(RWCString(text.data(), static_cast<uint32_t>(text.size())));
    ASSERT_EQ(std::string(reduced.data(), reduced.length()), ReferenceReduction(text))
        << "seed " << seed << ", text " << testing_support::Visible(text);
  }
}

// What "help" and the option reader of "load" raise in these tests (start-up binds
// their routines in the program): a command that fails, and a parse that fails.
constexpr uint32_t kMsgScripted = 35;
void RaiseScripted() { throw DVError(kMsgScripted, kSeverityError); }

class GrammarObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetConsoleModules(true);
    ActionTable::Bind(183, &RaiseScripted, "RaiseScripted");
    ActionTable::Bind(170, &RaiseScripted, "RaiseScripted");
    CommandScanner::InitKeywords();
    CommandScanner::SetDefinitionReleaser(&ReleaseDefinedProcedure);
    ValueStack::Create();
    ValueStack::Reset();
    InitPostfixExecutor();
    ResetPostfixExecutor();
    SetNumberBase(10);
    OutputWriter::InstallHook([this](char ch) { m_output += ch; });
  }
  void TearDown() override {
    OutputWriter::RemoveHook();
    SetNumberBase(10);
    ActionTable::ResetToDefaults();
    testing_support::ResetConsoleModules(true);
  }

  std::string m_output;
};

uint32_t Word32(const uint8_t* value) { return value_bytes::LoadU32(value); }

TEST_F(GrammarObjectTest, TextIsNamedAndParsedBehindItsPrefix) {
  struct Case {
    const char* name;
    const char* text;
    int32_t kind;
    const char* prefix;
    const char* storedText;
    uint32_t status;
    bool hasCode;
  };
  const Case cases[] = {
      {"only blanks: not parsed", "   ", kProductionLocation, "", "", 102, false},
      {"only white space: not parsed", " \t\r ", kProductionLocation, "", "", 102, false},
      {"empty", "", kProductionCommand, "", "", 102, false},
      {"two trailing blanks become one", "6 * 7  ", kProductionLocation, "_PA_", "6 * 7 \r", 0, true},
      {"one trailing blank stays", "6 * 7 ", kProductionLocation, "_PA_", "6 * 7 \r", 0, true},
      {"command", "base = 16", kProductionCommand, "_DC_", "base = 16\r", 0, true},
      {"condition", "if (1 < 2)", kProductionCondition, "_IE_", "if (1 < 2)\r", 0, true},
      {"condition refuses other texts", "base = 2", kProductionCondition, "_IE_", "base = 2\r", 102, false},
      {"syntax error", "6 + ) 7", kProductionLocation, "_PA_", "6 + ) 7\r", 102, false},
      {"an error raised while parsing is a syntax error", "load prog.nlm", kProductionCommand, "_DC_",
       "load prog.nlm\r", 102, false},
      {"a literal too large", "0x1ffffffffffffffffffffffffffffffff", kProductionLocation, "_PA_",
       "0x1ffffffffffffffffffffffffffffffff\r", 102, false},
      {"unknown kind", "6", 9, "", "", 105, false},
      {"unknown negative kind", "6", -2, "", "", 105, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const uint16_t devices = DeviceStackDepth();
    GrammarObject object(test.text, test.kind);
    EXPECT_EQ(object.Status().Number(), test.status);
    EXPECT_EQ(std::string(object.Prefix().data()), test.prefix);
    EXPECT_EQ(std::string(object.Text().data()), test.storedText);
    EXPECT_EQ(object.Code() != kNullMemoryFile, test.hasCode);
    EXPECT_EQ(DeviceStackDepth(), devices) << "the text's command string is gone";
  }
  // The error that stopped a parse stays as the last error.
  GrammarObject stopped("load prog.nlm", kProductionCommand);
  DVError last;
  stopped.LastError(&last);
  EXPECT_EQ(last.Number(), kMsgScripted);
}

TEST_F(GrammarObjectTest, EvaluationGivesTheResultAndLeavesTheStacksAsTheyWere) {
  struct Case {
    const char* name;
    const char* text;
    int32_t kind;
    uint32_t status;
    uint16_t resultKind;
    uint32_t value;  // the result's first 32 bits
  };
  const Case cases[] = {
      {"arithmetic", "6 * 7", kProductionLocation, 0, kKindInt4, 42},
      {"precedence", "2 + 3 * 4 - 1", kProductionLocation, 0, kKindInt4, 13},
      {"condition true", "if (2 < 3)", kProductionCondition, 0, kKindBool1, 1},
      {"condition false", "if (3 < 2)", kProductionCondition, 0, kKindBool1, 0},
      {"a command leaves nothing", "base = 16", kProductionCommand, 0, 0, 0},
      {"a failing command", "help", kProductionCommand, kMsgScripted, 0, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    PushWord32(0xABCD);  // an item of the command around the evaluation
    GrammarObject object(test.text, test.kind);
    ASSERT_TRUE(object.Status().IsOkay());
    for (int round = 0; round < 2; ++round) {
      DVErrorCode status;
      uint16_t resultKind = 0xEEEE;
      uint8_t value[ValueStack::kMaxItemSize] = {};
      object.Evaluate(&status, &resultKind, value);
      EXPECT_EQ(status.Number(), test.status);
      EXPECT_EQ(object.Status().Number(), test.status);
      EXPECT_EQ(resultKind, test.resultKind);
      if (test.resultKind != 0) {
        EXPECT_EQ(Word32(value), test.value);
      }
      DVError last;
      object.LastError(&last);
      EXPECT_EQ(last.Number(), test.status);
      EXPECT_EQ(ValueStack::Depth(), 1u);
      EXPECT_EQ(PeekWord32(), 0xABCDu);
      EXPECT_EQ(PostfixExecutor::CodeStackDepth(), 0);
    }
    ValueStack::Reset();
  }
  EXPECT_EQ(GetNumberBase(), 16u) << "the command ran";
}

TEST_F(GrammarObjectTest, FailureInsideANestedRunLeavesNoCodeBehind) {
  DVErrorCode status;
  uint16_t kind = 0;
  uint8_t value[ValueStack::kMaxItemSize];
  status = ExecuteText("define proc failing() { base = 2 ; help }", kProductionCommand, &kind, value);
  ASSERT_TRUE(status.IsOkay()) << status.Number();
  GrammarObject call("failing(1)", kProductionCommand);
  ASSERT_TRUE(call.Status().IsOkay());
  call.Evaluate(&status, &kind, value);
  EXPECT_EQ(status.Number(), kMsgScripted);
  EXPECT_EQ(PostfixExecutor::CodeStackDepth(), 0);
  EXPECT_EQ(ValueStack::Depth(), 0u);
  EXPECT_EQ(GetNumberBase(), 2u) << "the procedure ran up to its failure";
}

TEST_F(GrammarObjectTest, ObjectWithoutCodeFailsAndCopiesCarryTheError) {
  GrammarObject broken("6 + ) 7", kProductionLocation);
  ASSERT_EQ(broken.Status().Number(), kMsgExpressionSyntaxError);
  DVErrorCode status;
  uint16_t kind = 0;
  uint8_t value[ValueStack::kMaxItemSize];
  broken.Evaluate(&status, &kind, value);
  EXPECT_EQ(status.Number(), kMsgExpressionExecutionError);
  EXPECT_EQ(status.Severity(), kSeverityError);
  GrammarObject copy(broken);
  DVError last;
  copy.LastError(&last);
  EXPECT_EQ(last.Number(), kMsgExpressionExecutionError);
  EXPECT_EQ(copy.Status().Number(), 0u) << "a copy starts with the status of its own copying";
  GrammarObject assigned;
  assigned = broken;
  EXPECT_EQ(assigned.Status().Number(), kMsgExpressionExecutionError);
}

TEST_F(GrammarObjectTest, CopiesOwnTheirCode) {
  auto original = std::make_unique<GrammarObject>("6 * 7", kProductionLocation);
  GrammarObject copy(*original);
  GrammarObject assigned;
  assigned = *original;
  GrammarObject fromCode(original->Code(), "six times seven");
  EXPECT_EQ(std::string(fromCode.Text().data()), "six times seven\r");
  EXPECT_EQ(std::string(fromCode.Prefix().data()), "");
  original.reset();
  for (GrammarObject* object : {&copy, &assigned, &fromCode}) {
    DVErrorCode status;
    uint16_t kind = 0;
    uint8_t value[ValueStack::kMaxItemSize];
    object->Evaluate(&status, &kind, value);
    EXPECT_TRUE(status.IsOkay());
    EXPECT_EQ(Word32(value), 42u);
  }
}

TEST_F(GrammarObjectTest, OnlyTheFirstLineOfATextIsEverRun) {
  DVErrorCode status;
  uint16_t kind = 0;
  uint8_t value[ValueStack::kMaxItemSize];
  const uint16_t devices = DeviceStackDepth();
  status = ExecuteText("base = 2\rbase = 16", kProductionCommand, &kind, value);
  EXPECT_TRUE(status.IsOkay());
  EXPECT_EQ(GetNumberBase(), 2u);
  EXPECT_EQ(DeviceStackDepth(), devices);
}

TEST_F(GrammarObjectTest, ResultsBecomeLocations) {
  struct Case {
    const char* name;
    const char* text;
    int32_t kind;
    uint32_t status;
    uint32_t locationKind;
    uint32_t offset;
  };
  const Case cases[] = {
      {"integer, access class 1", "0x1000 + 16", kProductionLocation, 0, kLocationFromSmallInteger, 0x1010},
      {"integer, access class 2", "0x2000", kProductionLocationClass2, 0, kLocationFromSmallInteger, 0x2000},
      {"boolean is no address", "if (1 < 2)", kProductionCondition, kMsgNotResolvableToAddress, 0, 0},
      {"a syntax error", "0x ) 1", kProductionLocation, kMsgExpressionSyntaxError, 0, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    uint32_t locationKind = 0xEE;
    TypedLocation location;
    DVError error;
    const DVErrorCode status = EvaluateTextToLocationInto(test.text, test.kind, &locationKind, &location, &error);
    EXPECT_EQ(status.Number(), test.status);
    EXPECT_EQ(error.Number(), test.status);
    if (test.status == 0) {
      EXPECT_EQ(locationKind, test.locationKind);
      EXPECT_EQ(location.Address().Offset(), test.offset);
    }
    EXPECT_EQ(ValueStack::Depth(), 0u);
  }
}

}  // namespace
}  // namespace zentor
