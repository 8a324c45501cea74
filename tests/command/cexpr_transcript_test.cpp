// Whole console sessions of the program with C expressions, debug variables and
// typed values, compared with golden transcripts: first without a program on the
// target, then with a CodeView program loaded and its data in a byte image that
// stands in for the target.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>
#include <string>

#include "command/action_table.h"
#include "command/command_scanner.h"
#include "command/debug_variables.h"
#include "command/grammar_object.h"
#include "command/symbol_lookup_commands.h"
#include "console/cleanup_stack.h"
#include "command/symbol_interpreter.h"
#include "core/program_counter.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "harness/session/loop_session.h"
#include "harness/transcript.h"
#include "expression_generator.h"
#include "integer_oracle.h"
#include "program_stand_in.h"
#include "symbols/symbol_query_test_support.h"

namespace zentor {
namespace {

using testing_support::MatchesGolden;
using testing_support::ScratchDirectory;

std::filesystem::path CexprData(const std::string& name) {
  return std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "cexpr" / name;
}

std::string RunScript(const std::string& script,
                      testing_support::SessionStart start = testing_support::SessionStart::kFresh) {
  ScratchDirectory directory("cexpr-session");
  bool ended = false;
  const std::string output = testing_support::RunProgramSession(
      directory, {"zentor", "-test"}, testing_support::ReadFileBytes(CexprData(script + ".stdin")), &ended, start);
  EXPECT_TRUE(ended);
  return output;
}

// Values of every kind in every base, debug variables defined, redefined and updated
// by every compound operator, strings, the conditional and comma operators, lines
// that go on after an operator, and syntax errors with their carets; names of the
// program answer that no program is loaded.
TEST(CexprTranscriptTest, ValuesAndDebugVariablesWithoutAProgram) {
  EXPECT_TRUE(MatchesGolden(CexprData("values.stdout"), RunScript("values")));
}

class CexprProgramTranscriptTest : public testing_support::SymbolQueryTest {
 protected:
  void TearDown() override {
    SetStartupTestHook(nullptr);
    ProgramCounterRegister::InstallWriter(nullptr);
    ActionTable::ResetToDefaults();
    SymbolQueryTest::TearDown();
    // The program's own interpreter again for the tests that follow.
    InstallCommandSymbolInterpreter();
  }
};

// The program stopped in main's inner block: globals, statics, locals on the frame
// and in registers, members, bit fields, subscripts and pointers read through C
// expressions; assignments through pointers, to array elements, bit fields and
// registers written into the byte image; steps and compound assignments (a step of an
// element whose index assigns assigns once); and the errors of names that are not
// there or not of the kind an operator needs, and of steps of what is no object.
TEST_F(CexprProgramTranscriptTest, ExpressionsOverALoadedProgram) {
  testing_support::BindStandInToHelp(&m_memory);
  EXPECT_TRUE(MatchesGolden(CexprData("program.stdout"), RunScript("program", testing_support::SessionStart::kKeepProgram)));
  EXPECT_EQ(m_memory.Register(testing_support::kTargetEbx), 0x1236u);
}

// Locations and addresses made from expression texts (location texts: a name stands
// for its value, "&" for its location): what each mode accepts and the message of
// what it refuses.
TEST_F(CexprProgramTranscriptTest, LocationsFromExpressionTexts) {
  InstallCommandSymbolInterpreter();
  CommandScanner::InitKeywords();
  BindSymbolLookupActions();
  struct Case {
    const char* name;
    const char* text;
    int32_t mode;
    const char* address;  // "" when refused
    uint32_t number;
  };
  const Case cases[] = {
      {"a variable's value is taken as an address", "g_count", 1, "0x00000005", 0},
      {"the location of a variable", "&g_count", 0, "0x00800000", 0},
      {"the location of a member", "&origin_pt.y", 2, "0x00800134", 0},
      {"an integer becomes an address", "0x800010", 0, "0x00800010", 0},
      {"a procedure is an execution address", "main", 1, "0x00400000", 0},
      {"a data location is no execution address", "&g_count", 1, "", kMsgInvalidExecutionAddress},
      {"an integer wider than 8 bytes", "0x100000000000000000000", 0, "", kMsgInvalidLocationAddress},
      {"a symbol whose frame is not active", ":util.util_init.where", 0, "", kSymbolNotActive},
      {"a name not known", "nosuch", 0, "", 335},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    try {
      const TypedLocation location(RWCString(test.text), test.mode);
      EXPECT_EQ(std::string(location.AddressRef().Text().data()), test.address);
      EXPECT_EQ(std::string(AddressDescriptor(RWCString(test.text), test.mode).Text().data()), test.address);
      EXPECT_EQ(test.number, 0u);
    } catch (const DVError& error) {
      EXPECT_EQ(error.Number(), test.number);
      EXPECT_STREQ(test.address, "");
    }
  }
}

// Seeded random and damaged expressions over the program's names, evaluated against
// the byte image: each ends in a value or a numbered error and leaves the value stack
// as it was; one that ends in a value leaves no undo routine behind.
TEST_F(CexprProgramTranscriptTest, RandomExpressionsOverTheProgramEndInValuesOrNumberedErrors) {
  InstallCommandSymbolInterpreter();
  CommandScanner::InitKeywords();
  BindSymbolLookupActions();
  constexpr uint32_t kSeed = 77123;
  testing_support::ExpressionGenerator generator(
      kSeed, {"g_count", "_table", "origin_pt", "pp", "p", "msg", "names", "u", "k", "nullp", "self", "matrix"});
  uint32_t values = 0;
  for (int i = 0; i < 500; ++i) {
    CleanupStack::Clear();  // as before every command
    const std::string expression = generator.Expression(static_cast<int>(i % 4));
    const std::string text = i % 3 == 2 ? generator.Mutate(expression) : expression;
    SCOPED_TRACE("seed " + std::to_string(kSeed) + " case " + std::to_string(i) + ": " + text);
    uint16_t kind = 0;
    uint8_t value[ValueStack::kMaxItemSize];
    DVError error;
    const DVErrorCode status = ExecuteTextInto(text.c_str(), kProductionExpression, &kind, value, &error);
    if (status.IsOkay()) {
      ++values;
      EXPECT_EQ(CleanupStack::Count(), 0u) << "a finished lookup leaves no undo routine";
    } else {
      EXPECT_NE(error.Number(), 0u);
    }
    EXPECT_EQ(ValueStack::Depth(), 0u);
  }
  EXPECT_GT(values, 50u) << "the generator should make many expressions that evaluate";
}

// Integer expressions over the program's integer variables (read and written in the
// byte image) give the values an independent evaluation gives.
TEST_F(CexprProgramTranscriptTest, RandomIntegerExpressionsOverTheProgramGiveTheirValues) {
  InstallCommandSymbolInterpreter();
  CommandScanner::InitKeywords();
  BindSymbolLookupActions();
  std::vector<testing_support::IntegerExpressionGenerator::Variable> variables;
  for (const char* name : {"g_count", "origin_pt.x", "origin_pt.y"}) {
    uint16_t kind = 0;
    uint8_t value[ValueStack::kMaxItemSize] = {};
    ASSERT_TRUE(ExecuteText(name, kProductionExpression, &kind, value).IsOkay()) << name;
    ASSERT_EQ(kind, kKindInt4) << name;
    variables.push_back({name, testing_support::FromBytes(kind, value)});
  }
  constexpr uint32_t kSeed = 3301;
  testing_support::IntegerExpressionGenerator generator(kSeed, std::move(variables));
  testing_support::ExpectIntegerExpressionsAgree(generator, kSeed, 500);
}

// Steps over the program's variables against what C gives: the value of the
// expression and every variable it reads or writes afterwards, each operand evaluated
// once (an index with its own step goes up by one); a step of what denotes no object
// fails with the message of an assignment to it and changes nothing.
TEST_F(CexprProgramTranscriptTest, StepsGiveCsValuesAndSideEffects) {
  InstallCommandSymbolInterpreter();
  CommandScanner::InitKeywords();
  BindSymbolLookupActions();
  struct Outcome {
    bool okay = false;
    int64_t value = 0;
    uint32_t number = 0;
  };
  const auto evaluate = [](const std::string& text) {
    CleanupStack::Clear();  // as before every command
    uint16_t kind = 0;
    uint8_t bytes[ValueStack::kMaxItemSize] = {};
    DVError error;
    Outcome outcome;
    outcome.okay = ExecuteTextInto(text.c_str(), kProductionExpression, &kind, bytes, &error).IsOkay();
    if (!outcome.okay) {
      outcome.number = error.Number();
      return outcome;
    }
    const uint32_t size = DVPTypeInfo::FromCode(kind).Size();
    uint32_t word = 0;
    for (uint32_t i = size < 4 ? size : 4; i-- > 0;) word = (word << 8) | bytes[i];
    outcome.value = size == 4 ? static_cast<int32_t>(word) : static_cast<int64_t>(word);
    return outcome;
  };
  struct Case {
    const char* name;
    std::vector<const char*> setup;
    const char* text;
    int64_t value;    // when number is 0
    uint32_t number;  // the error, or 0
    std::vector<std::pair<const char*, int64_t>> after;
  };
  const Case cases[] = {
      {"postfix increment", {"k = 4"}, "k++", 4, 0, {{"k", 5}}},
      {"prefix increment", {"k = 4"}, "++k", 5, 0, {{"k", 5}}},
      {"prefix decrement", {"k = 4"}, "--k", 3, 0, {{"k", 3}}},
      {"negated postfix step", {"k = 4"}, "-k++", -4, 0, {{"k", 5}}},
      {"element indexed by a step", {"k = 2", "_table[2] = 7", "_table[3] = 30"}, "_table[k++]++", 7, 0,
       {{"k", 3}, {"_table[2]", 8}, {"_table[3]", 30}}},
      {"element decremented, indexed by a decrement", {"k = 3", "_table[2] = 7", "_table[1] = 100"},
       "--_table[--k]", 6, 0, {{"k", 2}, {"_table[2]", 6}, {"_table[1]", 100}}},
      {"prefix step of an element indexed by a postfix one", {"k = 2", "_table[2] = 7"}, "++_table[k--]", 8, 0,
       {{"k", 1}, {"_table[2]", 8}}},
      {"steps nested through two indexes", {"k = 0", "_table[0] = 5", "_table[5] = 50"}, "_table[_table[k++]++]++",
       50, 0, {{"k", 1}, {"_table[0]", 6}, {"_table[5]", 51}}},
      {"member of a structure", {"origin_pt.y = 22"}, "origin_pt.y++", 22, 0, {{"origin_pt.y", 23}}},
      {"bit field", {"origin_pt.flags = 5"}, "origin_pt.flags++", 5, 0, {{"origin_pt.flags", 6}}},
      {"member through a pointer in a register", {"p->x = 11"}, "p->x--", 11, 0, {{"p->x", 10}}},
      {"member through a pointer in memory", {"pp->y = 3"}, "++pp->y", 4, 0, {{"pp->y", 4}}},
      {"character in a register", {"tmp = 121"}, "tmp++", 121, 0, {{"tmp", 122}}},
      {"pointer stepped after its target is read", {}, "*msg++", 'a', 0, {{"*msg", 'b'}}},
      {"pointer stepped before its target is read", {}, "*--msg", 'a', 0, {{"*msg", 'a'}}},
      {"constant", {}, "1++", 0, kMsgUnsupportedAssignment, {}},
      {"sum", {"g_count = 5"}, "(g_count + 1)++", 0, kMsgUnsupportedAssignment, {{"g_count", 5}}},
      {"step of a step", {"g_count = 5"}, "g_count++ ++", 0, kMsgUnsupportedAssignment, {{"g_count", 5}}},
      {"prefix step of a postfix step", {"k = 4"}, "++k--", 0, kMsgUnsupportedAssignment, {{"k", 4}}},
      {"assignment", {"g_count = 5"}, "(g_count = 3)++", 0, kMsgUnsupportedAssignment, {{"g_count", 5}}},
      {"comma", {"k = 4", "g_count = 5"}, "--(k, g_count)", 0, kMsgUnsupportedAssignment,
       {{"k", 4}, {"g_count", 5}}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    for (const char* setup : test.setup) ASSERT_TRUE(evaluate(setup).okay) << setup;
    const Outcome outcome = evaluate(test.text);
    EXPECT_EQ(outcome.okay, test.number == 0) << test.text << " failed with " << outcome.number;
    if (test.number == 0) {
      EXPECT_EQ(outcome.value, test.value) << test.text;
    } else {
      EXPECT_EQ(outcome.number, test.number) << test.text;
    }
    EXPECT_EQ(ValueStack::Depth(), 0u);
    for (const auto& [name, value] : test.after) {
      const Outcome read = evaluate(name);
      ASSERT_TRUE(read.okay) << name;
      EXPECT_EQ(read.value, value) << name;
    }
  }
}

}  // namespace
}  // namespace zentor
