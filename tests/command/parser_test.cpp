// The LL(1) command parser: commands are parsed through the command-string device
// as the command loop and the grammar objects parse them, and what the parser makes
// of them is checked three ways: a corpus of command lines whose code is printed and
// compared with a golden file (and which must exercise every alternative of the
// grammar), syntax errors with their caret lines, and control structures whose code
// runs on the real executor with recording routines.

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "command/command_grammar.h"
#include "command/command_parser.h"
#include "command/command_scanner.h"
#include "command/postfix_code.h"
#include "command/postfix_emit.h"
#include "command/postfix_executor.h"
#include "postfix_test_support.h"
#include "console/cleanup_stack.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "core/dv_error.h"
#include "core/message_table.h"
#include "core/memory_file.h"
#include "core/number_base.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "harness/transcript.h"

namespace zentor {
namespace {

using testing_support::ConditionRoutine;
using testing_support::CodeListing;
using testing_support::ConditionScript;
using testing_support::RecordRoutine;
using testing_support::ResetExecution;
using testing_support::TraceText;

// ---- a stand-in C expression parser ------------------------------------------------
//
// Reads a small expression language through the scanner as the expression lexer
// does (every token it takes is also left in the scanner's push-back record), and
// emits the text it read as a string followed by a call of "Expression:<form>". Like
// the real code generator it overwrites the token record's text while it emits.

void ExpressionCodeRoutine() {}

class StubExpression {
 public:
  int32_t Parse() {
    Next();
    bool ok = false;
    switch (CurrentToken().code) {
      case grammar_token::kPathName:
        m_form = "path";
        ok = PathRest(true);
        break;
      case grammar_token::kPathStar:
        m_form = "deref";
        Append("*");
        Next();
        ok = Primary();
        break;
      case grammar_token::kPathAmpersand:
        m_form = "address";
        Append("&");
        Next();
        ok = PathRest(false);
        break;
      case grammar_token::kColon:
        m_form = "scope";
        Append(":");
        Next();
        ok = Scope();
        break;
      default:
        m_form = "expression";
        ok = Expression();
        break;
    }
    if (!ok) {
      ExprParseFailed = 1;
      return 1;
    }
    TokenRecord& token = CurrentToken();
    SetTokenText(token, m_text.c_str());
    token.tag = 0;
    EmitString();
    EmitCall(&ExpressionCodeRoutine, ("Expression:" + m_form).c_str());
    return 0;
  }

 private:
  static void Next() {
    ExprOperandComplete = 1;
    CommandScanner::NextToken(true);
    CommandScanner::PushBackRecord() = CurrentToken();
  }
  static bool IsName(const TokenRecord& token) {
    switch (token.code) {
      case 0: case 4: case 138: case 167: case 170: case 175: case 253: return false;
      default: break;
    }
    const auto first = static_cast<unsigned char>(token.text[0]);
    return token.textLength > 0 && (std::isalpha(first) || std::strchr("_?@$", first) != nullptr);
  }
  void Append(const std::string& text) { m_text += text; }
  void AppendToken() {
    const TokenRecord& token = CurrentToken();
    if (token.code == 170) {
      uint64_t value = 0;
      for (int i = std::min<int>(token.textLength, 8) - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<uint8_t>(token.text[i]);
      }
      Append(std::to_string(value));
    } else if (token.code == 175) {
      Append("\"" + std::string(token.text + 1, static_cast<uint8_t>(token.text[0])) + "\"");
    } else if (token.code == 138) {
      Append("'" + std::string(1, token.text[0]) + "'");
    } else if (token.code == 167) {
      Append("<real>");
    } else if (token.code == 0) {
      const auto value = static_cast<uint16_t>(static_cast<uint8_t>(token.text[0]) |
                                               (static_cast<uint8_t>(token.text[1]) << 8));
      Append("#" + std::to_string(value));
    } else {
      Append(std::string(token.text, token.textLength));
    }
  }
  // A name (already current when `haveName`) and its selectors.
  bool PathRest(bool haveName) {
    if (!haveName && !IsName(CurrentToken())) return false;
    AppendToken();
    Next();
    for (;;) {
      const uint8_t code = CurrentToken().code;
      if (code == 13 || code == 14) {  // "." "->"
        AppendToken();
        Next();
        if (!IsName(CurrentToken())) return false;
        AppendToken();
        Next();
      } else if (code == 16) {  // "["
        AppendToken();
        Next();
        if (!Expression() || CurrentToken().code != 20) return false;
        AppendToken();
        Next();
      } else if (code == 33 || code == 29) {  // "++" "--"
        AppendToken();
        Next();
        return true;
      } else {
        return true;
      }
    }
  }
  bool Scope() {
    if (!IsName(CurrentToken())) return false;
    AppendToken();
    Next();
    if (CurrentToken().code == 13) {
      AppendToken();
      Next();
      if (!IsName(CurrentToken())) return false;
      AppendToken();
      Next();
    } else if (CurrentToken().code == 0) {
      AppendToken();
      Next();
    }
    return true;
  }
  bool Primary() {
    const TokenRecord& token = CurrentToken();
    if (IsName(token)) return PathRest(true);
    switch (token.code) {
      case 170: case 167: case 175: case 138:
        AppendToken();
        Next();
        return true;
      case 156:  // "("
        AppendToken();
        Next();
        if (!Expression() || CurrentToken().code != 157) return false;
        AppendToken();
        Next();
        return true;
      case 25: case 23: case 5: case 33: case 29:  // unary operators
        AppendToken();
        Next();
        return Primary();
      case 165:  // "&"
        AppendToken();
        Next();
        return PathRest(false);
      default: return false;
    }
  }
  bool Expression() {
    if (!Primary()) return false;
    for (;;) {
      const uint8_t code = CurrentToken().code;
      if (code != 23 && code != 5 && code != 132 && code != 111 && code != 115 && code != 165) return true;
      AppendToken();
      Next();
      if (!Primary()) return false;
    }
  }

  std::string m_form;
  std::string m_text;
};

int32_t StubExpressionParser() { return StubExpression().Parse(); }

// ---- printing code ---------------------------------------------------------------------

// ---- the fixture -------------------------------------------------------------------------

// What became of one parse.
struct ParseOutcome {
  bool parsed = false;
  MemoryFileHandle code = kNullMemoryFile;
  bool raised = false;
  uint32_t number = 0;
  std::string text;  // the error's text with its arguments

  std::string ErrorLine() const { return "error " + std::to_string(number) + ": " + text; }
};

std::vector<uint32_t>& ProductionUses() {
  static std::vector<uint32_t> uses;
  return uses;
}

void CountProduction(uint32_t production) {
  if (production >= ProductionUses().size()) ProductionUses().resize(production + 1, 0);
  ++ProductionUses()[production];
}

void NoEffect() {}

// Parse-time routines of the define and load commands, which later subsystems
// provide: what the grammar needs of them to go on.
void StandInTypeWordToken() { CurrentToken().subcode = 119; }
void StandInDefineAlias() {
  for (int i = 0; i < 2 && ValueStack::TopKind() != kKindEmpty; ++i) ValueStack::Drop();
}

void BindParseTimeStandIns() {
  ActionTable::Bind(59, &StandInTypeWordToken, "ConvertTypeWordToken (stand-in)");
  ActionTable::Bind(132, &StandInDefineAlias, "DefineAlias (stand-in)");
  ActionTable::Bind(164, &NoEffect, "TakeRawLineArgument (stand-in)");
  ActionTable::Bind(167, &NoEffect, "TakeFileNameArgument (stand-in)");
  ActionTable::Bind(170, &NoEffect, "LoadOptionNoOp (stand-in)");
}

class CommandParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_directory = std::make_unique<testing_support::ScratchDirectory>("parser");
    // Standard input is an empty file: a parse that read past its command string
    // would meet the end of the input instead of waiting for a key.
    m_session = std::make_unique<testing_support::ConsoleSession>(*m_directory, "");
    CommandScanner::InitKeywords();
    // The target's words and a few register names, as the target interface adds them.
    const struct {
      const char* text;
      uint8_t token;
      uint16_t subcode;
    } targetWords[] = {{"unload", 62, 0},  {"loadsym", 53, 0}, {"nlms", 49, 0},     {"waitingthreads", 47, 0},
                       {"screens", 45, 0}, {"runqueue", 39, 0}, {"stack", 59, 0},   {"threads", 30, 0},
                       {"clearsym", 28, 0}, {"regs", 61, 1},   {"fregs", 61, 2},    {"pointer", 133, 43},
                       {"sw", 10, 1},      {"hw", 8, 2},       {"acc", 7, 3},       {"wr", 6, 4},
                       {"eax", 18, 0},     {"ebx", 18, 1},     {"ofl", 18, 20}};
    for (const auto& word : targetWords) CommandScanner::AddKeyword(word.token, word.subcode, word.text);
    // A debug variable and a procedure, as the define commands enter them.
    CommandScanner::AddKeywordEntry(119, 17, 1, 0, "count");
    CommandScanner::AddKeywordEntry(84, 0, 1, 7, "myproc");
    ActionTable::ResetToDefaults();
    SetExpressionParser(&StubExpressionParser, nullptr);
    CommandParserLL::ResetSaveStack();
    CleanupStack::Clear();
    (void)SetNumberBase(10);
    ResetExecution();
  }

  void TearDown() override {
    ActionTable::ResetToDefaults();
    RestoreExpressionParser();
    CommandParserLL::SetProductionObserver(nullptr);
    for (const MemoryFileHandle code : m_codes) DestroyMemoryFile(code);
    m_session.reset();
    m_directory.reset();
  }

  // Parses one command text ("\r\n" appended; a stored text of mode 1 gets "\r" only,
  // as a grammar object's text) from a command string.
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
      Recover();
    } catch (const testing_support::ProgramExited&) {
      // The parse read on past its command into the (empty) console input.
      outcome.raised = true;
      outcome.text = "read past the end of the command";
      Recover();
    }
    while (DeviceStackDepth() > depth) EndDevice();
    if (outcome.code != kNullMemoryFile) m_codes.push_back(outcome.code);
    return outcome;
  }

  // What the command loop does after a failed command.
  void Recover() {
    CleanupStack::RunAll();
    CleanupStack::RunAll();
    CommandScanner::ResetForCommand();
    CommandParserLL::ResetSaveStack();
    while (CompoundLevel() > 0) LeaveCompound();
  }

  // Binds a slot to a recording routine (the word is traced when it runs).
  static void Record(uint16_t slot, const std::string& word) {
    const RoutineId id = RecordRoutine(word);
    ActionTable::Bind(slot, RoutineRegistry::Routine(id), RoutineRegistry::Name(id));
  }
  static void BindNoEffect(uint16_t slot) { ActionTable::Bind(slot, &NoEffect, "NoEffect"); }

  std::unique_ptr<testing_support::ScratchDirectory> m_directory;
  std::unique_ptr<testing_support::ConsoleSession> m_session;
  std::vector<MemoryFileHandle> m_codes;
};

std::filesystem::path ParseData(const std::string& name) {
  return std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "parse" / name;
}

// Corpus lines: "--" starts a comment; "<NL>" stands for a line break inside a
// command; "text: " parses the rest as a stored text (mode 1).
std::string CorpusCommand(const std::string& line, uint8_t* mode) {
  std::string command = line;
  *mode = kParseCommand;
  if (command.rfind("text: ", 0) == 0) {
    command = command.substr(6);
    *mode = kParseForGrammarObject;
  }
  for (size_t at; (at = command.find("<NL>")) != std::string::npos;) command.replace(at, 4, "\r\n");
  return command;
}

// The corpus dump is of the parse alone: a call names the routine of its slot, which
// the layers above this test program (the target, the engine) bind at start-up; whether
// it is bound here is no part of what the parser made.
std::string ParseOnlyListing(std::string listing) {
  static const std::string kUnbound = " [not available]";
  for (size_t at; (at = listing.find(kUnbound)) != std::string::npos;) listing.erase(at, kUnbound.size());
  return listing;
}

TEST_F(CommandParserTest, CorpusMatchesGoldenAndCoversEveryAlternative) {
  std::ifstream input(ParseData("corpus.txt"));
  ASSERT_TRUE(input) << "missing corpus";
  ProductionUses().assign(CommandGrammar::Get().ProductionCount(), 0);
  BindParseTimeStandIns();
  m_directory->Write("cmds.txt", "halt\r\n");
  CommandParserLL::SetProductionObserver(&CountProduction);

  std::string dump;
  std::string line;
  while (std::getline(input, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.rfind("--", 0) == 0) continue;
    uint8_t mode = kParseCommand;
    const std::string command = CorpusCommand(line, &mode);
    const ParseOutcome outcome = Parse(command, mode);
    dump += "> " + line + "\n";
    if (outcome.raised) {
      dump += outcome.ErrorLine() + "\n";
    } else if (!outcome.parsed) {
      dump += "parse failed\n";
    } else {
      dump += ParseOnlyListing(CodeListing(outcome.code));
    }
  }
  CommandParserLL::SetProductionObserver(nullptr);
  EXPECT_TRUE(testing_support::MatchesGolden(ParseData("corpus.golden"), dump));

  const CommandGrammar& grammar = CommandGrammar::Get();
  std::string unused;
  for (uint32_t p = 0; p < grammar.ProductionCount(); ++p) {
    if (ProductionUses()[p] == 0) unused += std::to_string(p) + ": " + grammar.ProductionText(p) + "\n";
  }
  EXPECT_EQ(unused, "") << "alternatives the corpus never exercises";
}


// ---- syntax errors -------------------------------------------------------------------------

class CommandParserConsoleTest : public CommandParserTest {
 protected:
  // Parses the first command of `input` read from the console, after a prompt, as
  // the command loop reads it: the columns of the tokens are those of the line.
  ParseOutcome ParseFromConsole(const std::string& input) {
    m_session.reset();
    m_session = std::make_unique<testing_support::ConsoleSession>(*m_directory, input);
    m_session->SelectInput("");
    SetPromptTestOption(true);
    PrintPrompt();
    ParseOutcome outcome;
    try {
      outcome.parsed = CommandParserLL::ParseCommand(kParseCommand, &outcome.code);
    } catch (const DVError& error) {
      outcome.raised = true;
      outcome.number = error.Number();
      outcome.text = error.Text().data();
      Recover();
    } catch (const testing_support::ProgramExited&) {
      outcome.raised = true;
      outcome.text = "read past the end of the input";
      Recover();
    }
    if (outcome.code != kNullMemoryFile) m_codes.push_back(outcome.code);
    return outcome;
  }
};

TEST_F(CommandParserConsoleTest, SyntaxErrorsPointAtTheToken) {
  struct Case {
    const char* name;
    std::string input;
    uint32_t number;
    std::string text;
  };
  // Columns are those of the screen: the prompt ">" stands in column 0, so the first
  // character typed is in column 1. The second "halt" of these lines is in column
  // 63, 64 and 75 (the console wraps its echo after column 82).
  const std::string at63 = std::string(57, ' ') + "halt halt\r\n";
  const std::string at64 = std::string(58, ' ') + "halt halt\r\n";
  const std::string at75 = std::string(69, ' ') + "halt halt\r\n";
  const Case cases[] = {
      {"first character", ")\r\n", 103, " ^ syntax error "},
      {"second word", "halt wait\r\n", 103, "      ^ syntax error "},
      {"a name where a command ends", "halt @@ #\r\n", 103, "      ^ syntax error "},
      {"slash starts no dereference", "/ x = 1\r\n", 103, " ^ syntax error "},
      {"percent starts no dereference", "go; % x = 1\r\n", 103, "     ^ syntax error "},
      {"assignment without value", "count = = 1\r\n", 103, "         ^ syntax error "},
      {"else without if", "else\r\n", 103, " ^ syntax error "},
      {"column 63 still counts blanks", at63, 103, std::string(63, ' ') + "^ syntax error "},
      {"column 64 puts the text first", at64, 104, std::string(50, ' ') + "syntax error ^"},
      {"column 75", at75, 104, std::string(61, ' ') + "syntax error ^"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ParseOutcome outcome = ParseFromConsole(c.input);
    ASSERT_TRUE(outcome.raised);
    EXPECT_EQ(outcome.number, c.number);
    EXPECT_EQ(outcome.text, c.text);
    EXPECT_EQ(CommandParserLL::SavedStateCount(), 0u);
  }
}

TEST(SyntaxErrorColumns, CaretRule) {
  struct Case {
    uint8_t column;
    uint32_t width;
    uint32_t number;
  };
  const Case cases[] = {{0, 0, 103},  {1, 1, 103},   {63, 63, 103},  {64, 50, 104},
                        {94, 80, 104}, {95, 80, 104}, {200, 80, 104}, {255, 80, 104}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.column));
    uint32_t width = 0;
    uint32_t number = 0;
    SyntaxErrorColumns(c.column, &width, &number);
    EXPECT_EQ(width, c.width);
    EXPECT_EQ(number, c.number);
  }
}

TEST_F(CommandParserConsoleTest, CommandGoesOnOnTheNextLineWhereTheGrammarWantsMore) {
  const ParseOutcome split = ParseFromConsole("if ($)\r\n{ halt }\r\n");
  ASSERT_FALSE(split.raised) << split.ErrorLine();
  ASSERT_TRUE(split.parsed);
  const ParseOutcome whole = ParseFromConsole("if ($) { halt }\r\n");
  ASSERT_TRUE(whole.parsed);
  EXPECT_EQ(CodeListing(split.code), CodeListing(whole.code));

  // A stored text does not go on: its parse fails at the end of its line.
  const ParseOutcome text = Parse("_IE_ if ($)", kParseForGrammarObject);
  EXPECT_FALSE(text.raised);
  EXPECT_TRUE(text.parsed);
  const ParseOutcome cut = Parse("_PA_ 1 +", kParseForGrammarObject);
  EXPECT_FALSE(cut.raised);
  EXPECT_FALSE(cut.parsed);
}

// ---- control structures on the executor ------------------------------------------------

class CommandParserRunTest : public CommandParserTest {
 protected:
  void SetUp() override {
    CommandParserTest::SetUp();
    // Statements that leave a word in the trace; "$" is a scripted condition.
    Record(187, "halt");
    Record(185, "wait");
    Record(183, "help");
    Record(189, "exit");
    Record(35, "assign");  // the for loop's start
    Record(25, "step");    // and its step, "count++"
    const RoutineId condition = ConditionRoutine();
    ActionTable::Bind(46, RoutineRegistry::Routine(condition), RoutineRegistry::Name(condition));
    BindNoEffect(101);  // the condition's value is already a boolean
    BindNoEffect(200);  // no viewpoint switching
    BindNoEffect(205);
  }

  // Parses and runs `command` with the scripted conditions; the trace of the run.
  std::string Run(const std::string& command, const std::vector<bool>& conditions) {
    const ParseOutcome outcome = Parse(command);
    if (outcome.raised || !outcome.parsed) return "parse failed: " + outcome.ErrorLine();
    ResetExecution();
    for (const bool value : conditions) ConditionScript().push_back(value);
    try {
      PostfixExecutor::Run(outcome.code);
    } catch (const DVError& error) {
      return TraceText() + " | error " + std::to_string(error.Number());
    }
    return TraceText();
  }
};

TEST_F(CommandParserRunTest, ControlStructuresJumpWhereTheyShould) {
  struct Case {
    const char* name;
    const char* command;
    std::vector<bool> conditions;
    const char* trace;
  };
  const Case cases[] = {
      {"if taken", "if ($) { halt }; wait", {true}, "T halt wait"},
      {"if not taken", "if ($) { halt }; wait", {false}, "F wait"},
      {"else taken", "if ($) { halt } else { wait }; help", {false}, "F wait help"},
      {"then part skips the else part", "if ($) { halt } else { wait }; help", {true}, "T halt help"},
      {"nested if inside else", "if ($) { halt } else { if ($) { wait } else { help } }", {false, false},
       "F F help"},
      {"while runs until false", "while ($) { halt }; wait", {true, true, false}, "T halt T halt F wait"},
      {"while never entered", "while ($) { halt }", {false}, "F"},
      {"break in an if in a while leaves the loop",
       "while ($) { halt; if ($) { break }; wait }; help", {true, false, true, true}, "T halt F wait T halt T help"},
      {"continue in a while goes to the condition",
       "while ($) { halt; if ($) { continue }; wait }; help", {true, true, true, false, false},
       "T halt T T halt F wait F help"},
      {"break in the else part", "while ($) { if ($) { halt } else { break } }; wait", {true, true, true, false},
       "T T halt T F wait"},
      {"do-while runs the body first", "do { halt } while ($); wait", {true, false}, "halt T halt F wait"},
      {"continue in a do-while goes to the condition",
       "do { halt; if ($) { continue }; wait } while ($); help", {true, true, false, false},
       "halt T T halt F wait F help"},
      {"break in a do-while", "do { halt; if ($) { break } } while ($); wait", {false, true, true}, "halt F T halt T wait"},
      {"for with start, condition, step and body", "for (count = 1; $; count++) { wait }; exit",
       {true, true, false}, "assign T wait step T wait step F exit"},
      {"continue in a for goes to the step",
       "for (; $; count++) { halt; if ($) { continue }; wait }", {true, true, true, false, false},
       "T halt T step T halt F wait step F"},
      {"break in a for", "for (; $; count++) { if ($) { break }; halt }; wait", {true, false, true, true},
       "T F halt step T T wait"},
      {"for without a condition loops until a break", "for (;;) { halt; if ($) { break } }", {false, false, true},
       "halt F halt F halt T"},
      {"loops nest", "while ($) { while ($) { halt }; wait }", {true, true, false, true, false, false},
       "T T halt F wait T F wait F"},
      {"break leaves only the inner loop", "while ($) { while ($) { break }; halt }", {true, true, false},
       "T T halt F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run(c.command, c.conditions), c.trace);
  }
}

TEST_F(CommandParserRunTest, ProcedureBodyKeepsItsLoopsToItself) {
  // A procedure body defined inside a loop has its own chain of placeholders: its
  // break leaves its own loop, and the outer loop is still closed correctly.
  BindParseTimeStandIns();
  const ParseOutcome outcome = Parse("while ($) { define proc p() { while ($) { break } }; halt }");
  ASSERT_TRUE(outcome.parsed) << outcome.ErrorLine();
  const std::string dump = CodeListing(outcome.code);
  EXPECT_EQ(dump.find("placeholder"), std::string::npos) << dump;
  EXPECT_EQ(CommandParserLL::ChainHead(), CommandParserLL::kNoPlaceholder);
}

// ---- what a parse leaves behind ------------------------------------------------------------

std::string g_nestedDump;
bool g_nestedParsed = false;

// Bound to the slot that runs at the end of every command line: parses a stored
// text while the outer parse is still running.
void ParseNestedText() {
  // The nested text ends with this slot too; it only removes the local names there.
  static bool nested = false;
  if (nested) {
    CommandScanner::RemoveAllLocalNames();
    return;
  }
  nested = true;
  const uint16_t depth = DeviceStackDepth();
  PushCommandString("_PA_ 1 + 2\r");
  MemoryFileHandle code = kNullMemoryFile;
  g_nestedParsed = CommandParserLL::ParseCommand(kParseForGrammarObject, &code);
  while (DeviceStackDepth() > depth) EndDevice();
  g_nestedDump = code != kNullMemoryFile ? CodeListing(code) : "";
  if (code != kNullMemoryFile) DestroyMemoryFile(code);
  CommandScanner::RemoveAllLocalNames();
  nested = false;
}

TEST_F(CommandParserTest, NestedParseLeavesTheOuterParseAsItWas) {
  ActionTable::Bind(209, &ParseNestedText, "ParseNestedText");
  const ParseOutcome outer = Parse("halt; wait");
  ASSERT_TRUE(outer.parsed) << outer.ErrorLine();
  EXPECT_TRUE(g_nestedParsed);
  EXPECT_NE(g_nestedDump.find("call OperatorExecutor"), std::string::npos) << g_nestedDump;
  ActionTable::ResetToDefaults();
  const ParseOutcome plain = Parse("halt; wait");
  EXPECT_EQ(CodeListing(outer.code), CodeListing(plain.code));
  EXPECT_EQ(CommandParserLL::SavedStateCount(), 0u);
  EXPECT_FALSE(CommandParserLL::IsParsing());
}

TEST_F(CommandParserTest, ScannerSwitchesAndNumberBaseSurviveEveryParse) {
  struct Case {
    const char* name;
    const char* command;
    uint8_t mode;
    bool parses;
  };
  const Case cases[] = {
      {"success", "x = 1", kParseCommand, true},
      {"syntax error", "x = = 1", kParseCommand, false},
      {"failed expression", "x[ = 1", kParseCommand, false},
      {"failed text", "_PE_ )", kParseForGrammarObject, false},
      {"text", "_PE_ x", kParseForGrammarObject, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SetNumberBase(16).IsOkay());
    CommandScanner::NameOnceOn();
    const ScannerModeFlags before = CommandScanner::ModeFlags();
    const ParseOutcome outcome = Parse(c.command, c.mode);
    EXPECT_EQ(outcome.parsed, c.parses) << outcome.ErrorLine();
    EXPECT_EQ(GetNumberBase(), 16u);
    if (!outcome.raised) {
      // (After a raised error the recovery resets the switches anyway.)
      const ScannerModeFlags after = CommandScanner::ModeFlags();
      EXPECT_EQ(after.nameOnce, before.nameOnce);
      EXPECT_EQ(after.nameAlways, before.nameAlways);
    }
    EXPECT_EQ(CommandParserLL::SavedStateCount(), 0u);
    CommandScanner::ResetForCommand();
  }
  // Inside the expression integers are decimal; after it the base is in force again.
  ASSERT_TRUE(SetNumberBase(16).IsOkay());
  const ParseOutcome outcome = Parse("x[10] = 10");
  ASSERT_TRUE(outcome.parsed) << outcome.ErrorLine();
  const std::string dump = CodeListing(outcome.code);
  EXPECT_NE(dump.find("string tag 0 \"x[10]\""), std::string::npos) << dump;
  EXPECT_NE(dump.find("string tag 16 \"\\x10\""), std::string::npos) << dump;
  (void)SetNumberBase(10);
}

TEST_F(CommandParserTest, NameSwitchesAreOffAfterEverySymbolPath) {
  struct Case {
    const char* name;
    const char* command;
    const char* mustContain;
  };
  const Case cases[] = {
      {"backslash path, then a keyword", "\\x = 1; step", "call StepCommand"},
      {"backslash path before if", "cb = \\x if (y)", "call SetBreakpointCommand"},
      {"dereference before a keyword", "*p = 1; halt", "call QueryTargetCommand"},
      {"plain path before a keyword", "x = 1; wait", "call WaitCommand"},
      {"restore takes keywords as names", "restore step", "string tag 0 \"step\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ParseOutcome outcome = Parse(c.command);
    ASSERT_TRUE(outcome.parsed) << outcome.ErrorLine();
    const std::string dump = CodeListing(outcome.code);
    EXPECT_NE(dump.find(c.mustContain), std::string::npos) << dump;
  }
}

TEST_F(CommandParserTest, ParseStackOverflowIsReportedNotCrashed) {
  auto nested = [](int depth) { return "eval " + std::string(depth, '(') + "1" + std::string(depth, ')'); };
  int deepest = 0;
  for (int depth = 1; depth < 60; ++depth) {
    const ParseOutcome outcome = Parse(nested(depth));
    if (!outcome.parsed) break;
    deepest = depth;
  }
  ASSERT_GT(deepest, 3);
  ASSERT_LT(deepest, 59);
  const ParseOutcome overflow = Parse(nested(deepest + 1));
  EXPECT_TRUE(overflow.raised);
  EXPECT_EQ(overflow.number, kMsgParseStackOverflow);
  // A stored text that nests as deeply fails instead (the "_DC_" entry takes more
  // frames than the command itself).
  const ParseOutcome text = Parse("_DC_ " + nested(deepest + 1), kParseForGrammarObject);
  EXPECT_FALSE(text.raised);
  EXPECT_FALSE(text.parsed);
  // The parser is sound again afterwards.
  EXPECT_TRUE(Parse("halt").parsed);
  EXPECT_EQ(CommandParserLL::SavedStateCount(), 0u);
}

// ---- routines that are not there -----------------------------------------------------------

// Start-up binds every slot and installs the C expression parser: a layer run without
// them meets the internal-consistency error, never a crash.
TEST_F(CommandParserTest, MissingSubsystemsAreInternalErrors) {
  // At parse time: the alias definition's routine, taken away.
  ActionTable::Unbind(132);
  const ParseOutcome define = Parse("#define total halt");
  ActionTable::ResetToDefaults();
  EXPECT_TRUE(define.raised);
  EXPECT_EQ(define.number, kMsgInternalAnomaly);
  // Without a C expression parser a symbol path cannot be read.
  SetExpressionParser(nullptr, nullptr);
  ASSERT_TRUE(SetNumberBase(16).IsOkay());
  const ParseOutcome path = Parse("x = 1");
  EXPECT_TRUE(path.raised);
  EXPECT_EQ(path.number, kMsgInternalAnomaly);
  EXPECT_EQ(GetNumberBase(), 16u);
  (void)SetNumberBase(10);
  EXPECT_TRUE(Parse("halt").parsed);

  // At run time: the unbound routine.
  const ParseOutcome halt = Parse("halt");
  ASSERT_TRUE(halt.parsed);
  BindNoEffect(200);
  BindNoEffect(205);
  ResetExecution();
  try {
    PostfixExecutor::Run(halt.code);
    ADD_FAILURE() << "halt ran";
  } catch (const DVError& error) {
    EXPECT_EQ(error.Number(), kMsgInternalAnomaly);
    ASSERT_GE(error.ArgumentCount(), 1u);
    EXPECT_STREQ(error.Argument(0).data(), "src/command/action_table.cpp");
    EXPECT_EQ(error.Severity(), kSeverityInternal);
  }
  PostfixExecutor::PopCodesTo(0);
}

void EmitTooLongString() {
  CurrentToken().textLength = TokenRecord::kTextCapacity + 1;
  EmitString();
}
void OpenBreakOutsideLoop() { CommandParserLL::OpenBreakJump(); }

TEST_F(CommandParserTest, ParseTimeFaultsAreRefused) {
  // A string longer than the token record's text would overrun the executor's
  // record: it is bad code, and nothing is written.
  ActionTable::Bind(209, &EmitTooLongString, "EmitTooLongString");
  const ParseOutcome tooLong = Parse("halt");
  EXPECT_TRUE(tooLong.raised);
  EXPECT_EQ(tooLong.number, kMsgBadPostfixCode);
  ActionTable::ResetToDefaults();

  // A break with no loop open would leave a placeholder nothing patches.
  ActionTable::Bind(209, &OpenBreakOutsideLoop, "OpenBreakOutsideLoop");
  const ParseOutcome outside = Parse("_DC_ halt", kParseForGrammarObject);
  EXPECT_FALSE(outside.raised);
  EXPECT_FALSE(outside.parsed);
  ActionTable::ResetToDefaults();
  EXPECT_TRUE(Parse("_DC_ halt", kParseForGrammarObject).parsed);
}


TEST_F(CommandParserTest, CodeNobodyTakesIsReleased) {
  const uint32_t live = LiveMemoryFileCount();
  const uint16_t depth = DeviceStackDepth();
  PushCommandString("halt\r\n");
  EXPECT_TRUE(CommandParserLL::ParseCommand(kParseCommand, nullptr));
  while (DeviceStackDepth() > depth) EndDevice();
  EXPECT_EQ(LiveMemoryFileCount(), live);
}

}  // namespace
}  // namespace zentor
