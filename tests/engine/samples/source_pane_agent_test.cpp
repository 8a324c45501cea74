// The source pane against the stand-in agent running a sample module, its symbol file
// loaded at connection and its sources along the search path, with the engine's own
// breakpoint table, go and step behind the pane: the window at a stop, breaks, type-1
// breaks and passpoints toggled on lines and set in the agent at the next go, steps
// that move the mark (into another file too), mixed mode, run to a line through a
// temporary slot, a watched keyword, and a step without a window reported in the
// command output.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "harness/agent_process.h"
#include "harness/pane_dump.h"
#include "harness/stand_in_session.h"
#include "harness/transcript.h"
#include "scripted_line.h"
#include "source_pane_test_support.h"

#include "command/command_arguments.h"
#include "command/command_scanner.h"
#include "command/symbol_interpreter.h"
#include "command/symbol_lookup_commands.h"
#include "core/current_viewpoint.h"
#include "core/program_counter.h"
#include "core/value_stack.h"
#include "engine/breakpoint_table.h"
#include "engine/engine_services.h"
#include "engine/watch_table.h"
#include "platform/user_break.h"
#include "symbols/load_driver.h"
#include "symbols/loader_library.h"
#include "symbols/search_path.h"
#include "symbols/symbol_context.h"
#include "target/agent_link.h"
#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/run_control.h"
#include "target/target_services.h"
#include "target/target_state.h"
#include "target/tmi_memory.h"
#include "target/tmi_session.h"
#include "target/tmi_symbol_load.h"

namespace zentor {
namespace {

constexpr uint32_t kThread = 0;
constexpr int32_t kRows = 12;
constexpr auto kStopDeadline = std::chrono::seconds(60);

std::filesystem::path Golden(const std::string& name) {
  return std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "engine" / "source_pane" / name;
}

std::string Hex(uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", address);
  return text;
}

class SourcePaneAgentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetLinkState();
    testing_support::SetOfflineSession(false);
    InstallTargetServices();
    InstallEngineServices();
    ResetEngineState();
    platform::TakeUserBreak();
  }
  void TearDown() override {
    m_window.Close();
    ResetEngineState();
    TargetStatus status;
    TmiDisconnect(&status, 0);
    testing_support::ResetLinkState();
    ResetTargetState();
    ResetRegisterModel();
    ResetTmiOptions();
    ResetKnownModules();
    ResetCommandArguments();
    ResetSymbolLoad();
    testing_support::ForgetProgramAndViewpoints();
    SetSearchPath("", 1);
    testing_support::SetOfflineSession(true);
    platform::TakeUserBreak();
    m_agent.Stop();
  }

  // The agent with the module; its symbol file and sources along the global path, so
  // that the connection loads its ".SYM". The thread stands at main's entry.
  void Connect(const std::string& module = "demo") {
    if (testing_support::AgentProgramPath().empty()) GTEST_SKIP() << "the stand-in agent is not built here";
    m_symbols = testing_support::SampleModuleSymbols(module);
    ASSERT_NE(m_symbols.count("main"), 0u);
    const std::string path = testing_support::HostPathOfUnixPath(testing_support::SampleModulesDirectory()) + " " +
                             std::string(ZENTOR_SAMPLE_SOURCES_DIR);
    SetSearchPath(path.c_str(), 1);
    std::string error;
    ASSERT_TRUE(m_agent.Start({"--module", testing_support::SampleModulesDirectory() + module + ".mod"}, &error))
        << error;
    TargetStatus status;
    const std::string link = m_agent.UdpLinkName();
    const char* slot[] = {"-ip", link.c_str(), nullptr};
    uint32_t result = 0;
    ASSERT_EQ(TmiHandleOption(&status, 0, 0, slot, &result), 0u);
    TmiNotify(&status, 0, 3, nullptr);
    ASSERT_TRUE(TheAgentLink().IsOpen());
    ASSERT_EQ(SymbolTableLoaded(), 1u) << "the module's .SYM along the path";
    GetCurrentSymbolContext()->SetCurrentAddress(ProgramCounterRegister::Read());
  }

  // What the GUI's event timer does after a go: poll until the stop has been
  // reported (the report makes the stop the current address).
  void WaitForStop() {
    const auto deadline = std::chrono::steady_clock::now() + kStopDeadline;
    while (TgtIsBusy(kThread)) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the target did not stop";
      TmiPollEvents(kThread);
    }
  }
  // A pane command that runs the thread, the stop and the window's refresh; the
  // command output of all three.
  std::string RunAndRefresh(int32_t code, int32_t index = -1) {
    return testing_support::CapturedOutput([&] {
      EXPECT_EQ(index < 0 ? m_window.Send(code) : m_window.SendIndex(code, index), 0) << m_window.m_status.Number();
      WaitForStop();
      EXPECT_EQ(m_window.Send(kPaneRefresh), 0);
    });
  }

  int32_t LineOf(const std::string& text) const {
    const int32_t index = m_window.IndexOf(text);
    EXPECT_GE(index, 0) << "no line holds " << text;
    return index;
  }
  const DisplayLine& Line(int32_t index) const { return *m_window.Manager()->Model()->LineAt(index); }
  uint32_t AddressOf(int32_t index) const { return Line(index).address.Offset(); }
  uint32_t ProgramCounter() const { return ProgramCounterRegister::Read().Offset(); }

  // Requests the agent executed so far.
  size_t Requests() const { return m_agent.TraceLines("exec ").size(); }
  // Slot settings (command 0x0d) at the address from request `from` on, as "bp N".
  std::vector<std::string> SetsAt(uint32_t address, size_t from = 0) const {
    const std::vector<std::string> lines = m_agent.TraceLines("exec ");
    std::vector<std::string> sets;
    for (size_t i = from; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      const size_t at = line.find(" bp ");
      if (line.find("command=0x0d") == std::string::npos || line.find(" " + Hex(address)) == std::string::npos ||
          at == std::string::npos) {
        continue;
      }
      sets.push_back(line.substr(at + 1, line.find(' ', at + 4) - at - 1));
    }
    return sets;
  }

  testing_support::AgentProcess m_agent;
  testing_support::SourceWindow m_window{kRows};
  TextPane& m_pane = m_window.m_pane;
  std::map<std::string, uint32_t> m_symbols;
};

// A break toggled on the loop's call of f is set in the agent at the next go, which
// stops there; toggled again it is gone (the next go sets nothing there). A step
// into enters f in the other source file; a step over moves the mark one line
// without rebuilding the lines.
TEST_F(SourcePaneAgentTest, BreaksAndStepsFromThePane) {
  OR_RETURN(Connect());
  m_window.Open();
  const int32_t call = LineOf("total += f(i, square);");
  ASSERT_GE(call, 0);
  const uint32_t callAddress = AddressOf(call);
  EXPECT_EQ(m_window.SendIndex(kPaneToggleBreak, call), 0);
  EXPECT_EQ(m_window.Send(kPaneRefresh), 0);
  EXPECT_EQ(m_pane.lines[call]->attr & 0xFF, kMarkBreak);
  EXPECT_TRUE(SetsAt(callAddress).empty()) << "the agent hears of the break when the thread goes";

  size_t go = Requests();
  const std::string report = RunAndRefresh(kPaneGo);
  EXPECT_EQ(SetsAt(callAddress, go).size(), 1u);
  EXPECT_EQ(ProgramCounter(), callAddress);
  EXPECT_NE(report.find("Break at "), std::string::npos) << report;
  EXPECT_EQ(m_window.ExecutionIndex(), LineOf("total += f(i, square);"));
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("agent_break_on_call.golden"), testing_support::DumpPane(m_pane)));

  const int32_t marked = LineOf("total += f(i, square);");
  EXPECT_EQ(m_window.SendIndex(kPaneToggleBreak, marked), 0);
  EXPECT_EQ(m_window.Send(kPaneRefresh), 0);
  EXPECT_EQ(m_pane.lines[marked]->attr & 0xFF, 0u) << "the toggle removed the break";

  // Into f: its first line in demo_calc.c carries the mark.
  RunAndRefresh(kPaneStepInto);
  EXPECT_EQ(ProgramCounter(), m_symbols["f"]);
  const int32_t entry = m_window.ExecutionIndex();
  ASSERT_GE(entry, 0);
  EXPECT_NE(m_window.Text(entry).find("int f(int n, int square) {"), std::string::npos) << m_window.Text(entry);

  // Over f's first line: the mark moves to the next line, the lines stay as built
  // (a rebuild writes every held text again, so a changed byte would be lost).
  const int32_t top = m_pane.top;
  const int32_t count = m_pane.count;
  char* canary = m_pane.lines[count - 2]->text;
  const char kept = canary[0];
  canary[0] = '~';
  RunAndRefresh(kPaneStepOver);
  EXPECT_EQ(m_window.ExecutionIndex(), entry + 1);
  EXPECT_NE(m_window.Text(entry + 1).find("int result = g(n, square);"), std::string::npos);
  EXPECT_EQ(m_pane.top, top);
  ASSERT_EQ(m_pane.count, count);
  EXPECT_EQ(m_pane.lines[count - 2]->text[0], '~') << "update kind 1 leaves the lines";
  canary[0] = kept;

  // The break is gone: the go sets nothing at the call and runs to the division
  // fault at the end of main.
  go = Requests();
  const std::string fault = RunAndRefresh(kPaneGo);
  EXPECT_TRUE(SetsAt(callAddress, go).empty());
  EXPECT_EQ(fault.find("Break at "), std::string::npos) << fault;
  const int32_t faulted = m_window.ExecutionIndex();
  ASSERT_GE(faulted, 0);
  EXPECT_NE(m_window.Text(faulted).find("int quotient = dividend / divisor;"), std::string::npos);
}

// Mixed mode at a stop: the instructions under each line with code and the mark on
// the exact instruction; a break toggled on a source line acts on its first
// instruction, the go stops there, and back to source lines the mark is on the
// line. Run to a line goes through a temporary slot.
TEST_F(SourcePaneAgentTest, MixedModeAndRunToLine) {
  OR_RETURN(Connect());
  m_window.Open();
  const int32_t call = LineOf("total += f(i, square);");
  ASSERT_GE(call, 0);
  const uint32_t callAddress = AddressOf(call);
  size_t go = Requests();
  RunAndRefresh(kPaneRunToLine, call);
  EXPECT_EQ(SetsAt(callAddress, go), std::vector<std::string>{"bp 58"}) << "a temporary slot at the line";
  EXPECT_EQ(ProgramCounter(), callAddress);

  // One instruction into the line, so that the mark is not on the line's first.
  TargetStatus status;
  uint32_t done = 0;
  StopRecord record;
  ASSERT_EQ(TmiStep(&status, kThread, kStepInto, 1, &done, &record), 0u);
  GetCurrentSymbolContext()->SetCurrentAddress(ProgramCounterRegister::Read());
  EXPECT_EQ(m_window.Send(kPaneRefresh), 0);
  ASSERT_EQ(m_window.SendIndex(kPaneToggleMixed, m_window.ExecutionIndex()), 0);
  const int32_t exact = m_window.ExecutionIndex();
  ASSERT_GE(exact, 0);
  EXPECT_EQ(Line(exact).filePosition, kInstructionLine);
  EXPECT_EQ(AddressOf(exact), ProgramCounter());
  // Every line with code is followed by its instructions, from the line's address on.
  for (int32_t i = 0; i + 2 < m_pane.count; ++i) {
    const DisplayLine& line = Line(i);
    if (line.filePosition < 0 || line.address.IsNull()) continue;
    const bool hasCode = line.codeLength != 0 || (i + 1 < m_pane.count - 1 && Line(i + 1).filePosition < 0);
    if (!hasCode) continue;
    SCOPED_TRACE(line.text);
    ASSERT_EQ(Line(i + 1).filePosition, kInstructionLine);
    EXPECT_EQ(AddressOf(i + 1), AddressOf(i));
  }
  EXPECT_TRUE(testing_support::MatchesGolden(Golden("agent_mixed_in_main.golden"), testing_support::DumpPane(m_pane)));

  // The break on the call of PrintValue after the loop, on its first instruction.
  const int32_t print = LineOf("PrintValue(\"total \", total);");
  ASSERT_GE(print, 0);
  const uint32_t printAddress = AddressOf(print);
  EXPECT_EQ(m_window.SendIndex(kPaneToggleBreak, print), 0);
  EXPECT_EQ(m_window.m_index, print + 1) << "the command moved to the first instruction";
  go = Requests();
  RunAndRefresh(kPaneGo);
  EXPECT_EQ(SetsAt(printAddress, go).size(), 1u);
  EXPECT_EQ(ProgramCounter(), printAddress);
  const int32_t stop = m_window.ExecutionIndex();
  ASSERT_GE(stop, 0);
  EXPECT_EQ(Line(stop).filePosition, kInstructionLine);
  EXPECT_EQ(m_pane.lines[stop]->attr & 0xFF, kMarkBreak) << "the instruction carries the break";

  ASSERT_EQ(m_window.SendIndex(kPaneToggleMixed, stop), 0);
  const int32_t back = m_window.ExecutionIndex();
  ASSERT_GE(back, 0);
  EXPECT_NE(m_window.Text(back).find("PrintValue(\"total \", total);"), std::string::npos);
  EXPECT_EQ(m_pane.lines[back]->attr & 0xFF, kMarkBreak);
  for (int32_t i = 0; i + 1 < m_pane.count; ++i) EXPECT_GE(Line(i).filePosition, 0) << i;
}

// A name that is also a word of the command language, typed in the pane, is
// watched and shows the module's variable; a step with no Source window open goes by
// a source line and is reported in the command output.
TEST_F(SourcePaneAgentTest, WatchedKeywordAndAStepWithoutAWindow) {
  OR_RETURN(Connect("lines"));
  InstallCommandSymbolInterpreter();
  CommandScanner::InitKeywords();
  BindSymbolLookupActions();
  ValueStack::Create();
  m_window.Open();
  EXPECT_EQ(m_window.Send(kPaneAddWatch, reinterpret_cast<intptr_t>("calls")), 0) << m_window.m_status.Number();
  EXPECT_EQ(testing_support::CapturedOutput([] { WatchTable::WriteWindowLines(WatchTable::LongestEnabledText()); }), "wa[0] calls : 0\n");
  m_window.Close();

  DVError status;
  const std::string output = testing_support::CapturedOutput([&] {
    EXPECT_EQ(ViewDispatcher::RunGuiCommandForKind(status, kViewSource, nullptr, kPaneStepInto, 0), 0)
        << status.Number();
  });
  EXPECT_EQ(output, "[ Break due to StepInto at LINES:#86 ]\n");
}

// The three toggles on three lines with the engine's table: each line shows its mark,
// with 0x100 while the table's breakpoints are disabled; at the go the agent is asked
// for two breakpoint slots and a debug register (type 1), and a line cleared (0x78)
// and a type-1 break toggled off lose their marks.
TEST_F(SourcePaneAgentTest, TogglesSetTheirKindsInTheAgent) {
  OR_RETURN(Connect());
  m_window.Open();
  struct Toggle {
    const char* m_line;
    int32_t m_code;
    uint32_t m_mark;
    const char* m_request;  // what the agent is asked at the go
  };
  const Toggle toggles[] = {
      {"total += f(i, square);", kPaneTogglePasspoint, kMarkPasspoint, "command=0x0d"},
      {"PrintValue(\"total \", total);", kPaneToggleBreakType1, kMarkBreakType1, "command=0x0f"},
      {"g_squares[i] = square;", kPaneToggleBreak, kMarkBreak, "command=0x0d"},
  };
  for (const Toggle& t : toggles) EXPECT_EQ(m_window.SendIndex(t.m_code, LineOf(t.m_line)), 0) << t.m_line;
  for (const bool enabled : {true, false}) {
    if (!enabled) BreakpointTable::Instance().DisableAll();
    EXPECT_EQ(m_window.Send(kPaneRefresh), 0);
    for (const Toggle& t : toggles) {
      SCOPED_TRACE(t.m_line);
      EXPECT_EQ(m_pane.lines[LineOf(t.m_line)]->attr & 0x1FF, t.m_mark | (enabled ? 0 : kMarkDisabled));
    }
  }
  BreakpointTable::Instance().EnableAll();
  const size_t go = Requests();
  EXPECT_NE(RunAndRefresh(kPaneGo).find("[ Break at "), std::string::npos);
  EXPECT_EQ(m_window.ExecutionIndex(), LineOf("g_squares[i] = square;"));
  const std::vector<std::string> requests = m_agent.TraceLines("exec ");
  for (const Toggle& t : toggles) {
    SCOPED_TRACE(t.m_line);
    const std::string address = Hex(AddressOf(LineOf(t.m_line)));
    EXPECT_EQ(std::count_if(requests.begin() + static_cast<std::ptrdiff_t>(go), requests.end(),
                            [&](const std::string& line) {
                              return line.find(t.m_request) != std::string::npos &&
                                     line.find(" " + address) != std::string::npos;
                            }),
              1);
  }
  EXPECT_EQ(m_window.SendIndex(kPaneToggleBreakType1, LineOf(toggles[1].m_line)), 0);
  EXPECT_EQ(m_window.SendIndex(kPaneClearLine, LineOf(toggles[0].m_line)), 0);
  EXPECT_EQ(m_window.Send(kPaneRefresh), 0);
  EXPECT_EQ(m_pane.lines[LineOf(toggles[0].m_line)]->attr & 0xFF, 0u);
  EXPECT_EQ(m_pane.lines[LineOf(toggles[1].m_line)]->attr & 0xFF, 0u);
  EXPECT_EQ(m_pane.lines[LineOf(toggles[2].m_line)]->attr & 0xFF, kMarkBreak);
}

}  // namespace
}  // namespace zentor
