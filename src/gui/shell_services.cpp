#include "gui/shell_services.h"

#include "console/file_channel.h"
#include "core/busy_pump.h"
#include "core/current_viewpoint.h"
#include "core/hi_service.h"
#include "core/status_line.h"
#include "core/view_kind.h"
#include "gui/color_settings.h"
#include "gui/dialog_request_target.h"
#include "gui/frame_children.h"
#include "gui/frame_window.h"
#include "gui/general_window.h"
#include "gui/gui_window_layer.h"
#include "gui/invocation_settings.h"
#include "gui/layout_state.h"
#include "gui/message_loop.h"
#include "gui/notice_router.h"
#include "gui/run_control_state.h"
#include "gui/shell_system.h"
#include "gui/target_to_gui.h"
#include "gui/win_super.h"
#include "gui/window_placement.h"
#include "gui/window_table.h"
#include "platform/clock.h"

namespace zentor {
namespace {

constexpr uint32_t kStateWordStarted = 11;

GuiWindowLayer& Layer() { return *InstalledGuiWindowLayer(); }

// The layer's timer callbacks carry the timer's id; the target's routines take
// nothing. Ids are 1..10 (the layer gives the lowest free one).
struct TargetTimer {
  TargetGui::TimerCallback routine = nullptr;
  uint64_t intervalMicroseconds = 0;
  uint64_t lastEnd = 0;  // when the routine last returned; 0: due at once
};
TargetTimer g_targetTimers[kTimerTableSize + 1];

// The layer calls its timers once per round of the message loop, whatever message
// ended the wait. The target's event poll may wait for the agent for a while, so a
// routine runs again only when its interval has passed since it last returned: a
// burst of keys or mouse moves is handled without a poll after each message.
int32_t RunTargetTimer(uint32_t timerId, uint32_t) {
  if (timerId > kTimerTableSize || g_targetTimers[timerId].routine == nullptr) return 0;
  TargetTimer& timer = g_targetTimers[timerId];
  const uint64_t now = platform::MonotonicMicroseconds();
  if (timer.lastEnd != 0 && now - timer.lastEnd < timer.intervalMicroseconds) return 0;
  timer.routine();
  g_targetTimers[timerId].lastEnd = platform::MonotonicMicroseconds();
  return 0;
}

class ShellFrameControls final : public FrameControls {
 public:
  void PushCursor(uint32_t kind) override { Layer().PushCursor(kind, 1); }
  void PopCursor() override { Layer().PopCursor(); }
  void SetMenuItemText(uint32_t command, const char* text) override {
    Layer().SetMenuItemText(FrameWindow::FrameId(), command, text);
  }
  void EnableMenuItem(uint32_t command, bool on) override {
    Layer().EnableMenuItem(FrameWindow::FrameId(), command, on ? 1 : 0);
  }
  void EnableItem(uint32_t item, bool on) override {
    Layer().EnableItem(FrameWindow::FrameId(), static_cast<int32_t>(item), on ? 1 : 0);
  }
  void EnableRunControlCommands(bool on) override { zentor::EnableRunControlCommands(on); }
  void ActivateMainWindow() override { Layer().ActivateWindow(FrameWindow::FrameId()); }
  int32_t SetTimer(uint32_t milliseconds, TargetGui::TimerCallback callback) override {
    const int32_t id = Layer().SetTimer(milliseconds, &RunTargetTimer);
    if (id > 0 && id <= kTimerTableSize) g_targetTimers[id] = TargetTimer{callback, uint64_t{milliseconds} * 1000, 0};
    return id;
  }
  void KillTimer(int32_t id) override {
    if (id <= 0 || id > kTimerTableSize) return;
    Layer().KillTimer(static_cast<uint32_t>(id));
    g_targetTimers[id] = TargetTimer{};
  }
};

WinSuper* FindCommandWindow() {
  int32_t cursor = 0;
  WindowTable::ResetIterator(cursor);
  while (WinSuper* window = WindowTable::Next(cursor)) {
    if (window->Kind() == kViewCommand) return window;
  }
  return nullptr;
}

// 1. Busy while the colours, the placements and the first windows are made.
// 2. The General window first, then the Command window on the frame's client area:
//    the saved layout's when there is one, else one at the default place.
// 3. One round lets the new windows paint before the start-up goes on; then the
//    invocation settings go to the engine (a request of the invocation dialog's kind,
//    which the dispatcher hands to nobody).
void StartUpWindows() {
  const int32_t frame = FrameWindow::FrameId();
  GuiWindowLayer& layer = Layer();
  layer.PushCursor(kCursorWait, 1);
  ColorSettings::Initialize(1);
  InitDefaultPlacements(layer.System().GetWindowRect(FrameWindow::FrameHandle()));
  CreateChildWindow(frame, kViewStatus);
  if (InvocationDialog::SendRequest193() != 0) {
    PumpingOff off;
    LayoutState::RestoreWindows(frame, kRestoreCommandWindows);
  }
  // A layout without a Command window (or none at all) still gets one.
  if (FindCommandWindow() == nullptr) CreateChildWindow(frame, kViewCommand);
  SetGuiStateWord(kStateWordStarted);
  layer.PopCursor();
  if (RunMessageLoop(FrameWindow::FrameHandle()) == -1) DisconnectAndExit();
  InvocationDialog::SendSettings();
}

void ActivateCommandWindow() {
  if (WinSuper* window = FindCommandWindow()) Layer().ActivateWindow(window->LayerWindowId());
}

// The first wait for a command places the frame and the windows' placements from the
// saved layout (the command loop asks only once), then the windows take their saved
// settings.
void RestoreSavedPlacements() {
  if (LayoutState::PlacementsRestored() || InvocationDialog::SendRequest193() == 0) return;
  PumpingOff off;
  if (LayoutState::RestoreWindows(FrameWindow::FrameId(), kRestorePlacements) == 0) RequestLayoutApply();
}

}  // namespace

int32_t HandleShellRequest(uint32_t code) {
  if (InstalledGuiWindowLayer() == nullptr || FrameWindow::FrameId() == kNoLayerId) return code == kGuiStartUp ? -1 : 0;
  GuiWindowLayer& layer = Layer();
  const NativeWindow frame = FrameWindow::FrameHandle();
  switch (code) {
    case kGuiStartUp:
      StartUpWindows();
      return 0;
    case kGuiShutDown:
      layer.ShutDown();
      if (ShellSystem* shell = InstalledShellSystem()) shell->UnregisterWindowClasses();
      DisconnectAndExit();
    case kGuiPumpWhileBusy:
      PumpWhileBusy(frame);
      return 0;
    case kGuiWaitForCommand:
      RestoreSavedPlacements();
      ActivateCommandWindow();
      if (RunMessageLoop(frame) == -1) DisconnectAndExit();
      return 0;
    case kGuiBusyCursor:
      layer.PushCursor(kCursorWait, 1);
      return 0;
    case kGuiPopCursor:
      layer.PopCursor();
      return 0;
    case kGuiIsCommandWindowFocused:
      return IsCommandWindowFocused();
    case kGuiArrowCursor:
      layer.PushCursor(kCursorArrow, 1);
      return 0;
    case kGuiRunMessageLoopOnce:
      if (RunMessageLoop(frame) == -1) DisconnectAndExit();
      return 0;
    case kGuiResetCursors:
      layer.ResetCursors();
      return 0;
    case kGuiShowSourceAndCommand: {
      const uint32_t viewpoint = GetCurrentViewpointValue();
      if (CountWindowsOfKind(kViewSource, viewpoint) < 1) CreateChildWindow(FrameWindow::FrameId(), kViewSource);
      ActivateWindowOfKind(kViewCommand, viewpoint);
      return 0;
    }
    default:
      return 0;
  }
}

void ShellWaitForInputRound() {
  if (FrameWindow::FrameId() == kNoLayerId) return;
  if (WaitForInputRound(FrameWindow::FrameHandle(), 0) == -1) DisconnectAndExit();
}

int32_t ShellCheckUserBreak() {
  if (FrameWindow::FrameId() == kNoLayerId) return 0;
  return CheckUserBreak(FrameWindow::FrameHandle());
}

void ShellRefreshStatusPane(uint32_t mask) {
  if ((mask & kStatusPaneLine) != 0) RefreshGeneralWindow(1);
}

void InstallShellServices() {
  static ShellFrameControls controls;
  InstallFrameControls(&controls);
  // Start-up tells the colour scheme and the invocation files before the first
  // windows are made.
  RegisterSettingsNoticeHandlers();
  SetUserActivityHook(&NotifyUserActivity);
  SetBusyTypingWindow(FrameWindow::ClientAreaHandle());
  // The engine's notice that a kind's data changed reaches the current viewpoint's
  // window of that kind.
  SetNoticeHandler(NoticeTarget::kViewpointWindow, [](uint32_t kind, uint32_t, uint32_t, const void*) {
    NotifyViewpointWindows(GetCurrentViewpointValue(), static_cast<int32_t>(kind));
  });
}

}  // namespace zentor
