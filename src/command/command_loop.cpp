#include "command/command_loop.h"

#include "command/action_table.h"
#include "command/command_parser.h"
#include "command/command_scanner.h"
#include "command/postfix_executor.h"
#include "console/cleanup_stack.h"
#include "console/command_reader.h"
#include "console/file_channel.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "command/value_output.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/memory_file.h"
#include "core/message_table.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

struct LoopState {
  bool firstCycle = true;
  // The code of the command being parsed or run; released after every command and
  // after every error that left it behind.
  MemoryFileHandle code = kNullMemoryFile;
};

LoopState& State() {
  static LoopState state;
  return state;
}

void ReleaseCode() {
  LoopState& state = State();
  if (state.code == kNullMemoryFile) return;
  const MemoryFileHandle code = state.code;
  state.code = kNullMemoryFile;
  DestroyMemoryFile(code);
}

// Back to a clean interpreter state: no hook, column 0, paging ended, no local names,
// the parser's saved states dropped. The ready signal goes to the GUI once.
void CycleSetUp() {
  OutputWriter::RemoveHook();
  OutputWriter::AdvanceColumn('\n');
  Pager::EndPaging();
  CommandScanner::ResetForCommand();
  CommandParserLL::ResetSaveStack();
  // An error inside an address text ("_AC_") ends the parse before the text's end
  // clears its flag: the next command's names are looked up as values again.
  ClearAddressContext();
  LoopState& state = State();
  if (!IsConsoleMode() && state.firstCycle) SignalGuiReady();
  state.firstCycle = false;
}

void RunOneCommand() {
  CleanupStack::Clear();
  ResetValueOutput();
  PrepareCommandInput();
  if (IsEchoOn() && OutputWriter::OutputColumn() == 0) PrintPrompt();
  LoopState& state = State();
  const bool parsed = CommandParserLL::ParseCommand(kParseCommand, &state.code);
  if (parsed) {
    HiService(kGuiBusyCursor);
    ResetPostfixExecutor();
    ValueStack::Reset();
    PostfixExecutor::Run(state.code);
    HiService(kGuiPopCursor);
  }
  ReleaseCode();
  Pager::EndPaging();
}

void ReportUnlessShown(DVError& error) {
  if (!error.IsOkayOrDisplayed()) error.Report();
  error.Reset();
}

}  // namespace

void HandleCommandError(DVError& error) {
  HiService(kGuiResetCursors);
  ResetViewpointStack();
  // A fatal error ends the program in its recovery: it is reported first, or the user
  // would never learn why the debugger ended.
  const uint32_t number = error.Number();
  const uint32_t severity = error.Severity();
  if (severity == kSeverityFatal) ReportUnlessShown(error);
  RecoverFromCommandError(number, severity);
  ReportUnlessShown(error);
  ReleaseCode();
}

void RecoverFromCommandError(uint32_t number, uint32_t severity) {
  if (number == kMsgPagerQuit) {
    Pager::EndPaging();
    CleanupStack::RunAll();
  } else if (number == kMsgUserBreak) {
    // The undo routines of the broken command run too: a break in the middle of a
    // command that opened something (a capture, a PUT file) must not leave it open.
    RecoverFromUserBreak();
    CommandScanner::ResetAfterBreak();
    HiService(kGuiCheckUserBreak);
  } else if (number == kMsgSyntaxCaretAfter || number == kMsgSyntaxCaretBefore) {
    DiscardInputLine();
    CommandParserLL::RestoreSavedState();
    CleanupStack::RunAll();
  } else if (severity == kSeverityError) {
    DiscardInputLine();
    CleanupStack::RunAll();
  } else if (severity == kSeveritySevere || severity == kSeverityInternal) {
    DiscardInputLine();
    CleanupStack::RunAll();
    ResetCommandInput();
    HiService(kGuiCheckUserBreak);
  } else if (severity == kSeverityFatal) {
    DiscardInputLine();
    CleanupStack::RunAll();
    ExitDebugger();
  }
  // Severities 0 to 2 and above 6: nothing beyond the report.
}

void ResetCommandLoopState() {
  ReleaseCode();
  ClearAddressContext();
  State().firstCycle = true;
}

// 1. Cycle set-up, then commands one after another until an error ends the cycle.
// 2. The error is handled (recovery, report); an error raised while it is handled is
//    reported in its turn, and one raised by that report is dropped.
// 3. Back to the cycle set-up.
void RunCommandCycles() {
  for (;;) {
    try {
      CycleSetUp();
      for (;;) RunOneCommand();
    } catch (DVError& error) {
      try {
        HandleCommandError(error);
      } catch (DVError& second) {
        try {
          ReportUnlessShown(second);
        } catch (const DVError&) {
          // A third error while the second is reported is dropped.
        }
        ReleaseCode();
      }
    }
  }
}

}  // namespace zentor
