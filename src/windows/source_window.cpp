#include "windows/source_window.h"

#include <algorithm>
#include <string>

#include "core/dv_error.h"
#include "core/view_kind.h"
#include "engine/source_base.h"
#include "gui/gui_window_layer.h"
#include "gui/key_translation.h"
#include "gui/text_pane_drawing.h"
#include "gui/frame_children.h"
#include "gui/view_dispatcher.h"
#include "gui/window_factory.h"
#include "gui/window_table.h"
#include "windows/inspector_windows.h"
#include "windows/source_dialogs.h"
#include "windows/source_pane_commands.h"
#include "windows/window_input.h"

namespace zentor {

namespace {

constexpr uint32_t kSourcePaneStyle = 0x2e;
constexpr uint32_t kMsgNoSymbolSelected = 204;  // "No symbol currently selected."
constexpr uint32_t kMsgBrowseToData = 240;      // "Browsing to a data value not allowed."
constexpr uint32_t kMsgFindNotValid = 231;      // "Find not valid for this source mode."
// The mode answer of a display without source text, where search is refused.
constexpr int32_t kModeWithoutSource = 2;
constexpr uint32_t kRefreshMemoryChanged = 0x8000;
constexpr int32_t kAddWatchRefused = -1;
constexpr int32_t kNothingSelected = -2;

// Search paths, the location (twice), breakpoints, execution, a further engine kind,
// target memory: in this order, the last one tested only outside plain source mode.
constexpr uint32_t kRecordKinds[] = {kRecordSearchPaths,     kRecordLocations, kRecordSymbolBrowsing, kRecordBreakpoints,
                                     kRecordExecutionState, 12,               kRecordTargetMemory};
constexpr int kExecutionRecord = 4;
constexpr int kMemoryRecord = 6;

constexpr const char* kPopupItems[] = {
    "&Inspect\tCtrl+I", "&Watch", "&Modify Value...\tCtrl+M", "&Browse To", "&Go Til Source Mark\tF7", "$",
    "&ASM Display\tF3", "&Software Breakpoint\tF9", "&Hardware Breakpoint\tShift+F9", "&Passpoint",
    "&Clear at Mark", "$", "&Find...\tCtrl+F", "&Repeat Find\tCtrl+R"};
constexpr int32_t kPopupItemCount = 14;
// The items OnReserved enables and greys together.
constexpr int32_t kLineItems[] = {SourceWindow::kInspect, SourceWindow::kModifyValue, SourceWindow::kAsmDisplay,
                                  SourceWindow::kSoftwareBreakpoint, SourceWindow::kHardwareBreakpoint,
                                  SourceWindow::kPasspoint, SourceWindow::kClearAtMark};

// Keys (internal codes).
constexpr int32_t kKeyCtrlHome = 319;
constexpr int32_t kKeyCtrlEnd = 320;
constexpr int32_t kKeyCtrlF = 6;
constexpr int32_t kKeyBackspace = 8;  // Ctrl+H with Ctrl
constexpr int32_t kKeyTab = 9;        // Ctrl+I with Ctrl
constexpr int32_t kKeyEnter = 13;     // Ctrl+M with Ctrl
constexpr int32_t kKeyCtrlN = 14;
constexpr int32_t kKeyCtrlP = 16;
constexpr int32_t kKeyCtrlR = 18;

void ReportWarning(uint32_t number) {
  DVError error(number, kSeverityWarning, kDisplayByFocus);
  error.Report();
}

std::unique_ptr<WinSuper> MakeSourceWindow(NativeWindow window, uint32_t viewpointValue, const char* title) {
  return std::make_unique<SourceWindow>(window, viewpointValue, title);
}

}  // namespace

// 1. The window opens its manager first: a window whose manager cannot be made shows
//    the warning and keeps no Window-menu entry, records or popup.
// 2. The opening fills the pane; the menu entry is added and the records are
//    registered only once the window is open.
SourceWindow::SourceWindow(NativeWindow window, uint32_t viewpointValue, const char* title)
    : WinSuper(window, viewpointValue, title),
      m_creationHandle(window),
      m_changeRecords{CollectableRecord(kRecordKinds[0], ViewpointHandle(viewpointValue)),
                      CollectableRecord(kRecordKinds[1], ViewpointHandle(viewpointValue)),
                      CollectableRecord(kRecordKinds[2], ViewpointHandle(viewpointValue)),
                      CollectableRecord(kRecordKinds[3], ViewpointHandle(viewpointValue)),
                      CollectableRecord(kRecordKinds[4], ViewpointHandle(viewpointValue)),
                      CollectableRecord(kRecordKinds[5], ViewpointHandle(viewpointValue)),
                      CollectableRecord(kRecordKinds[6], ViewpointHandle(viewpointValue))} {
  SetKind(kViewSource);
  SetPaneStyle(kSourcePaneStyle);
  DVError status(0, 0, kDisplayByFocus);
  if (ViewDispatcher::RunGuiCommand(status, *this, kGuiOpened, 0) != 0 || !status.IsOkay()) {
    Layer()->ShowWarningBox(LayerWindowId(), kSourceInitFailureText);
    return;
  }
  m_open = true;
  DropAbsentLastLine();
  ListInWindowMenu("Source");
  for (CollectableRecord& record : m_changeRecords) record.Register();
  Layer()->Invalidate(LayerWindowId(), nullptr);
  Layer()->SetScrollRange(LayerWindowId(), 1, 0, 0);
  Layer()->SetScrollRange(LayerWindowId(), 0, 0, 0);
  Layer()->CreatePopupMenu(LayerWindowId(), kPopupItems, kPopupItemCount);
}

SourceWindow::~SourceWindow() {
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommand(status, *this, kGuiClosing, 0);
  for (CollectableRecord& record : m_changeRecords) record.Unregister();
  Layer()->DestroyPopupMenu(LayerWindowId());
  Layer()->CloseWindow(LayerWindowId());
  Layer()->Destroy(LayerWindowId());
}

void SourceWindow::DropAbsentLastLine() {
  TextPane& pane = GetTextPane();
  if (pane.count > 0 && pane.lines != nullptr && pane.lines[pane.count - 1] == nullptr) --pane.count;
}

// The manager numbers lines from 1 when it fills around one; every other request
// names the current line.
int32_t SourceWindow::SendViewRequest(int32_t code, intptr_t argument) {
  TextPane& pane = GetTextPane();
  int32_t line = 0;
  if (code == kGuiFillAround) {
    line = static_cast<int32_t>(argument) + 1;
    if (line > pane.total) line = pane.total;
  } else {
    line = pane.CurrentLineIndex();
  }
  DVError status(0, 0, kDisplayByFocus);
  const int32_t result =
      ViewDispatcher::RunGuiCommandForKind(status, kViewSource, &pane, code, reinterpret_cast<intptr_t>(&line));
  DropAbsentLastLine();
  return result;
}

void SourceWindow::SendCurrentLine() {
  int32_t line = GetTextPane().CurrentLineIndex();
  if (line == -1) return;
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommand(status, *this, kPaneBrowseNearest, reinterpret_cast<intptr_t>(&line));
}

void SourceWindow::ShowPopup() {
  Layer()->EnableMenuItem(LayerWindowId(), kRepeatFind, m_findEnabled == 1 ? 1 : 0);
  Layer()->TrackPopupMenu(LayerWindowId(), -1, -1);
}

void SourceWindow::OnReserved(uint32_t enable) {
  for (int32_t item : kLineItems) Layer()->EnableMenuItem(LayerWindowId(), static_cast<uint32_t>(item), enable != 0);
}

void SourceWindow::OnKey(const WindowEvent& event) {
  const int32_t code = event.KeyCode();
  if (code == static_cast<int32_t>(kKeyPopupMenu)) {
    ShowPopup();
    return;
  }
  TextPane& pane = GetTextPane();
  if (pane.total == 0 || pane.count == 0) return;
  const bool ctrl = KeyWithCtrl(event);
  switch (code) {
    case kKeyCtrlHome:
      if (RunSourcePaneCommand(kPaneTextStart) == 0) {
        SendCurrentLine();
        pane.Revalidate();
      }
      return;
    case kKeyCtrlEnd:
      // A pane that holds the whole document only moves its view.
      if (pane.last == -1 && pane.first == 0 && pane.count == pane.total) {
        pane.top = std::max(pane.count - pane.rows, 0);
        SendCurrentLine();
        pane.Revalidate();
      } else if (RunSourcePaneCommand(kPaneTextEnd) == 0) {
        SendCurrentLine();
        pane.Revalidate();
      }
      return;
    case kKeyCtrlF:
      OpenFind();
      return;
    case kKeyBackspace:
      if (ctrl && RunSourcePaneCommand(kPaneShowLocation) != 0) Layer()->Beep();
      return;
    case kKeyCtrlN:
      RunSourcePaneCommand(kPaneNextFrame);
      return;
    case kKeyCtrlP:
      RunSourcePaneCommand(kPanePreviousFrame);
      return;
    case kKeyCtrlR:
      RepeatFind();
      return;
    case kKeyTab:
      if (ctrl) {
        InspectText(pane.SelectedFieldText());
        return;
      }
      break;
    case kKeyEnter:
      if (ctrl) {
        ModifyValue(pane.SelectedFieldText());
        return;
      }
      break;
    default:
      break;
  }
  pane.HandleKey(code);
  SendCurrentLine();
}

// The left button selects, drags and clicks the marker column through the pane's
// mouse handling; the line it leaves current is sent once the button is up.
void SourceWindow::OnMouse(const WindowEvent& event) {
  if (event.type == kEventDoubleClick) {
    OnDoubleClick(event);
  } else if (MouseButton(event) != kMouseLeft) {
    if (event.type == kEventMouseDown) ShowPopup();
  } else {
    TextPaneDrawing::HandleMouse(*this, event);
    if (event.type == kEventMouseUp) SendCurrentLine();
  }
}

// 1. The cell under the mouse: column 0 is the marker column, where a double click
//    does nothing, and a row at or past the held lines has no text.
// 2. The word there becomes the selection; a row is counted from 1 by the word search.
// 3. The word is browsed to; a data value is inspected instead.
void SourceWindow::OnDoubleClick(const WindowEvent& event) {
  TextPane& pane = GetTextPane();
  if (GetCharWidth() <= 0 || GetLineHeight() <= 0) return;
  const int32_t column = MouseX(event) / GetCharWidth();
  const int32_t row = MouseY(event) / GetLineHeight();
  if (column == 0 || pane.top + row >= pane.count) return;
  pane.TrySetCursor(row + 1, column);
  const std::string text = pane.SelectedFieldText();
  if (text.empty()) return;
  DVError status(0, 0, kDisplayByFocus);
  {
    WaitCursor wait;
    ViewDispatcher::RunGuiCommand(status, *this, kPaneBrowse, reinterpret_cast<intptr_t>(text.c_str()));
  }
  if (status.Number() == kMsgBrowseToData) {
    InspectText(text);
  } else {
    status.Report();
  }
}

// A request that carries the selected text; without one, 204 is reported and nothing
// is sent. The request's answer, or kNothingSelected.
int32_t SourceWindow::SendSelectedText(int32_t code, DVError& status) {
  const std::string text = GetTextPane().SelectedFieldText();
  if (text.empty()) {
    ReportWarning(kMsgNoSymbolSelected);
    return kNothingSelected;
  }
  WaitCursor wait;
  return ViewDispatcher::RunGuiCommand(status, *this, code, reinterpret_cast<intptr_t>(text.c_str()));
}

void SourceWindow::BrowseToSelection() {
  DVError status(0, 0, kDisplayByFocus);
  SendSelectedText(kPaneBrowse, status);
  status.Report();
}

// A watch the manager refused outright (-1) has been reported by the manager.
void SourceWindow::WatchSelection() {
  DVError status(0, 0, kDisplayByFocus);
  if (SendSelectedText(kPaneAddWatch, status) != kAddWatchRefused) status.Report();
}

void SourceWindow::OnCommand(int32_t command) {
  switch (command) {
    case kInspect:
      InspectText(GetTextPane().SelectedFieldText());
      break;
    case kWatch:
      WatchSelection();
      break;
    case kModifyValue:
      ModifyValue(GetTextPane().SelectedFieldText());
      break;
    case kBrowseTo:
      BrowseToSelection();
      break;
    case kGoTilSourceMark:
      RunSourcePaneCommand(kPaneRunToLine);
      break;
    case kAsmDisplay:
      ToggleAsmDisplay();
      break;
    case kSoftwareBreakpoint:
      RunSourcePaneCommand(kPaneToggleBreak);
      break;
    case kHardwareBreakpoint:
      RunSourcePaneCommand(kPaneToggleBreakType1);
      break;
    case kPasspoint:
      RunSourcePaneCommand(kPaneTogglePasspoint);
      break;
    case kClearAtMark:
      RunSourcePaneCommand(kPaneClearLine);
      break;
    case kFind:
      OpenFind();
      break;
    case kRepeatFind:
      RepeatFind();
      break;
    default:
      break;
  }
}

void SourceWindow::OnEngineNotify() {
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommandForKind(status, kViewSource, &GetTextPane(), kGuiEngineNotice, 0);
  GetTextPane().Revalidate();
}

// 1. Every record is tested (target memory only outside plain source mode, where
//    the lines show no memory), so each mark is cleared.
// 2. A memory change re-reads the lines, any other change refreshes them.
// 3. The row a breakpoint command kept comes back; a pane without lines has none.
// 4. After a stop the execution bar is brought into view on the second-to-last row,
//    the cursor staying on its document line.
void SourceWindow::OnRefresh(int32_t flags) {
  UpdateTitle();
  const int32_t mode = RunSourcePaneCommand(kPaneModeQuery);
  bool changed = false;
  bool executionChanged = false;
  for (int i = 0; i < kRecordCount; ++i) {
    if (i == kMemoryRecord && mode == 0) continue;
    if (m_changeRecords[i].TestAndClearChanged() == 0) continue;
    changed = true;
    if (i == kMemoryRecord) flags |= kRefreshMemoryChanged;
    if (i == kExecutionRecord) executionChanged = true;
  }
  if (!changed && flags == 0) return;
  {
    WaitCursor wait;
    DVError status(0, 0, kDisplayByFocus);
    ViewDispatcher::RunGuiCommand(status, *this, (flags & kRefreshMemoryChanged) != 0 ? kPaneReload : kPaneRefresh,
                                  0);
  }
  TextPane& pane = GetTextPane();
  SourceFindState& find = SourceFind();
  if (pane.row == -1 && find.savedRow != -1) {
    pane.row = find.savedRow;
    find.savedRow = -1;
  }
  if (pane.row < 0) pane.row = 0;
  if (pane.total == 0) {
    pane.count = 0;
    pane.row = 0;
  }
  if (executionChanged) {
    int32_t index = pane.top + pane.row;
    bool found = false;
    while (!found && index < pane.count && pane.lines[index] != nullptr) {
      found = (pane.lines[index]->attr & kLineExecutionBar) != 0;
      ++index;
    }
    if (found && index >= pane.top + pane.rows) {
      const int32_t d = index - pane.top - pane.rows + 1;
      pane.row -= d;
      pane.top = index - pane.rows + 1;
    }
  }
  pane.Revalidate();
}

// 1. The selected text is reduced to the variable it names.
// 2. It must evaluate in this window's viewpoint before an Inspect window shows it.
// 3. The viewpoint's Inspect window takes it; without one, one is made first.
void SourceWindow::InspectText(const std::string& text) {
  const std::string name = ExtractVariableName(text);
  if (name.empty()) {
    ReportWarning(kMsgNoSymbolSelected);
    return;
  }
  DVError status(0, 0, kDisplayByFocus);
  if (EvaluateQuietly(status, name.c_str()) != 0) {
    status.Report();
    return;
  }
  auto* inspect = dynamic_cast<InspectWindow*>(WindowTable::FindByKindAndViewpoint(kViewInspect, GetViewpoint()));
  if (inspect == nullptr) {
    // A window that cannot be made has shown its box over this one.
    CreateChildWindow(Layer()->IdOf(m_creationHandle), kViewInspect, kShowNormal, nullptr, GetViewpoint().Value());
    inspect = dynamic_cast<InspectWindow*>(WindowTable::FindByKindAndViewpoint(kViewInspect, GetViewpoint()));
  }
  if (inspect != nullptr) inspect->InspectExpression(name.c_str());
}

void SourceWindow::ModifyValue(const std::string& text) {
  DVError status(0, 0, kDisplayByFocus);
  if (EvaluateQuietly(status, text.c_str()) != 0) {
    status.Report();
    return;
  }
  ShowModifyValueDialog(LayerWindowId());
}

void SourceWindow::OpenFind() {
  if (RunSourcePaneCommand(kPaneModeQuery) == kModeWithoutSource) {
    ReportWarning(kMsgFindNotValid);
    return;
  }
  std::string text = GetTextPane().SelectedFieldText();
  if (text.size() > kMaxSourceFindText) text.resize(kMaxSourceFindText);
  SourceFind().text = text;
  m_findEnabled = 1;
  ShowSourceFindDialog(LayerWindowId());
}

void SourceWindow::RepeatFind() {
  if (RunSourcePaneCommand(kPaneModeQuery) == kModeWithoutSource) {
    ReportWarning(kMsgFindNotValid);
    return;
  }
  if (m_findEnabled != 0) FindNextInSource(LayerWindowId());
}

void InstallSourceWindow() {
  SetWindowObjectCreator(kViewSource, &MakeSourceWindow);
  InstallSourceLineCommands();
}

}  // namespace zentor
