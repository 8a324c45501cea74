#include "windows/memory_window.h"

#include <vector>

#include "core/view_kind.h"
#include "gui/dialog_description_file.h"
#include "gui/gui_window_layer.h"
#include "gui/memory_display_settings.h"
#include "gui/pane_services.h"
#include "windows/memory_dialogs.h"

namespace zentor {

namespace {

constexpr uint32_t kMemoryPaneStyle = 0x4c;
constexpr int32_t kAltA = 1089;
constexpr int32_t kPopupDisplay = 0;
constexpr int32_t kPopupSave = 1;
const char* const kPopupItems[] = {"&Memory Display...", "&Save Memory..."};

intptr_t RequestArgument() { return reinterpret_cast<intptr_t>(&TheMemoryDisplayRequest()); }

}  // namespace

MemoryDisplayRequest& TheMemoryDisplayRequest() {
  static MemoryDisplayRequest request;
  return request;
}

// 1. The popup is built and the window activated before the manager hears of it.
// 2. Only an opening the manager took registers the change records and fills the
//    pane, with every change flag set: the manager starts from nothing.
MemoryWindow::MemoryWindow(NativeWindow window, uint32_t viewpointValue, const char* title)
    : DataWindow(window, viewpointValue, title, kViewMemory, kMemoryPaneStyle,
                 {kRecordTargetMemory, kRecordExecutionState}) {
  ListInWindowMenu(Title().c_str());
  LayerRef().CreatePopupMenu(LayerWindowId(), kPopupItems, 2);
  LayerRef().ActivateWindow(LayerWindowId());
  DVError status = FreshRequestStatus();
  if (Send(status, kGuiOpened, RequestArgument()) != 0) {
    status.Report();
    return;
  }
  TheMemoryDisplayRequest().changeFlags = kMemoryAllChanges;
  RegisterChangeRecords();
  OnRefresh(1);
}

// The manager's refusal to close is reported, but the window goes all the same: the
// dispatcher has destroyed the manager either way, so a window left open would have
// nothing behind it.
MemoryWindow::~MemoryWindow() {
  TextPane& pane = GetTextPane();
  if (pane.total > 0 && pane.top + pane.row < pane.count) CommitSelectedField();
  DVError status = FreshRequestStatus();
  if (Send(status, kGuiClosing, RequestArgument()) != 0) status.Report();
  LayerRef().HideCaret(LayerWindowId());
  CloseLayerWindow(true);
}

void MemoryWindow::OnFocusLost() { FieldFocusLost(); }

void MemoryWindow::OnKey(const WindowEvent& event) {
  if (event.KeyCode() == kAltA) {
    ShowPopup();
  } else {
    GetTextPane().HandleFieldKey(event.KeyCode());
  }
}

void MemoryWindow::OnMouse(const WindowEvent& event) {
  if (event.type != kEventMouseDown) return;
  if (event.words[4] == 0) {
    if (GetLineHeight() > 0 && GetCharWidth() > 0) {
      GetTextPane().HandleFieldMouse(event.words[0] / GetLineHeight(), event.words[1] / GetCharWidth());
    }
  } else {
    ShowPopup();
  }
}

void MemoryWindow::OnCommand(int32_t command) {
  if (command == kPopupDisplay) {
    ShowMemoryDisplayDialog(LayerWindowId());
  } else if (command == kPopupSave) {
    ShowMemorySaveDialog(LayerWindowId());
  }
}

void MemoryWindow::TakeRowCount(int32_t lineHeight) {
  if (lineHeight <= 0) return;
  const auto rows = static_cast<uint32_t>((ClientArea().bottom - ClientArea().top) / lineHeight);
  MemoryDisplayRequest& request = TheMemoryDisplayRequest();
  if (rows != request.rows) {
    request.rows = rows;
    request.changeFlags |= kMemoryRowsChanged;
  }
}

// 1. Every record is tested (and so cleared) even when the first says changed.
// 2. A refusal keeps the change flags, so the next refresh sends them again.
// 3. Accepted, the first field of the first line is selected with an overwrite caret,
//    and the rows the window now holds go into the request without a change flag:
//    the manager has just laid out for them.
void MemoryWindow::OnRefresh(int32_t force) {
  UpdateTitle();
  if (!TakeChanges() && force == 0) return;
  TakeRowCount(GetLineHeight());
  MemoryDisplayRequest& request = TheMemoryDisplayRequest();
  TextPane& pane = GetTextPane();
  DVError status = FreshRequestStatus();
  int32_t result = 0;
  {
    WaitCursor wait(kPumpCursorMessages);
    result = Send(status, kGuiRefresh, RequestArgument());
  }
  pane.row = 0;
  if (result != 0) {
    status.Report();
    return;
  }
  request.changeFlags = 0;
  if (pane.total == 0) return;
  if (pane.lines != nullptr && pane.count > 0 && pane.lines[0] != nullptr && pane.lines[0]->fields != nullptr) {
    const FieldPosition first = pane.lines[0]->fields->FieldSpan(0);
    pane.selStart = first.start;
    pane.selLength = first.width;
  }
  pane.fieldEdit.wideCaret = 1;
  pane.fieldEdit.insertMode = 0;
  pane.ShowSelection();
  if (LayerRef().GetFocusWindow() == LayerWindowId()) pane.PlaceCaret();
  pane.Revalidate();
  LayerRect area;
  if (LayerRef().GetClientArea(LayerWindowId(), &area) != nullptr) SetClientArea(area);
  if (GetLineHeight() > 0) request.rows = static_cast<uint32_t>((area.bottom - area.top) / GetLineHeight());
}

void MemoryWindow::OnEngineNotify() {
  DVError status = FreshRequestStatus();
  Send(status, kGuiEngineNotice, RequestArgument());
  GetTextPane().Revalidate();
}

// The pane's requests beep on failure rather than report: they come from moves and
// edits the user repeats. The window's own write (0x52) clears the target-memory
// record it marks, so it causes no full refresh.
int32_t MemoryWindow::SendViewRequest(int32_t code, intptr_t argument) {
  int32_t cellHeight = 0;
  GetCharCellSize(LayerWindowId(), &cellHeight, nullptr);
  TakeRowCount(cellHeight);
  MemoryDisplayRequest& request = TheMemoryDisplayRequest();
  request.requestArgument = static_cast<uint32_t>(argument);
  DVError status = FreshRequestStatus();
  int32_t result = 0;
  {
    WaitCursor wait(kPumpCursorMessages);
    result = Send(status, code, RequestArgument());
  }
  if (result != 0) Beep();
  if (code == kGuiCommitField) TakeChange(0);
  request.changeFlags = 0;
  return static_cast<int32_t>(status.Number());
}

void MemoryWindow::SaveSettings() {
  std::vector<uint8_t> image(MemoryDisplaySettings::kRecordSize);
  TheMemoryDisplaySettings().CopyTo(image.data());
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  store.RemoveRecord(kMemoryDisplayRecordId, kCurrentSettingsName);
  store.AddRecord(kMemoryDisplayRecordId, kCurrentSettingsName, "", MemoryDisplaySettings::kRecordSize, image.data());
}

void MemoryWindow::RestoreSettings() { TheMemoryDisplaySettings().ReadRecord(RWCString(kCurrentSettingsName)); }

std::unique_ptr<WinSuper> CreateMemoryWindow(NativeWindow window, uint32_t viewpointValue, const char* title) {
  return std::make_unique<MemoryWindow>(window, viewpointValue, title);
}

}  // namespace zentor
