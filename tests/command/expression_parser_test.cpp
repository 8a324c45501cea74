// The C expression front end inside commands: each command is parsed through the
// command-string device as the command loop parses it, so the expression hand-over,
// the expression lexer, the parser and the code generator all take part. Checked
// are the code of representative expressions (a golden listing), the parser's
// edge cases by what the user sees (the command parses, or the caret and message of
// its syntax error), the flags it leaves, and seeded random and damaged expressions,
// which must always end in code or a numbered error.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "command/command_parser.h"
#include "command/command_scanner.h"
#include "command/expression_parser.h"
#include "command/grammar_object.h"
#include "command/symbol_lookup_commands.h"
#include "console/cleanup_stack.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "core/dv_error.h"
#include "core/memory_file.h"
#include "core/number_base.h"
#include "core/value_stack.h"
#include "harness/transcript.h"
#include "expression_generator.h"
#include "integer_oracle.h"
#include "postfix_test_support.h"

namespace zentor {
namespace {

using testing_support::CodeListing;

struct ParseOutcome {
  bool parsed = false;
  bool raised = false;
  bool readPastEnd = false;  // the command went on past its text (a continued line)
  uint32_t number = 0;
  std::string text;
  int caret = -1;  // the blanks before the caret of a syntax error
  MemoryFileHandle code = kNullMemoryFile;
};

class ExpressionParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_directory = std::make_unique<testing_support::ScratchDirectory>("cexpr");
    m_session = std::make_unique<testing_support::ConsoleSession>(*m_directory, "");
    CommandScanner::InitKeywords();
    CommandScanner::AddKeyword(133, 43, "pointer");
    ActionTable::ResetToDefaults();
    BindSymbolLookupActions();
    CommandParserLL::ResetSaveStack();
    CleanupStack::Clear();
    ValueStack::Create();
    ValueStack::Reset();
    (void)SetNumberBase(10);
    ResetExpressionParserFlags();
  }

  void TearDown() override {
    for (const MemoryFileHandle code : m_codes) DestroyMemoryFile(code);
    ActionTable::ResetToDefaults();
    m_session.reset();
    m_directory.reset();
  }

  // One command (mode 0, "\r\n" appended) or stored text (mode 1, "\r").
  ParseOutcome Parse(const std::string& command, uint8_t mode = kParseCommand) {
    ParseOutcome outcome;
    const uint16_t depth = DeviceStackDepth();
    PushCommandString((command + (mode == kParseCommand ? "\r\n" : "\r")).c_str());
    try {
      outcome.parsed = CommandParserLL::ParseCommand(mode, &outcome.code);
    } catch (const DVError& error) {
      outcome.raised = true;
      outcome.number = error.Number();
      outcome.text = error.Text().data();
      if (error.ArgumentCount() > 0) outcome.caret = static_cast<int>(error.Argument(0).length());
      CleanupStack::RunAll();
      CommandScanner::ResetForCommand();
      CommandParserLL::ResetSaveStack();
      while (CompoundLevel() > 0) LeaveCompound();
    } catch (const testing_support::ProgramExited&) {
      outcome.readPastEnd = true;
      CommandScanner::ResetForCommand();
      CommandParserLL::ResetSaveStack();
      while (CompoundLevel() > 0) LeaveCompound();
    }
    while (DeviceStackDepth() > depth) EndDevice();
    if (outcome.code != kNullMemoryFile) m_codes.push_back(outcome.code);
    return outcome;
  }

  std::unique_ptr<testing_support::ScratchDirectory> m_directory;
  std::unique_ptr<testing_support::ConsoleSession> m_session;
  std::vector<MemoryFileHandle> m_codes;
};

std::filesystem::path CexprData(const std::string& name) {
  return std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "cexpr" / name;
}

TEST_F(ExpressionParserTest, CodeOfRepresentativeExpressionsMatchesGolden) {
  std::ifstream input(CexprData("listings.txt"));
  ASSERT_TRUE(input) << "missing listings.txt";
  std::string dump;
  std::string line;
  while (std::getline(input, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.rfind("--", 0) == 0) continue;
    uint8_t mode = kParseCommand;
    std::string command = line;
    if (command.rfind("text: ", 0) == 0) {
      command = command.substr(6);
      mode = kParseForGrammarObject;
    }
    for (size_t at; (at = command.find("<NL>")) != std::string::npos;) command.replace(at, 4, "\r\n");
    const ParseOutcome outcome = Parse(command, mode);
    dump += "> " + line + "\n";
    if (outcome.raised) {
      dump += "error " + std::to_string(outcome.number) + ": " + outcome.text + "\n";
    } else if (!outcome.parsed) {
      dump += "parse failed\n";
    } else {
      dump += CodeListing(outcome.code);
    }
  }
  EXPECT_TRUE(testing_support::MatchesGolden(CexprData("listings.golden"), dump));
}

// Whether a command parses or ends in a syntax error (the caret positions are checked
// by the console transcripts: a command string carries no input columns).
TEST_F(ExpressionParserTest, EdgeCasesParseOrEndInSyntaxErrors) {
  struct Case {
    const char* name;
    const char* command;
    bool parses;
  };
  const Case cases[] = {
      {"statement ended by a semicolon", "? count; halt", true},
      {"expression ended by dollar", "? count $", false},
      {"struct cast without a declarator", "? (struct S)x + 1", true},
      {"cast of a pointer declarator", "? (union U *)x", true},
      {"sizeof takes a parenthesised name", "? sizeof(x)", true},
      {"sizeof without parentheses", "? sizeof x", false},
      {"sizeof of an expression", "? sizeof(x+1)", false},
      {"no function calls", "? f(1)", false},
      {"a word never ends an expression", "? x step", false},
      {"open parenthesis at the end", "? (x", false},
      {"dereference of a constant", "? *100", false},
      {"address of a constant", "? &5", false},
      {"dereference of a name", "? *p", true},
      {"path-star of an increment", "*++p = 1", false},
      {"path-star of a bracketed increment", "*(++p) = 1", true},
      {"path-star of a constant", "*5 = 1", false},
      {"designator leaves = to the command", ":mod.var = 1", true},
      {"symbol path leaves = to the command", "x[i].y = 3", true},
      {"assignment is right-associative", "? a = b = c", true},
      {"conditional nests to the right", "? a ? b : c ? d : e", true},
      {"unknown character", "? a @ b", false},
      {"C keywords are no type names", "? (int *)p", false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const ParseOutcome outcome = Parse(test.command);
    EXPECT_EQ(outcome.parsed, test.parses) << outcome.text;
    EXPECT_EQ(outcome.raised, !test.parses);
    if (!test.parses) {
      EXPECT_EQ(outcome.number, 103u) << outcome.text;
    }
    // Nothing of a failed expression is left for the next command.
    EXPECT_EQ(ExprParseFailed, 0);
  }
}

// The flags the scanner and the code generator consult after a run.
TEST_F(ExpressionParserTest, FlagsAfterStatementsErrorsAndRejections) {
  struct Case {
    const char* name;
    const char* command;
    uint16_t operandComplete;
    uint16_t inDesignator;
  };
  const Case cases[] = {
      {"expression statement", "? a + b", 1, 0},
      {"designator statement", "x.y = 1", 1, 0},
      {"syntax error", "? a + )", 1, 0},
      {"rejected operand", "? &5", 1, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    (void)Parse(test.command);
    EXPECT_EQ(ExprOperandComplete, test.operandComplete);
    EXPECT_EQ(ExprInDesignator, test.inDesignator);
    EXPECT_EQ(ExprQualifyPending, 1);
  }
}

// Nesting deeper than the parse stack holds ends the run in the parser's own failure
// (a syntax error of the command), never in a stack overflow; the parser works again
// afterwards.
TEST_F(ExpressionParserTest, DeepNestingEndsInTheParsersOwnError) {
  for (const int depth : {60, 74, 75, 150, 5000}) {
    SCOPED_TRACE(depth);
    const std::string opened = "? " + std::string(static_cast<size_t>(depth), '(') + "1";
    const ParseOutcome unclosed = Parse(opened);
    EXPECT_TRUE(unclosed.raised);
    const ParseOutcome closed = Parse(opened + std::string(static_cast<size_t>(depth), ')'));
    EXPECT_EQ(closed.parsed, depth < 74) << closed.text;
    EXPECT_EQ(closed.raised, depth >= 74);
    const ParseOutcome prefixes = Parse("? " + std::string(static_cast<size_t>(depth), '!') + "1");
    EXPECT_EQ(prefixes.parsed, depth < 148) << prefixes.text;
  }
  // A long chain of operators takes no room on the parse stack but makes a deep tree;
  // one too long for the code generator ends the same way.
  std::string chain = "? 1";
  for (int i = 0; i < 100; ++i) chain += "+1";
  EXPECT_TRUE(Parse(chain).parsed);
  for (int i = 0; i < 20000; ++i) chain += "-1";
  EXPECT_TRUE(Parse(chain).raised);
  EXPECT_TRUE(Parse("? 1 + 2").parsed);
  // A step of a step steps no object: however deep (a fuzzer's input took 20 seconds
  // at 18 levels when each level generated its operand twice), the text parses at
  // once into the refusal of its outermost step, which the differential table of the
  // steps runs.
  for (const int levels : {3, 40}) {
    SCOPED_TRACE(levels);
    std::string steps = "? x";
    for (int i = 0; i < levels; ++i) steps += "--";
    const ParseOutcome outcome = Parse(steps);
    EXPECT_TRUE(outcome.parsed) << outcome.text;
    if (outcome.parsed) { EXPECT_LE(MemoryFileOf(outcome.code).Size(), 1024u); }
  }
  EXPECT_TRUE(Parse("? 1 + 2").parsed);
}

// The code of a text grows with its length, however its steps nest: were an operand
// with side effects generated twice (to fetch and to store), each level of steps
// nested in steps (directly, through an index or through a pointer) would double it.
// A nesting whose code would outgrow the text ends as a failed expression. One
// generation step writes a few instructions of a few bytes and a name, a text may
// take 16 steps per node and each node takes at least one character: 1,024 bytes of
// code per character leaves room to spare, while each level that doubles the code
// outgrows it within a few levels more.
TEST_F(ExpressionParserTest, CodeGrowsWithTheTextNotWithTheNestingOfSteps) {
  struct Nesting {
    const char* name;
    const char* open;
    const char* close;
  };
  const Nesting nestings[] = {
      {"postfix steps", "", "++"},
      {"steps of elements indexed by steps", "a[", "]++"},
      {"prefix steps through pointers", "*++", ""},
  };
  for (const Nesting& nesting : nestings) {
    for (const int levels : {1, 2, 3, 6, 9, 12, 15}) {
      SCOPED_TRACE(std::string(nesting.name) + ", " + std::to_string(levels) + " levels");
      std::string text = "i";
      for (int i = 0; i < levels; ++i) text = nesting.open + text + nesting.close;
      const ParseOutcome outcome = Parse("? " + text);
      EXPECT_EQ(outcome.parsed, !outcome.raised) << outcome.text;
      if (levels <= 3) { EXPECT_TRUE(outcome.parsed) << outcome.text; }
      if (outcome.parsed) { EXPECT_LE(MemoryFileOf(outcome.code).Size(), 1024u * text.size()); }
    }
  }
}

// A grammar object's text that does not parse keeps status 102 and raises nothing.
TEST_F(ExpressionParserTest, StoredTextsThatFailKeepStatus102) {
  for (const char* text : {"a +", "f(1)", "*5", "(((", "x step", "1 2"}) {
    SCOPED_TRACE(text);
    GrammarObject object(text, kProductionExpression);
    EXPECT_EQ(object.Status().Number(), kMsgExpressionSyntaxError);
  }
}

// ---- random and damaged expressions ---------------------------------------------------------

// Every text ends in code or a numbered error, in a command and as a stored text;
// evaluated (without a program) it ends in a value or a numbered error.
TEST_F(ExpressionParserTest, RandomAndDamagedExpressionsEndInCodeOrNumberedErrors) {
  constexpr uint32_t kSeed = 20261207;
  testing_support::ExpressionGenerator generator(kSeed);
  for (int i = 0; i < 600; ++i) {
    const std::string expression = generator.Expression(static_cast<int>(i % 5));
    const std::string text = i % 2 == 0 ? expression : generator.Mutate(expression);
    SCOPED_TRACE("seed " + std::to_string(kSeed) + " case " + std::to_string(i) + ": " + text);
    const ParseOutcome command = Parse("? " + text);
    EXPECT_TRUE(command.parsed || command.raised || command.readPastEnd);
    if (command.raised) {
      EXPECT_NE(command.number, 0u) << command.text;
    }
    EXPECT_EQ(CommandParserLL::SavedStateCount(), 0u);
    uint16_t resultKind = 0;
    uint8_t value[ValueStack::kMaxItemSize];
    DVError error;
    const DVErrorCode status = ExecuteTextInto(text.c_str(), kProductionExpression, &resultKind, value, &error);
    if (!status.IsOkay()) {
      EXPECT_NE(error.Number(), 0u);
    }
    EXPECT_EQ(ValueStack::Depth(), 0u);
  }
}

// Integer expressions over literals of every width give the values (and errors)
// that an independent evaluation of them gives.
TEST_F(ExpressionParserTest, RandomIntegerExpressionsGiveTheirValues) {
  constexpr uint32_t kSeed = 33;
  testing_support::IntegerExpressionGenerator generator(kSeed, {});
  testing_support::ExpectIntegerExpressionsAgree(generator, kSeed, 600);
}

}  // namespace
}  // namespace zentor
