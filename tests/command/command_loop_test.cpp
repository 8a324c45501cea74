// The command loop as the program runs it (start-up, prompt, parse, execute), in a
// console session over files: recovery after an error by its number, else its
// severity, and the robustness of the loop against arbitrary input.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "command/action_table.h"
#include "command/debug_objects.h"
#include "command/command_loop.h"
#include "command/postfix_executor.h"
#include "command/procedure_call.h"
#include "app/program_entry.h"
#include "app/startup.h"
#include "console/cleanup_stack.h"
#include "console/console_bridge.h"
#include "console/file_channel.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/memory_file.h"
#include "core/value_stack.h"
#include "harness/session/loop_session.h"
#include "harness/transcript.h"
#include "platform/user_break.h"

namespace zentor {
namespace {

using testing_support::ScratchDirectory;

constexpr uint16_t kHelpSlot = 183;

// What the "help" command raises in these tests, and what its undo routine saw.
struct ScriptedError {
  uint32_t number;
  uint32_t severity;
  uint32_t displayMode = kDisplayByFocus;
};
std::deque<ScriptedError> g_errors;
std::vector<std::string> g_events;

void RecordUndo() { g_events.push_back("undo"); }

void RaiseScriptedError() {
  CleanupStack::Push(&RecordUndo);
  PushViewpoint(ViewpointHandle(7));
  if (g_errors.empty()) return;
  const ScriptedError next = g_errors.front();
  g_errors.pop_front();
  throw DVError(next.number, next.severity, next.displayMode);
}

void BindScriptedErrorToHelp() { ActionTable::Bind(kHelpSlot, &RaiseScriptedError, "RaiseScriptedError"); }

std::string RunLoop(const ScratchDirectory& directory, const std::string& standardInput, bool* ended) {
  return testing_support::RunProgramSession(directory, {"zentor", "-test"}, standardInput, ended);
}

// Memory files alive beyond those of the defined procedures (each holds its code and
// its text); start-up starts a fresh keyword table without releasing old definitions.
// Aliases hold their text in a file of their own for as long as they are defined.
uint32_t LiveFilesBesideProcedures() {
  return LiveMemoryFileCount() - 2 * LiveProcedureCount() - LiveAliasCount();
}

class CommandLoopTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetStartupTestHook(nullptr);
    ActionTable::ResetToDefaults();
    g_errors.clear();
    g_events.clear();
    platform::TakeUserBreak();
  }
};

// An INCLUDE file whose first line fails: whether its second line still runs shows
// whether the error abandoned all input; the console's last line shows the base.
TEST_F(CommandLoopTest, RecoveryFollowsTheNumberElseTheSeverity) {
  struct Case {
    const char* name;
    ScriptedError error;
    const char* report;     // expected in the output ("" when nothing is shown)
    bool undoRuns;          // the failed command's undo routines run
    bool includeGoesOn;     // the INCLUDE file's next line runs
    bool programEnds;       // the loop ends in the exit before the console line
  };
  const Case cases[] = {
      {"warning only reports", {35, kSeverityWarning}, "WARNING #35", false, true, false},
      {"error drops the line", {35, kSeverityError}, "ERROR #35", true, true, false},
      {"severe error abandons the input", {35, kSeveritySevere}, "SEVERE ERROR #35", true, false, false},
      {"internal error abandons the input", {72, kSeverityInternal}, "INTERNAL ERROR #72", true, false, false},
      {"fatal error ends the program", {35, kSeverityFatal}, "FATAL ERROR #35", true, false, true},
      {"pager quit by number", {400, kSeverityError, kDisplayNone}, "", true, true, false},
      {"user break by number", {401, kSeverityWarning, kDisplayNone}, "", true, false, false},
      {"severity beyond fatal only reports", {35, 9}, "#35", false, true, false},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ScratchDirectory directory("loop");
    directory.Write("inc.txt", "help\nbase = 16\n");
    g_errors = {test.error};
    g_events.clear();
    SetStartupTestHook(&BindScriptedErrorToHelp);
    bool ended = false;
    const std::string output = RunLoop(directory, "include inc.txt\nbase\n", &ended);
    EXPECT_TRUE(ended);
    if (test.report[0] != '\0') {
      EXPECT_NE(output.find(test.report), std::string::npos) << output;
    } else {
      EXPECT_EQ(output.find("#" + std::to_string(test.error.number)), std::string::npos) << output;
    }
    EXPECT_EQ(!g_events.empty(), test.undoRuns) << output;
    if (test.programEnds) {
      EXPECT_EQ(output.find("decimal"), std::string::npos) << output;
      EXPECT_EQ(output.find("hex"), std::string::npos) << output;
    } else {
      EXPECT_NE(output.find(test.includeGoesOn ? "hex" : "decimal"), std::string::npos) << output;
    }
    EXPECT_EQ(ViewpointStackDepth(), 0u) << "the base viewpoint is current after an error";
  }
}

TEST_F(CommandLoopTest, SyntaxErrorShowsTheCaretAndDropsTheRestOfTheLine) {
  ScratchDirectory directory("loop");
  bool ended = false;
  const std::string output = RunLoop(directory, "base = 16 ) ; base = 2\nbase\n", &ended);
  EXPECT_TRUE(ended);
  EXPECT_NE(output.find("^ syntax error"), std::string::npos) << output;
  EXPECT_NE(output.find("decimal"), std::string::npos) << "nothing of the failed line ran: " << output;
  EXPECT_EQ(output.find("binary"), std::string::npos) << output;
}

// "#define" lines of aliases named <prefix>0..<prefix>(count - 1), each expanding to
// `body` with the next name at each "@" (the last one to `last`).
std::string AliasChain(const std::string& prefix, int count, const std::string& body, const std::string& last) {
  std::string lines;
  for (int i = 0; i < count; ++i) {
    const std::string next = i + 1 < count ? prefix + std::to_string(i + 1) : last;
    std::string text = body;
    for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at)) text.replace(at, 1, next);
    lines += "#define " + prefix + std::to_string(i) + " " + text + "\n";
  }
  return lines;
}

// Aliases that would expand for ever (or into millions of words) end in message 79:
// the failed line is dropped (what follows the alias on it does not run) and the next
// line runs. A chain that ends, however long, still expands.
TEST_F(CommandLoopTest, AliasesThatExpandForEverEndIn79) {
  constexpr const char* kReport =
      "SEVERE ERROR #79\nMacro expansion error: the macro name cannot be re-used inside of the macro.\n";
  struct Case {
    const char* name;
    std::string definitions;
    std::string use;   // the line that uses them, in a batch file when `inBatch`
    bool fails;
    bool inBatch = false;
  };
  const std::vector<Case> cases = {
      {"itself", "#define r r\n", "r ; base = 2", true},
      {"itself after a command", "#define r base = 2; r\n", "r", true},
      {"each other", "#define a b\n#define b a\n", "a ; base = 2", true},
      {"a long circle", AliasChain("c", 40, "@", "c0"), "c0", true},
      {"a long chain that ends", AliasChain("c", 40, "@", "base = 16"), "c0", false},
      {"twice on a line", "#define h base = 16\n#define twice h; h\n", "twice ; twice", false},
      {"nested deeper and deeper", AliasChain("d", 60, "@ x", "base = 2"), "d0", true},
      {"doubling twenty times", AliasChain("e", 20, "@;@", "base = 2"), "e0", true},
      {"in a procedure's body", "#define r r\n", "define proc p() { r }", true},
      {"in a batch file", "#define a b\n#define b a\n", "a ; base = 2", true, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ScratchDirectory directory("alias");
    const std::string lines = test.definitions + test.use + "\n";
    std::vector<std::string> arguments = {"zentor", "-test"};
    if (test.inBatch) {
      directory.Write("batch.txt", lines);
      arguments.insert(arguments.end(), {"-ba", "batch.txt"});
    }
    bool ended = false;
    const std::string output = testing_support::RunProgramSession(
        directory, arguments, (test.inBatch ? "" : lines) + "base\n", &ended);
    EXPECT_TRUE(ended);
    const std::size_t report = output.find(kReport);
    EXPECT_EQ(report != std::string::npos, test.fails) << output;
    EXPECT_EQ(output.find(kReport, report + 1), std::string::npos) << "one report only: " << output;
    const std::string last = output.substr(output.rfind(">base"));
    EXPECT_NE(last.find(test.fails ? "decimal" : "hex"), std::string::npos) << output;
  }
}

TEST_F(CommandLoopTest, EveryCommandsCodeIsReleased) {
  ScratchDirectory directory("loop");
  bool ended = false;
  // Warm-up run: files created once (keyword table, devices, value stack) stay.
  RunLoop(directory, "base\n", &ended);
  const uint32_t live = LiveFilesBesideProcedures();
  const std::string output = RunLoop(directory, "base\nbase = 2 +\n3\nbase ) x\nhelp\nbase = 7\nbase\n", &ended);
  EXPECT_TRUE(ended);
  EXPECT_EQ(LiveFilesBesideProcedures(), live) << output;
}

// Command lines made of the language's words, literals and punctuation, cut and
// spliced at random: every one ends in a report or a result, the loop reads all of
// them and ends at the end of the input, and no code is left behind.
TEST_F(CommandLoopTest, RandomAndMutatedLinesNeverBreakTheLoop) {
  const uint32_t seed = 20240607;
  std::mt19937 random(seed);
  const std::vector<std::string> pieces = {
      "base", "=", "16", "2", "10", "+", "-", "*", "/", "%", "(", ")", "{", "}", ";", "if", "else", "while",
      "do", "for", "break", "continue", "define", "proc", "p", "return", "argcount", "argvector", "[", "]",
      "\"text\"", "'c'", "0x1f", "0y101", "4k", "1.5e3", "true", "false", "<", "<=", "==", "!=", "&&", "||",
      "!", "~", "show", "debug", "eval", "?", "printf", "help", "log", "nolog", "#define", "m", "\\", "#12",
      ":", ".", ",", "@", "$", "scope", "step", "go", "_PE_", "_DC_", "remove", "x", "/*", "*/", "'", "\"",
  };
  const std::vector<std::string> seeds = {
      "base = 16", "if (1 < 2) { base = 2 } else { base = 10 }", "while (1 > 2) { base }",
      "define proc p() { return argvector[0] + argcount }", "p(1, 2, 3)", "for (; 1 > 2; ) { break }",
      "do { base } while (1 > 2)", "printf(\"%d\\n\", 3)", "eval 1 + 2", "base = (2 + 14) * 1",
  };
  // A runaway loop (a mutation may make one) is ended by a user break.
  std::atomic<bool> stop{false};
  std::thread watchdog([&stop] {
    while (!stop.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      platform::RaiseUserBreak();
    }
  });
  ScratchDirectory directory("loop");
  bool ended = false;
  RunLoop(directory, "base\n", &ended);
  uint32_t live = LiveFilesBesideProcedures();
  constexpr int kLines = 2500;
  constexpr int kLinesPerSession = 50;
  std::string lines;
  int failures = 0;
  for (int i = 0; i < kLines && failures < 5; ++i) {
    std::string line;
    if (random() % 2 == 0) {
      const int count = 1 + static_cast<int>(random() % 12);
      for (int j = 0; j < count; ++j) line += pieces[random() % pieces.size()] + (random() % 3 == 0 ? "" : " ");
    } else {
      line = seeds[random() % seeds.size()];
      const int edits = 1 + static_cast<int>(random() % 3);
      for (int j = 0; j < edits && !line.empty(); ++j) {
        const std::size_t at = random() % line.size();
        switch (random() % 3) {
          case 0: line.erase(at, 1 + random() % 3); break;
          case 1: line.insert(at, pieces[random() % pieces.size()]); break;
          default: line[at] = static_cast<char>(32 + random() % 95); break;
        }
      }
    }
    // The exit command would end the session early; INCLUDE of random names only
    // reports.
    if (line.find("exit") != std::string::npos) continue;
    lines += line + "\n";
    if ((i + 1) % kLinesPerSession != 0 && i + 1 != kLines) continue;
    const std::string output = RunLoop(directory, lines, &ended);
    if (!ended || LiveFilesBesideProcedures() != live) {
      ++failures;
      ADD_FAILURE() << "seed " << seed << ", lines ending at " << i << (ended ? "" : " (did not end)") << ", files "
                    << LiveFilesBesideProcedures() << " instead of " << live << ":\n"
                    << lines << "\noutput:\n" << output;
      live = LiveFilesBesideProcedures();
    }
    lines.clear();
  }
  stop = true;
  watchdog.join();
}

}  // namespace
}  // namespace zentor

namespace zentor {
namespace {

// A windowed GUI that types a few lines into the Command window and then closes,
// recording the service requests it receives.
class TypingShell : public GuiShell {
 public:
  explicit TypingShell(std::string keys) : m_keys(std::move(keys)) {}

  int32_t Request(uint32_t code) override {
    m_requests.push_back(code);
    return 0;
  }
  bool WaitForInputRound() override {
    if (m_next >= m_keys.size()) return false;
    KeyQueue::Push(static_cast<uint8_t>(m_keys[m_next++]));
    return true;
  }
  void WriteText(const char* text, std::size_t count) override { m_output.append(text, count); }
  void LineFeed() override { m_output += '\n'; }

  std::vector<uint32_t> m_requests;
  std::string m_output;

 private:
  std::string m_keys;
  std::size_t m_next = 0;
};

TEST_F(CommandLoopTest, ReadySignalGoesToTheGuiOnceAcrossErrors) {
  ScratchDirectory directory("loop");
  TypingShell shell("help\rbase\rhelp\r");
  g_errors = {{35, kSeverityError}, {35, kSeverityError}};
  SetStartupTestHook(&BindScriptedErrorToHelp);
  bool ended = false;
  {
    testing_support::ConsoleSession session(directory, "");
    testing_support::ResetConsoleModules(false);
    InstallGuiShell(&shell);
    SetProgramExitHandler([] { throw testing_support::ProgramExited{}; });
    char program[] = "zentor";
    char test[] = "-test";
    char* arguments[] = {program, test, nullptr};
    try {
      ResetStartupState();
      ResetCommandLoopState();
      CommandLoop(2, arguments);
    } catch (const testing_support::ProgramExited&) {
      ended = true;
    }
    ResetCommandLoopState();
    InstallGuiShell(nullptr);
    SetConsoleMode(true);
  }
  EXPECT_TRUE(ended);
  EXPECT_NE(shell.m_output.find("decimal"), std::string::npos) << shell.m_output;
  const std::size_t firstError = shell.m_output.find("ERROR #35");
  ASSERT_NE(firstError, std::string::npos) << shell.m_output;
  EXPECT_NE(shell.m_output.find("ERROR #35", firstError + 1), std::string::npos) << "two failed commands";
  EXPECT_EQ(std::count(shell.m_requests.begin(), shell.m_requests.end(), kGuiWaitForCommand), 1)
      << shell.m_output;
  EXPECT_EQ(std::count(shell.m_requests.begin(), shell.m_requests.end(), kGuiStartUp), 1);
}

}  // namespace
}  // namespace zentor
