// The Source window when the program stops in code without symbols: a listing from
// the stop on, and nothing reported.
#include <gtest/gtest.h>

#include <string>

#include "core/hi_service.h"
#include "debugger_windows_fixture.h"
#include "gui/window_table.h"
#include "harness/agent_process.h"
#include "harness/stand_in_session.h"
#include "harness/transcript.h"

namespace zentor {
namespace {

// SPIN halted in its loop without symbols, a Source window open since before the go:
// the window shows the listing from the loop's one instruction on, with the execution
// bar on it, and nothing is reported, at this halt, a step, a second go and halt, and
// in a window opened at the stop. The transcript holds each command's printed text
// (with the prompt the GUI prints when the run state changes), the number of anything
// reported, and the window's visible rows.
class SourceWindowWithoutSymbolsTest : public testing_support::DebuggerWindowsTest {
 protected:
  static constexpr int32_t kRows = 8;

  std::string Run(const std::string& command) {
    std::string text = "> " + command + "\n" + testing_support::PrintedByCommandLine(command);
    if (text.back() != '\n') text += '\n';  // the prompt the run state printed
    RefreshAllWindows(0);
    return text + Reported();
  }
  static std::string Reported() {
    const uint32_t number = TakeReportedError();
    return "reported: " + (number == 0 ? std::string("nothing") : std::to_string(number)) + "\n";
  }
  static std::string Rows(const WinSuper* window) {
    const TextPane& pane = window->GetTextPane();
    std::string rows = "rows " + std::to_string(pane.top) + ".." + std::to_string(pane.top + kRows - 1) +
                       ", execution bar on row " + std::to_string(pane.row) + ":\n";
    for (int32_t i = pane.top; i < pane.top + kRows && i < pane.count; ++i) {
      const PaneLine* line = pane.LineAt(i);
      if (line != nullptr && line->text != nullptr) rows += "|" + std::string(line->text, line->length) + "|\n";
    }
    return rows;
  }
};

TEST_F(SourceWindowWithoutSymbolsTest, HaltShowsTheListingQuietly) {
  // As in the Windows program: the prompt follows the run state at once.
  struct GuiMode {
    bool console = IsConsoleMode();
    GuiMode() { SetConsoleMode(false); }
    ~GuiMode() { SetConsoleMode(console); }
  } guiMode;
  OR_RETURN(ConnectWithoutSymbols("spin"));
  std::string transcript;
  WinSuper* source = Open(1, kRows);
  transcript += "Source window opened\n";
  transcript += Reported();
  for (const char* command : {"go", "halt", "step", "go", "halt"}) {
    transcript += Run(command);
    if (std::string(command) != "go") transcript += Rows(source);
  }
  Close(source);
  WinSuper* atStop = Open(1, kRows);
  transcript += "Source window opened at the stop\n";
  transcript += Reported();
  transcript += Rows(atStop);
  EXPECT_TRUE(testing_support::MatchesGolden(std::string(ZENTOR_TEST_DATA_DIR) + "/views/source_spin_halt.txt",
                                             transcript));
}

}  // namespace
}  // namespace zentor
