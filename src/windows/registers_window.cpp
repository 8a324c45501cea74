#include "windows/registers_window.h"

#include "core/view_kind.h"
#include "gui/gui_window_layer.h"
#include "windows/refresh_pending.h"

namespace zentor {

namespace {
constexpr uint32_t kRegistersPaneStyle = 0x4c;
constexpr int32_t kForceRefresh = 0x4;
}  // namespace

// The change records are registered only after the first fill, which selects the
// first register field whatever was selected before.
RegistersWindow::RegistersWindow(NativeWindow window, uint32_t viewpointValue, const char* title)
    : DataWindow(window, viewpointValue, title, kViewRegisters, kRegistersPaneStyle,
                 {kRecordRegisters, kRecordExecutionState}) {
  ListInWindowMenu("Registers");
  LayerRef().ActivateWindow(LayerWindowId());
  DVError status = FreshRequestStatus();
  Send(status, kGuiOpened, 0);
  if (!status.IsOkay()) {
    status.Report();
    return;
  }
  Refresh(kForceRefresh, true);
  RegisterChangeRecords();
}

// A refused close is reported and the window goes all the same (its manager is gone).
RegistersWindow::~RegistersWindow() {
  TextPane& pane = GetTextPane();
  if (pane.lines != nullptr && pane.count > 0) CommitSelectedField();
  DVError status = FreshRequestStatus();
  Send(status, kGuiClosing, 0);
  if (!status.IsOkay()) status.Report();
  LayerRef().HideCaret(LayerWindowId());
  CloseLayerWindow(false);
}

void RegistersWindow::OnFocusLost() { FieldFocusLost(); }

void RegistersWindow::OnKey(const WindowEvent& event) { GetTextPane().HandleFieldKey(event.KeyCode()); }

void RegistersWindow::OnMouse(const WindowEvent& event) {
  if (event.type != kEventMouseDown || event.words[4] != 0) return;
  if (GetLineHeight() > 0 && GetCharWidth() > 0) {
    GetTextPane().HandleFieldMouse(event.words[0] / GetLineHeight(), event.words[1] / GetCharWidth());
  }
}

void RegistersWindow::OnEngineNotify() {
  DVError status = FreshRequestStatus();
  Send(status, kGuiEngineNotice, 0);
  GetTextPane().Revalidate();
}

// The register view reads the edited field from the pane itself: the pane's own
// argument is not passed on.
int32_t RegistersWindow::SendViewRequest(int32_t code, intptr_t) {
  DVError status = FreshRequestStatus();
  Send(status, code, 0);
  if (!status.IsOkay()) status.Report();
  return static_cast<int32_t>(status.Number());
}

void RegistersWindow::Refresh(int32_t flags, bool selectFirst) {
  UpdateTitle();
  if (!TakeChanges() && (flags & kForceRefresh) == 0) return;
  RefreshPendingWord() &= static_cast<uint16_t>(~kRefreshPendingRegisters);
  if (LayerWindowId() < 0) return;
  WaitCursor wait(kPumpCursorMessages);
  DVError status = FreshRequestStatus();
  Send(status, kGuiRefresh, 0);
  if (!status.IsOkay()) {
    status.Report();
    return;
  }
  TextPane& pane = GetTextPane();
  if (selectFirst || pane.selLength < 0) pane.SelectFirstField();
  pane.fieldEdit.caretOffset = 0;
  pane.fieldEdit.wideCaret = 1;
  pane.fieldEdit.insertMode = 0;
  if (LayerRef().GetFocusWindow() == LayerWindowId()) pane.PlaceCaret();
  pane.ShowSelection();
  pane.Revalidate();
}

std::unique_ptr<WinSuper> CreateRegistersWindow(NativeWindow window, uint32_t viewpointValue, const char* title) {
  return std::make_unique<RegistersWindow>(window, viewpointValue, title);
}

}  // namespace zentor
