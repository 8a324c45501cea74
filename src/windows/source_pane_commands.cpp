#include "windows/source_pane_commands.h"

#include <cstring>

#include "command/grammar_object.h"
#include "console/output_writer.h"
#include "core/current_viewpoint.h"
#include "core/value_stack.h"
#include "core/view_kind.h"
#include "engine/source_base.h"
#include "gui/general_window.h"
#include "gui/view_dispatcher.h"
#include "gui/window_table.h"
#include "windows/source_window.h"
#include "windows/window_input.h"

namespace zentor {

namespace {

constexpr uint32_t kMsgNoSymbolSelected = 204;   // "No symbol currently selected."
constexpr uint32_t kMsgSymbolNotKnown = 335;     // "Symbol <%s> not known in current context."
constexpr uint32_t kMsgNoExecutableCode = 264;   // "No executable code on this source line."
constexpr size_t kMaxEvaluatedText = 255;

bool IsBreakpointCommand(int32_t code) {
  return code == kPaneToggleBreak || code == kPaneToggleBreakType1 || code == kPaneTogglePasspoint ||
         code == kPaneClearLine;
}

bool HasCode(const TextPane& pane, int32_t index) {
  const PaneLine* line = pane.LineAt(index);
  return line != nullptr && (line->attr & kMarkCode) != 0;
}

void ReportNoCode() {
  DVError error(kMsgNoExecutableCode, kSeverityWarning, kDisplayByFocus);
  error.Report();
}

DVError FreshStatus() { return DVError(0, 0, kDisplayByFocus); }

// 1. The line must carry code; otherwise 264 and the pane stays as it was.
// 2. The row is kept aside while the command runs: the refresh that follows a toggle
//    puts it back, so the cursor stays on its row although the lines were rebuilt.
int32_t RunBreakpointCommand(SourceWindow& window, int32_t code, int32_t line) {
  TextPane& pane = window.GetTextPane();
  if (line < 0 || !HasCode(pane, line)) {
    ReportNoCode();
    return static_cast<int32_t>(kMsgNoExecutableCode);
  }
  SourceFindState& find = SourceFind();
  find.savedRow = pane.row;
  pane.row = -1;
  DVError status = FreshStatus();
  int32_t result = 0;
  {
    WaitCursor wait;
    result = ViewDispatcher::RunGuiCommandForKind(status, kViewSource, &pane, code, reinterpret_cast<intptr_t>(&line));
  }
  if (result == 0) {
    window.OnRefresh(1);
  } else {
    pane.row = find.savedRow;
    find.savedRow = -1;
  }
  return result;
}

// The commands of the frame's menus and of the General window, on the current
// viewpoint's Source window.
class SourceWindowLineCommands final : public SourceLineCommands {
 public:
  void ToggleAsmDisplay() override { zentor::ToggleAsmDisplay(); }
  int32_t RunSourcePaneCommand(int32_t paneCommand) override { return zentor::RunSourcePaneCommand(paneCommand); }
};

}  // namespace

SourceFindState& SourceFind() {
  static SourceFindState state;
  return state;
}

SourceWindow* CurrentSourceWindow() {
  return static_cast<SourceWindow*>(WindowTable::FindByKindAndViewpoint(kViewSource, CurrentViewpoint()));
}

int32_t RunSourcePaneCommand(int32_t code) {
  SourceWindow* window = CurrentSourceWindow();
  TextPane* pane = window != nullptr ? &window->GetTextPane() : nullptr;
  int32_t line = pane != nullptr ? pane->CurrentLineIndex() : -1;
  DVError status = FreshStatus();
  SourceFindState& find = SourceFind();
  switch (code) {
    case kPaneFind:
    case kPaneFindNext:
    case kPaneFindBackward:
      if (window == nullptr) return kSourceCommandNotRun;
      find.position[0] = line;
      if (code == kPaneFindBackward) {
        find.position[1] = pane->selStart > 0 ? pane->selStart - 1 : pane->selStart;
      } else {
        find.position[1] = pane->selStart + pane->selLength;
      }
      return ViewDispatcher::RunGuiCommand(status, *window, code, reinterpret_cast<intptr_t>(find.position));
    case kPaneModeQuery:
      if (window == nullptr) return kSourceCommandNotRun;
      ViewDispatcher::RunGuiCommand(status, *window, code, reinterpret_cast<intptr_t>(&line));
      return line;
    case kPaneRunToLine:
      if (window == nullptr) return kSourceCommandNotRun;
      if (line < 0) line = 0;
      if (pane->row < pane->count && !HasCode(*pane, pane->top + pane->row)) {
        ReportNoCode();
        return static_cast<int32_t>(kMsgNoExecutableCode);
      }
      return ViewDispatcher::RunGuiCommand(status, *window, code, reinterpret_cast<intptr_t>(&line));
    default:
      break;
  }
  if (IsBreakpointCommand(code)) {
    if (window == nullptr) return kSourceCommandNotRun;
    return RunBreakpointCommand(*window, code, line);
  }
  if (line < 0) line = 0;
  if (window != nullptr) return ViewDispatcher::RunGuiCommand(status, *window, code, reinterpret_cast<intptr_t>(&line));
  TextPane substitute;
  substitute.layerId = -1;
  return ViewDispatcher::RunGuiCommandForKind(status, kViewSource, &substitute, code,
                                              reinterpret_cast<intptr_t>(&line));
}

// The assembly display starts at the current line, or at the top when the whole
// document shows anyway.
void ToggleAsmDisplay() {
  SourceWindow* window = CurrentSourceWindow();
  if (window == nullptr) return;
  TextPane& pane = window->GetTextPane();
  int32_t line = pane.CurrentLineIndex();
  if (line < 0 || pane.total <= pane.rows) line = 0;
  WaitCursor wait;
  DVError status = FreshStatus();
  if (ViewDispatcher::RunGuiCommandForKind(status, kViewSource, &pane, kPaneToggleMixed,
                                           reinterpret_cast<intptr_t>(&line)) >= 0) {
    pane.Revalidate();
  }
}

void BrowseHome() { RunSourcePaneCommand(kPaneShowLocation); }

int32_t FindNextInSource(int32_t paneLayerId) {
  SourceFindState& find = SourceFind();
  if (find.text.empty()) return 0;
  SourceFindText() = find.text.c_str();
  int32_t result = 0;
  {
    WaitCursor wait;
    result = RunSourcePaneCommand(find.direction == 1 ? kPaneFindNext : kPaneFindBackward);
  }
  WinSuper* window = WindowTable::Get(paneLayerId);
  if (result == 0 && window != nullptr) {
    TextPane& pane = window->GetTextPane();
    pane.Revalidate();
    pane.RepaintLinePart(find.position[0], find.position[1], static_cast<int32_t>(find.text.size()));
  }
  return result;
}

int32_t EvaluateQuietly(DVError& status, const char* text) {
  char buffer[kMaxEvaluatedText + 1] = {};
  if (text != nullptr) std::strncpy(buffer, text, kMaxEvaluatedText);
  uint16_t kind = 0;
  uint8_t value[ValueStack::kMaxItemSize] = {};
  DVError error;
  OutputWriter::InstallHook([](char) {});
  DVErrorCode evaluated;
  try {
    evaluated = ExecuteTextInto(buffer, kProductionOperandRange, &kind, value, &error);
  } catch (...) {
    OutputWriter::RemoveHook();
    throw;
  }
  OutputWriter::RemoveHook();
  status.Reset();
  if (!evaluated.IsOkay()) status = error.IsOkay() ? DVError::DVError_FromCode(evaluated) : error;
  if (buffer[0] == '\0') {
    status.Set(kMsgNoSymbolSelected, kSeverityWarning, kDisplayByFocus, nullptr);
  } else if (status.Number() == kMsgExpressionSyntaxError) {
    status.Set(kMsgSymbolNotKnown, kSeverityWarning, kDisplayByFocus, buffer);
  }
  return static_cast<int32_t>(status.Number());
}

std::string ExtractVariableName(const std::string& text) {
  size_t start = text.find_first_not_of("* &#");
  if (start == std::string::npos) return {};
  std::string name = text.substr(start);
  size_t end = name.find_first_of(";.");
  const size_t arrow = name.find("->");
  if (arrow != std::string::npos && (end == std::string::npos || arrow < end)) end = arrow;
  if (end != std::string::npos) name.resize(end);
  return name;
}

void InstallSourceLineCommands() {
  static SourceWindowLineCommands commands;
  SourceLineCommandHandler().Install(&commands);
}

}  // namespace zentor
