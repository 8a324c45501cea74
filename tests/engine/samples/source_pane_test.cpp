// The source pane over the DEMO sample with its symbol file loaded at the module's
// link bases and its sources found along the search path: the window at a stop, the
// break and pass toggles, mixed mode, scrolling and the go-to ends, the search, the
// listing shown for a missing file, no program, and seeded random command sequences.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "code_sections/code_sections.h"
#include "command/command_scanner.h"
#include "command/symbol_interpreter.h"
#include "command/symbol_lookup_commands.h"
#include "core/collectable_record.h"
#include "engine/source_base.h"
#include "harness/pane_dump.h"
#include "source_pane_fixture.h"

namespace zentor {
namespace {

constexpr uint32_t kDemoCode = 0x00100000;
constexpr uint32_t kDemoData = 0x00110000;

std::string SamplePath(const std::string& name) { return (std::filesystem::path(ZENTOR_SAMPLES_DIR) / name).string(); }

// The address nm gives a symbol of the module.
uint32_t SymbolAddress(const std::string& name) {
  std::ifstream map(SamplePath("demo.map"));
  std::string address;
  std::string kind;
  std::string symbol;
  while (map >> address >> kind >> symbol) {
    if (symbol == name) return static_cast<uint32_t>(std::stoul(address, nullptr, 16));
  }
  ADD_FAILURE() << "no symbol " << name;
  return 0;
}

class SourcePaneTest : public testing_support::SourcePaneFixture {
 protected:
  void SetUp() override {
    SourcePaneFixture::SetUp();
    const testing_support::CvLoadOutcome outcome = Load(SamplePath("DEMO.SYM"), kDemoCode, kDemoData);
    ASSERT_EQ(outcome.m_raised, 0u);
    ASSERT_EQ(ForceDeferredModules(), 0u);
    for (const tools::CodeSection& section : tools::ReadCodeSectionsOfFile(SamplePath("demo.elf"))) {
      m_memory.Map(section.m_address, section.m_bytes);
    }
    SetSourcePath(ZENTOR_SAMPLE_SOURCES_DIR);
  }

  // A changed path makes the source files be looked up again.
  static void SetSourcePath(const char* path) {
    *GetGlobalSearchPath() = RWCString(path);
    MarkChangedRecords(kRecordSearchPaths, nullptr);
  }
  void StopAt(uint32_t address) { StopAtAddress(address); }
  int32_t Send(int32_t code, intptr_t argument = 0) { return m_window.Send(code, argument); }
  int32_t SendIndex(int32_t code, int32_t index) { return m_window.SendIndex(code, index); }
  void Open() { m_window.Open(); }
  std::string Dump() const { return testing_support::DumpPane(m_pane); }
  int32_t IndexOf(const std::string& text) const { return m_window.IndexOf(text); }
  int32_t ExecutionIndex() const { return m_window.ExecutionIndex(); }

  TextPane& m_pane = m_window.m_pane;
  int32_t& m_index = m_window.m_index;
};

TEST_F(SourcePaneTest, StopShowsTheSourceAroundTheLocation) {
  StopAt(SymbolAddress("f"));
  Open();
  ASSERT_GE(m_pane.count, 2);
  const int32_t execution = ExecutionIndex();
  ASSERT_GE(execution, 0);
  EXPECT_NE(std::string(m_pane.lines[execution]->text).find("int f("), std::string::npos);
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("stop_in_f.golden"), Dump()));
}

TEST_F(SourcePaneTest, BreakAndPassTogglesOnALine) {
  StopAt(SymbolAddress("f"));
  Open();
  const int32_t line = ExecutionIndex();
  ASSERT_GE(line, 0);
  EXPECT_EQ(SendIndex(kPaneToggleBreak, line), 0);
  EXPECT_EQ(Send(kPaneRefresh), 0);
  EXPECT_EQ(m_pane.lines[line]->attr & 0xFF, kMarkBreak);
  EXPECT_EQ(SendIndex(kPaneToggleBreak, line), 0);
  EXPECT_EQ(Send(kPaneRefresh), 0);
  EXPECT_EQ(m_pane.lines[line]->attr & 0xFF, 0u);
  EXPECT_EQ(SendIndex(kPaneTogglePasspoint, line), 0);
  Send(kPaneRefresh);
  EXPECT_EQ(m_pane.lines[line]->attr & 0xFF, kMarkPasspoint);
  m_engine.m_breakpoints.back().enabled = 0;
  Send(kPaneRefresh);
  EXPECT_EQ(m_pane.lines[line]->attr & (kMarkPasspoint | kMarkDisabled), kMarkPasspoint | kMarkDisabled);
  // A breakpoint the engine got from a command (inside a line's code) shows after the
  // refresh.
  const int32_t other = IndexOf("int result = g(n, square);");
  ASSERT_GE(other, 0);
  m_engine.m_breakpoints.push_back(
      {static_cast<const DisplayLine*>(m_pane.lines[other])->address + OrdinalValue(3u), 0, 0, 1});
  Send(kPaneRefresh);
  EXPECT_EQ(m_pane.lines[other]->attr & 0xFF, kMarkInside);
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("toggles.trace"), m_engine.m_trace));
  EXPECT_EQ(SendIndex(kPaneToggleBreak, m_pane.count - 1), 1) << "an index beyond the held lines";
}

TEST_F(SourcePaneTest, MixedModeAndBack) {
  StopAt(SymbolAddress("f") + 3);
  Open();
  const int32_t line = ExecutionIndex();
  ASSERT_GE(line, 0);
  EXPECT_EQ(SendIndex(kPaneToggleMixed, line), 0);
  int32_t mode = -1;
  Send(kPaneModeQuery, reinterpret_cast<intptr_t>(&mode));
  EXPECT_EQ(mode, 1);
  const int32_t exact = ExecutionIndex();
  ASSERT_GE(exact, 0);
  EXPECT_EQ(m_pane.lines[exact]->text[0], ' ') << "the mark on an instruction line";
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("mixed_in_f.golden"), Dump()));
  // Built forwards and backwards, each instruction line follows its source line or
  // an instruction of the same line at a higher address.
  for (const int32_t code : {kPaneScrollPageUp, kPaneScrollPageDown, kPaneScrollLineUp, kPaneScrollPageDown}) {
    SCOPED_TRACE(code);
    m_index = 0;
    Send(code, reinterpret_cast<intptr_t>(&m_index));
    for (int32_t i = 1; i + 1 < m_pane.count; ++i) {
      const auto* line = static_cast<const DisplayLine*>(m_pane.lines[i]);
      const auto* before = static_cast<const DisplayLine*>(m_pane.lines[i - 1]);
      if (line->filePosition != kInstructionLine || before->line.IsEmpty()) continue;
      ASSERT_EQ(before->line.RawLine(), line->line.RawLine()) << "line " << i;
      if (before->filePosition == kInstructionLine) {
        ASSERT_EQ(before->address.Compare(line->address), kAddressLess) << "line " << i;
      }
    }
  }
  EXPECT_EQ(SendIndex(kPaneToggleMixed, exact), 0);
  Send(kPaneModeQuery, reinterpret_cast<intptr_t>(&mode));
  EXPECT_EQ(mode, 0);
}

TEST_F(SourcePaneTest, ScrollingAndGoingToLines) {
  StopAt(SymbolAddress("main"));
  Open();
  m_index = 0;
  EXPECT_EQ(Send(kPaneGoToLine, reinterpret_cast<intptr_t>(&m_index)), 0);
  EXPECT_EQ(m_index, 1);
  EXPECT_EQ(m_pane.top, 0);
  EXPECT_EQ(std::string(m_pane.lines[0]->text).substr(0, 10), "     1    ");
  EXPECT_EQ(Send(kPaneScrollPageUp), 262);
  EXPECT_EQ(Send(kPaneTextEnd, reinterpret_cast<intptr_t>(&m_index)), 0);
  EXPECT_EQ(Send(kPaneScrollPageDown), 262);
  EXPECT_EQ(Send(kPaneTextStart), 0);
  EXPECT_EQ(m_pane.top, 0);
  EXPECT_EQ(Send(kPaneScrollLineUp, reinterpret_cast<intptr_t>(&m_index)), 262);
}

TEST_F(SourcePaneTest, SearchForwardBackwardAndNoMatch) {
  StopAt(SymbolAddress("main"));
  Open();
  struct Case {
    const char* m_name;
    int32_t m_code;
    const char* m_text;
    int32_t m_result;
  };
  const std::vector<Case> cases = {
      {"forward", kPaneFind, "g_squares", 0},
      {"next", kPaneFindNext, "g_squares", 0},
      {"backward", kPaneFindBackward, "main", 0},
      {"nothing", kPaneFind, "no such text anywhere", 230},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    SourceFindText() = c.m_text;
    int32_t words[2] = {0, 12};
    EXPECT_EQ(Send(c.m_code, reinterpret_cast<intptr_t>(words)), c.m_result);
    if (c.m_result == 0) {
      ASSERT_GE(words[0], 0);
      const std::string text(m_pane.lines[words[0]]->text);
      ASSERT_LE(static_cast<size_t>(words[1]), text.size());
      EXPECT_EQ(text.substr(static_cast<size_t>(words[1]), std::strlen(c.m_text)), c.m_text);
    }
  }
}

TEST_F(SourcePaneTest, MissingSourceShowsAListing) {
  SetSourcePath("");
  StopAt(SymbolAddress("f"));
  Open();
  ASSERT_GE(m_pane.count, 2);
  EXPECT_EQ(std::string(m_pane.lines[0]->text).find('#'), 3u);
  int32_t mode = -1;
  Send(kPaneModeQuery, reinterpret_cast<intptr_t>(&mode));
  EXPECT_EQ(mode, 2);
  EXPECT_EQ(Send(kPaneTextStart), 326);
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("listing_of_f.golden"), Dump()));
}

// A stop one line further down moves the mark and changes nothing else (kind 1); a
// stop in the other source file shows that file (kind 5).
TEST_F(SourcePaneTest, UpdatesFollowTheStops) {
  StopAt(SymbolAddress("f"));
  Open();
  const int32_t before = ExecutionIndex();
  const int32_t top = m_pane.top;
  ASSERT_GE(before, 0);
  const int32_t next = IndexOf("int result = g(n, square);");
  ASSERT_GT(next, before);
  StopAt(SymbolAddress("f") + 6);
  EXPECT_EQ(Send(kPaneRefresh), 0);
  EXPECT_EQ(ExecutionIndex(), next);
  EXPECT_EQ(m_pane.top, top);
  StopAt(SymbolAddress("main"));
  EXPECT_EQ(Send(kPaneRefresh), 0);
  const int32_t inMain = ExecutionIndex();
  ASSERT_GE(inMain, 0);
  EXPECT_NE(std::string(m_pane.lines[inMain]->text).find("main"), std::string::npos);
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("stop_in_main.golden"), Dump()));
  EXPECT_EQ(Send(kPaneReload), 0) << "a forced reload";
  EXPECT_EQ(ExecutionIndex(), inMain);
}

// The run and step commands of the pane reach the engine with the line's address and
// the stepping granularity of the display.
TEST_F(SourcePaneTest, RunAndStepCommands) {
  StopAt(SymbolAddress("f"));
  Open();
  const int32_t line = IndexOf("int result = g(n, square);");
  ASSERT_GE(line, 0);
  EXPECT_EQ(SendIndex(kPaneRunToLine, line), 0);
  EXPECT_EQ(Send(kPaneStepOver), 0);
  EXPECT_EQ(Send(kPaneRepeatStep), 0);
  EXPECT_EQ(Send(kPaneStepOut), 0);
  EXPECT_EQ(Send(kPaneGo), 0);
  EXPECT_EQ(Send(kPaneGoNoBreakpoints), 0);
  EXPECT_EQ(SendIndex(kPaneToggleMixed, line), 0);
  EXPECT_EQ(Send(kPaneStepInto), 0);
  const int32_t source = IndexOf("int result = g(n, square);");
  EXPECT_EQ(SendIndex(kPaneRunToLine, source), 0);
  EXPECT_EQ(m_index, source + 1) << "the command acts on the line's first instruction";
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("run_and_step.trace"), m_engine.m_trace));
}

TEST_F(SourcePaneTest, BrowseAndAcceptedCodes) {
  InstallCommandSymbolInterpreter();
  CommandScanner::InitKeywords();
  BindSymbolLookupActions();
  StopAt(SymbolAddress("f"));
  Open();
  struct Case {
    const char* m_name;
    int32_t m_code;
    const char* m_text;
    int32_t m_result;
  };
  const std::vector<Case> cases = {
      {"data value", kPaneBrowse, "g_squares", 240},
      {"code", kPaneBrowse, "Factorial", 0},
      {"back", kPaneBrowseBack, nullptr, 0},
      {"a watch", kPaneAddWatch, "g_squares", 0},
      {"back", kPaneBrowseBack, nullptr, 0},
      {"accepted 0x34", kPaneAccepted, nullptr, 0},
      {"unknown line code", 0x70, nullptr, 1},
      {"unknown pane code", 0x30, nullptr, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    EXPECT_EQ(Send(c.m_code, reinterpret_cast<intptr_t>(c.m_text)), c.m_result);
  }
  int32_t mode = -1;
  Send(kPaneModeQuery, reinterpret_cast<intptr_t>(&mode));
  EXPECT_EQ(mode, 0);
  // The window's open and close requests reach the manager only directly: accepted.
  DVError status;
  EXPECT_EQ(m_window.Manager()->HandleRequest(status, kPaneOpened, 0), 0);
  EXPECT_EQ(m_window.Manager()->HandleRequest(status, kPaneClosing, 0), 0);
}

// Without a window the source row of the creator table serves the command: a step
// by source lines (the location has a line and its file is found), reported in the
// command output; commands that need lines are refused.
TEST_F(SourcePaneTest, PanelessCommands) {
  StopAt(SymbolAddress("f"));
  DVError status;
  EXPECT_EQ(RunPaneCommandWithoutWindow(status, kPaneStepInto, 0), 0);
  EXPECT_EQ(m_engine.m_trace, "step 1,2,1,1\n");
  SetSourcePath("");
  m_engine.m_trace.clear();
  EXPECT_EQ(RunPaneCommandWithoutWindow(status, kPaneStepOver, 0), 0);
  EXPECT_EQ(m_engine.m_trace, "step 2,1,1,1\n") << "no file: instruction steps";
  EXPECT_EQ(RunPaneCommandWithoutWindow(status, kPaneScrollPageDown, 0), 1);
}

class SourcePaneWithoutProgramTest : public testing_support::SourcePaneFixture {};

TEST_F(SourcePaneWithoutProgramTest, NoProgramGivesAWarningAndAnEmptyPane) {
  testing_support::SourceWindow& window = m_window;
  window.Open();
  EXPECT_EQ(window.m_pane.count, 0);
  EXPECT_EQ(window.Send(kPaneRefresh), 324);
  EXPECT_EQ(window.m_status.Severity(), kSeverityWarning);
  EXPECT_EQ(window.m_pane.count, 0);
  EXPECT_EQ(window.m_pane.total, 0);
}

// Outside the manager the pane's first and last words are indexes: the first held
// line's number less one. The manager sets line numbers; the dispatcher's raising
// around each call and the lowering after the first update make the two agree.
TEST_F(SourcePaneTest, FirstAndLastAreIndexesOutsideTheManager) {
  StopAt(SymbolAddress("f"));
  Open();
  auto firstNumber = [&] { return std::stoi(std::string(m_pane.lines[0]->text).substr(0, 6)); };
  EXPECT_EQ(m_pane.first, firstNumber() - 1);
  EXPECT_EQ(Send(kPaneRefresh), 0);
  EXPECT_EQ(m_pane.first, firstNumber() - 1);
  m_pane.top = 3;
  EXPECT_EQ(Send(kPaneRebuildFromTop, reinterpret_cast<intptr_t>(&m_index)), 0);
  EXPECT_EQ(m_pane.first, firstNumber() - 1);
  EXPECT_EQ(m_pane.top, 0);
}

// Commands in random order and with random arguments never crash, and the pane
// stays consistent: its held lines end with the null entry and the top row lies
// inside them.
TEST_F(SourcePaneTest, RandomCommandSequences) {
  const uint32_t seed = 7201;
  std::mt19937 random(seed);
  StopAt(SymbolAddress("f"));
  Open();
  const int32_t codes[] = {kPaneToggleMixed, kPaneRebuildFromTop, kPaneReload, kPaneScrollLineUp, kPaneScrollLineDown,
                           kPaneScrollPageUp,      kPaneScrollPageDown,       kPaneTextStart, kPaneTextEnd, kPaneGoToLine,
                           kPaneRefresh,     kPaneRebuild,        kPaneToggleBreak, kPaneTogglePasspoint,
                           kPaneStepOver,    kPaneFind,           kPaneFindBackward, kPaneBrowseNearest};
  SourceFindText() = "i";
  for (int step = 0; step < 400; ++step) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
    const int32_t code = codes[random() % std::size(codes)];
    int32_t words[2] = {static_cast<int32_t>(random() % static_cast<uint32_t>(std::max(m_pane.count - 1, 1))),
                        static_cast<int32_t>(random() % 40)};
    if (code == kPaneGoToLine) words[0] = static_cast<int32_t>(random() % 80);
    Send(code, reinterpret_cast<intptr_t>(words));
    if (m_pane.count > 0) {
      ASSERT_EQ(m_pane.lines[m_pane.count - 1], nullptr);
      for (int32_t i = 0; i + 1 < m_pane.count; ++i) ASSERT_NE(m_pane.lines[i], nullptr);
      EXPECT_GE(m_pane.top, 0);
      EXPECT_LT(m_pane.top, std::max(m_pane.count, 1));
    }
  }
}

}  // namespace
}  // namespace zentor
