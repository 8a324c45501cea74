#include "windows/inspector_windows.h"

#include <algorithm>
#include <cstring>

#include "core/view_kind.h"
#include "engine/view_managers.h"
#include "gui/dialog_request_target.h"
#include "gui/gui_window_layer.h"
#include "gui/view_dispatcher.h"
#include "gui/window_table.h"

namespace zentor {

namespace {

constexpr uint32_t kInspectorPaneStyle = 0x4c;
constexpr int32_t kAltA = 1089;
constexpr int32_t kPopupDeleteItem = 0;
constexpr int32_t kPopupDeleteAll = 1;
const char* const kInspectPopupItems[] = {"&Delete Item    ", "Delete &All     "};
constexpr const char* kEmptyDeleteText = "&Delete < >";

// Messages that mean there is nothing to show: no program, no symbols for the module,
// no module at the location, an expression that does not parse.
constexpr uint32_t kMsgNoProgram = 324;
constexpr uint32_t kMsgNoModuleSymbols = 325;
constexpr uint32_t kMsgModuleUnknown = 305;
constexpr uint32_t kMsgSyntaxError = 102;
constexpr uint32_t kMsgSymbolNotKnown = 335;

constexpr int32_t kStateExpanded = 0;
constexpr int32_t kStateContracted = 1;

constexpr std::size_t kMaxDeleteLine = 511;
constexpr std::size_t kMaxDeleteName = 15;

bool MeansNothingToShow(uint32_t number) {
  return number == kMsgNoProgram || number == kMsgNoModuleSymbols || number == kMsgModuleUnknown ||
         number == kMsgSyntaxError;
}

bool LineHasFields(const TextPane& pane, int32_t index) {
  const PaneLine* line = pane.LineAt(index);
  return line != nullptr && line->fields != nullptr && line->fields->count > 0;
}

}  // namespace

std::string BuildDeleteItemText(const char* lineText) {
  const std::string line = lineText != nullptr ? std::string(lineText).substr(0, kMaxDeleteLine) : "";
  std::size_t end = 0;  // the name is line[begin, end)
  const std::size_t equals = line.find('=');
  if (equals != std::string::npos) {
    // The manager writes "name = value": the name ends before the blank in front of "=".
    end = equals >= 1 ? equals - 1 : 0;
  } else {
    end = line.find_last_not_of(' ');
    end = end == std::string::npos ? 0 : end + 1;
  }
  std::size_t begin = end;
  while (begin > 0 && line[begin - 1] != ' ') --begin;
  const std::string name = line.substr(begin, end - begin);
  if (name.size() > kMaxDeleteName) return "&Delete <" + name.substr(0, kMaxDeleteName);
  return "&Delete <" + name + ">";
}

InspectorWindow::InspectorWindow(NativeWindow window, uint32_t viewpointValue, const char* title, int32_t kind,
                                 std::initializer_list<uint32_t> changeKinds)
    : DataWindow(window, viewpointValue, title, kind, kInspectorPaneStyle, changeKinds) {}

InspectorWindow::~InspectorWindow() = default;

// The Locals window borrows the inspector's manager: its requests go as kind 11 with
// its own pane, so its manager lives in its own slot.
int32_t InspectorWindow::SendInspector(DVError& status, int32_t code, intptr_t line, const char* text) {
  m_request.line = line;
  m_request.text = text;
  const auto argument = reinterpret_cast<intptr_t>(&m_request);
  if (Kind() == kViewLocals) {
    return ViewDispatcher::RunGuiCommandForKind(status, kViewInspect, &GetTextPane(), code, argument);
  }
  return Send(status, code, argument);
}

void InspectorWindow::OnFocusLost() {
  HandleFocusLost();
  TextPane& pane = GetTextPane();
  if (pane.lines == nullptr || pane.count <= 0) return;
  if (LineHasFields(pane, pane.top + pane.row)) CommitSelectedField();
  LayerRef().HideCaret(LayerWindowId());
  pane.UpdateLineText(pane.top + pane.row, nullptr);
}

void InspectorWindow::OnEngineNotify() {
  DVError status = FreshRequestStatus();
  SendInspector(status, kGuiEngineNotice);
  GetTextPane().SnapToFieldLine();
  GetTextPane().Revalidate();
}

int32_t InspectorWindow::SendViewRequest(int32_t code, intptr_t) {
  WaitCursor wait(kPumpCursorMessages);
  TextPane& pane = GetTextPane();
  DVError status = FreshRequestStatus();
  SendInspector(status, code, pane.top + pane.row);
  if (!status.IsOkay()) status.Report();
  return static_cast<int32_t>(status.Number());
}

void InspectorWindow::MarkCurrentLine() {
  TextPane& pane = GetTextPane();
  if (pane.lines == nullptr) return;
  const int32_t current = pane.top + pane.row;
  if (m_markedLine >= 0 && m_markedLine < pane.count) SetLineMark(m_markedLine, false);
  if (current >= 0 && current < pane.count) {
    SetLineMark(current, true);
    m_markedLine = current;
  }
  pane.PlaceCaret();
}

void InspectorWindow::KeepSelectionOnCurrentLine() {
  TextPane& pane = GetTextPane();
  const PaneLine* line = pane.LineAt(pane.top + pane.row);
  if (!LineHasFields(pane, pane.top + pane.row)) {
    pane.SnapToFieldLine();
  } else {
    const FieldPosition last = line->fields->FieldSpan(line->fields->count - 1);
    pane.SetSelectedField(pane.row, last.start, last.width);
  }
}

void InspectorWindow::HandleKey(int32_t code) {
  GetTextPane().HandleFieldKey(code);
  MarkCurrentLine();
  GetTextPane().Revalidate();
}

void InspectorWindow::SelectAtMouse(const WindowEvent& event) {
  if (GetLineHeight() <= 0 || GetCharWidth() <= 0) return;
  GetTextPane().HandleFieldMouse(event.words[0] / GetLineHeight(), event.words[1] / GetCharWidth());
  MarkCurrentLine();
}

// The line's item says which way it goes (the line data word is the manager's, so the
// manager is asked). Contracting a line that may not close is reported; an expansion
// that fails has left the line as it was.
void InspectorWindow::ToggleLineAt(const WindowEvent& event, bool withinRows) {
  if (GetLineHeight() <= 0) return;
  WaitCursor wait(kPumpCursorMessages);
  TextPane& pane = GetTextPane();
  const int32_t row = event.words[0] / GetLineHeight();
  if (row < 0 || (withinRows && row >= pane.rows) || pane.top + row > pane.count - 1) return;
  const int32_t line = pane.top + row;
  auto* manager = dynamic_cast<InspectorViewManager*>(ViewManagerAt(pane.layerId));
  const int32_t state = manager != nullptr ? manager->LineState(line) : -1;
  DVError status = FreshRequestStatus();
  if (state == kStateContracted) {
    SendInspector(status, kGuiInspectExpand, line);
    pane.Revalidate();
  } else if (state == kStateExpanded) {
    SendInspector(status, kGuiInspectContract, line);
    if (!status.IsOkay()) status.Report();
    pane.Revalidate();
  }
  MarkCurrentLine();
}

// A refused close is reported and the window goes all the same (its manager is gone).
void InspectorWindow::Close(bool hasPopup) {
  TextPane& pane = GetTextPane();
  if (pane.lines != nullptr && LineHasFields(pane, pane.top + pane.row)) CommitSelectedField();
  m_markedLine = -1;
  DVError status = FreshRequestStatus();
  SendInspector(status, kGuiClosing);
  m_request.pool = 0;
  if (!status.IsOkay()) status.Report();
  CloseLayerWindow(hasPopup);
}

// ---------------------------------------------------------------------------------

// 1. The manager writes the window's handle into the request's first word.
// 2. Without a program (324) or with a scope that does not parse (102) the window
//    opens empty and says nothing; other failures go to the status line as warnings.
LocalsWindow::LocalsWindow(NativeWindow window, uint32_t viewpointValue, const char* title)
    : InspectorWindow(window, viewpointValue, title, kViewLocals,
                      {kRecordSymbolBrowsing, kRecordTargetMemory, kRecordExecutionState, kRecordOtherView}) {
  ListInWindowMenu("Locals");
  WaitCursor wait(kPumpCursorMessages);
  DVError status = FreshRequestStatus();
  SendInspector(status, kGuiOpened);
  if (status.IsOkay()) SendInspector(status, kGuiInspectLocals);
  TextPane& pane = GetTextPane();
  if (status.IsOkay()) {
    pane.SelectFirstField();
    pane.fieldEdit.caretOffset = 0;
    pane.fieldEdit.wideCaret = 1;
    pane.fieldEdit.insertMode = 0;
    if (LayerRef().GetFocusWindow() == LayerWindowId()) pane.PlaceCaret();
    pane.ShowSelection();
  } else if (status.Number() == kMsgNoProgram || status.Number() == kMsgSyntaxError) {
    status.Reset();
  } else {
    status.Set(status.Number(), kSeverityWarning, kDisplayStatusLine, nullptr);
    status.Report();
  }
  RegisterChangeRecords();
  MarkCurrentLine();
  pane.Revalidate();
}

LocalsWindow::~LocalsWindow() { Close(false); }

void LocalsWindow::OnFocusGained() {
  HandleFocusGained();
  MarkCurrentLine();
}

void LocalsWindow::OnMouse(const WindowEvent& event) {
  if (event.type == kEventMouseDown && event.words[4] == 0) {
    SelectAtMouse(event);
  } else if (event.type == kEventDoubleClick) {
    ToggleLineAt(event, false);
  }
}

// A scope the manager no longer shows is rebuilt: the notice empties the outline and
// 0x1f9 lays out the locals of the scope that is current now.
void LocalsWindow::OnRefresh(int32_t) {
  UpdateTitle();
  if (!TakeChanges()) return;
  WaitCursor wait(kPumpCursorMessages);
  NotifyUserActivity();
  DVError status = FreshRequestStatus();
  SendInspector(status, kGuiLocalsNeedRebuild);
  if (status.IsOkay()) {
    SendInspector(status, kGuiRefresh);
  } else {
    OnEngineNotify();
    status = FreshRequestStatus();
    SendInspector(status, kGuiInspectLocals);
  }
  if (MeansNothingToShow(status.Number())) {
    status.Reset();
    OnEngineNotify();
  } else if (!status.IsOkay()) {
    status.Report();
    OnEngineNotify();
  }
  TextPane& pane = GetTextPane();
  if (pane.count > 0) {
    KeepSelectionOnCurrentLine();
    MarkCurrentLine();
  }
  pane.Revalidate();
}

// ---------------------------------------------------------------------------------

InspectWindow::InspectWindow(NativeWindow window, uint32_t viewpointValue, const char* title)
    : InspectorWindow(window, viewpointValue, title, kViewInspect,
                      {kRecordTargetMemory, kRecordSymbolBrowsing, kRecordExecutionState, kRecordOtherView}) {
  ListInWindowMenu("Inspect");
  {
    WaitCursor wait(kPumpCursorMessages);
    DVError status = FreshRequestStatus();
    SendInspector(status, kGuiOpened);
    GetTextPane().Revalidate();
  }
  LayerRef().CreatePopupMenu(LayerWindowId(), kInspectPopupItems, 2);
  RegisterChangeRecords();
}

InspectWindow::~InspectWindow() { Close(true); }

void InspectWindow::OnKey(const WindowEvent& event) {
  if (event.KeyCode() == kAltA) {
    ShowDeletePopup();
  } else {
    HandleKey(event.KeyCode());
  }
}

void InspectWindow::OnMouse(const WindowEvent& event) {
  if (event.type == kEventMouseDown) {
    if (event.words[4] == 0) {
      SelectAtMouse(event);
    } else {
      ShowDeletePopup();
    }
  } else if (event.type == kEventDoubleClick) {
    ToggleLineAt(event, true);
  }
}

void InspectWindow::ShowDeletePopup() {
  GuiWindowLayer& layer = LayerRef();
  const int32_t id = LayerWindowId();
  layer.SetMenuItemText(id, kPopupDeleteItem, kEmptyDeleteText);
  layer.EnableMenuItem(id, kPopupDeleteItem, 0);
  layer.EnableMenuItem(id, kPopupDeleteAll, 0);
  const TextPane& pane = GetTextPane();
  if (pane.count > 0) layer.EnableMenuItem(id, kPopupDeleteAll, 1);
  const PaneLine* line = pane.lines != nullptr ? pane.LineAt(pane.top + pane.row) : nullptr;
  if (line != nullptr && line->lineData != 0) {
    std::string text = line->text != nullptr ? std::string(line->text, static_cast<std::size_t>(std::max(line->length, 0)))
                                             : std::string();
    layer.SetMenuItemText(id, kPopupDeleteItem, BuildDeleteItemText(text.c_str()).c_str());
    layer.EnableMenuItem(id, kPopupDeleteItem, 1);
  }
  ShowPopup();
}

// Deleting never reports: the item under the cursor is gone or was never there.
void InspectWindow::OnCommand(int32_t command) {
  TextPane& pane = GetTextPane();
  if (command == kPopupDeleteItem) {
    if (pane.lines == nullptr) return;
    DVError status = FreshRequestStatus();
    SendInspector(status, kGuiInspectDelete);
    if (pane.count == 0) {
      pane.lines = nullptr;
      LayerRef().HideCaret(LayerWindowId());
    } else {
      KeepSelectionOnCurrentLine();
    }
    MarkCurrentLine();
    pane.Revalidate();
  } else if (command == kPopupDeleteAll) {
    OnEngineNotify();
    MarkCurrentLine();
  }
}

// 1. An empty text sends nothing.
// 2. Shown: the last page, so the new (last) item is in view, its first field selected.
// 3. Refused: the focus goes back to the Source window; an expression that does not
//    parse is named on the status line as an unknown symbol.
int32_t InspectWindow::InspectExpression(const char* text) {
  NotifyUserActivity();
  if (text == nullptr || text[0] == '\0') return kEmptyInspectText;
  TextPane& pane = GetTextPane();
  DVError status = FreshRequestStatus();
  SendInspector(status, kGuiInspectAdd, 0, text);
  if (status.IsOkay()) {
    LayerRef().ActivateWindow(LayerWindowId());
    if (pane.rows < pane.count) pane.ScrollToLine(pane.count - pane.rows);
    const int32_t last = pane.LastFieldLine();
    if (last >= 0) {
      const FieldPosition first = pane.lines[last]->fields->FieldSpan(0);
      pane.SetSelectedField(last - pane.top, first.start, first.width);
    }
    pane.PlaceCaret();
  } else {
    if (WinSuper* source = WindowTable::FindByKindAndViewpoint(kViewSource, GetViewpoint())) {
      LayerRef().ActivateWindow(source->LayerWindowId());
    }
    if (status.Number() == kMsgSyntaxError) status.Set(kMsgSymbolNotKnown, kSeverityWarning, kDisplayStatusLine, text);
    status.Report();
  }
  MarkCurrentLine();
  pane.Revalidate();
  return static_cast<int32_t>(status.Number());
}

void InspectWindow::OnRefresh(int32_t) {
  UpdateTitle();
  if (!TakeChanges()) return;
  WaitCursor wait(kPumpCursorMessages);
  DVError status = FreshRequestStatus();
  SendInspector(status, kGuiRefresh);
  if (status.Number() == kMsgSyntaxError) status.SetNumber(kMsgSymbolNotKnown);
  if (!status.IsOkay()) status.Report();
  TextPane& pane = GetTextPane();
  if (pane.count > 0) {
    KeepSelectionOnCurrentLine();
    MarkCurrentLine();
  }
  pane.Revalidate();
}

std::unique_ptr<WinSuper> CreateLocalsWindow(NativeWindow window, uint32_t viewpointValue, const char* title) {
  return std::make_unique<LocalsWindow>(window, viewpointValue, title);
}

std::unique_ptr<WinSuper> CreateInspectWindow(NativeWindow window, uint32_t viewpointValue, const char* title) {
  return std::make_unique<InspectWindow>(window, viewpointValue, title);
}

}  // namespace zentor
