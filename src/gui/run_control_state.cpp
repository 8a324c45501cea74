#include "gui/run_control_state.h"

#include <cstdio>

#include "core/dv_error.h"
#include "core/key_queue.h"
#include "core/view_kind.h"
#include "core/window_layer.h"
#include "gui/dialog_request_target.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/message_loop.h"
#include "gui/view_dispatcher.h"
#include "gui/win_super.h"
#include "gui/window_table.h"

namespace zentor {
namespace {

// The menu commands that need a stopped target: go, browse to, the steps, the
// breakpoint and watch dialogs and the engine's own.
constexpr uint32_t kRunControlMenuCommands[] = {1240, 1220, 1250, 1260, 1270, 1280, 1290, 1300, 1310,
                                                1320, 1330, 1380, 1381, 1382, 1383, 1390, 1475, 1476};
constexpr uint32_t kRunControlButtons[] = {kButtonAsm, kButtonStepInto, kButtonStepOver, kButtonStepOut, kButtonHome};

GuiWindowLayer* Layer() { return InstalledGuiWindowLayer(); }

}  // namespace

void EnableRunControlCommands(bool enable) {
  GuiWindowLayer* layer = Layer();
  const int32_t frame = FrameWindow::FrameId();
  if (layer == nullptr || frame == kNoLayerId) return;
  const int32_t flag = enable ? 1 : 0;
  layer->EnableItem(frame, static_cast<int32_t>(kButtonGo), flag);
  for (uint32_t command : kRunControlMenuCommands) layer->EnableMenuItem(frame, command, flag);
  for (uint32_t button : kRunControlButtons) layer->EnableItem(frame, static_cast<int32_t>(button), flag);
  LoadAcceleratorTable(enable ? kNormalAccelerators : kEmulatingAccelerators);
}

// Input at hand (keys typed ahead, output, a new width of the Command window) is
// looked at without waiting for a message: the round handles one only when one is
// there.
int32_t WaitForInputRound(NativeWindow frame, int32_t refreshCode) {
  DVError status(0, 0, kDisplayByFocus);
  RefreshAllWindows(refreshCode);
  const int32_t result = KeyQueue::TakeInputAvailable() ? RunPendingMessage(frame) : RunMessageLoop(frame);
  if (result == -1) return result;
  if (TestActivityFlags(kActivityMouse | kActivityKey) != 0) {
    if (ViewDispatcher::RunGuiCommand(status, MessageLoopRequestTarget(), kGuiIsRepeating, 0) != 0) {
      ViewDispatcher::RunGuiCommand(status, MessageLoopRequestTarget(), kGuiStopRepeat, 0);
    }
    ClearActivityFlags();
  }
  return result;
}

void RequestExit() {
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommand(status, MessageLoopRequestTarget(), kGuiExitDebugger, 0);
}

int32_t ConfirmExit(int32_t frameId) {
  GuiWindowLayer* layer = Layer();
  if (layer == nullptr || layer->Record(frameId) == nullptr) return 0;
  layer->ActivateWindow(frameId);
  char format[128];
  WindowLayer::LoadResourceString(kMsgConfirmExit, format, sizeof format);
  char text[256];
  std::snprintf(text, sizeof text, format, GetTargetName());
  return layer->ShowMessageBox(frameId, kMessageBoxOkCancel, text) == kMessageBoxAnswerOk ? 0 : 1;
}

void DeactivateApplication() {
  if (GuiWindowLayer* layer = Layer()) layer->ActivateWindow(kNoLayerId);
}

int32_t IsCommandWindowFocused() {
  GuiWindowLayer* layer = Layer();
  if (layer == nullptr) return 0;
  // The frame's focus is its client area's, where the Command window lives.
  int32_t focus = layer->GetFocusWindow();
  if (focus != kNoLayerId && focus == FrameWindow::FrameId()) focus = FrameWindow::ClientAreaId();
  int32_t cursor = 0;
  WindowTable::ResetIterator(cursor);
  while (WinSuper* window = WindowTable::Next(cursor)) {
    if (window->Kind() == kViewCommand && window->LayerWindowId() == focus) return 1;
  }
  return 0;
}

void ReactivateAfterWindowClose(NativeWindow window) {
  if (GuiWindowLayer* layer = Layer()) layer->ReactivateAfterClose(layer->IdOf(window));
}

void ActivateNextWindow() {
  if (GuiWindowLayer* layer = Layer()) layer->ActivateNextChild();
}

}  // namespace zentor
