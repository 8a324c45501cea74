#pragma once
// What a test that ran the windowed shell over the recording layer puts back, so the
// tests after it start from the console program's state.

#include "core/busy_pump.h"
#include "core/current_viewpoint.h"
#include "core/hi_service.h"
#include "core/key_queue.h"
#include "core/viewpoint_manager.h"
#include "gui/color_settings.h"
#include "gui/frame_children.h"
#include "gui/frame_commands.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/message_loop.h"
#include "gui/notice_router.h"
#include "gui/pane_services.h"
#include "gui/run_control_state.h"
#include "gui/shell_services.h"
#include "gui/target_to_gui.h"
#include "gui/window_table.h"

namespace zentor::testing_support {

inline void ResetShellAfterTest() {
  WindowTable::DestroyAll();
  InstallFrameControls(nullptr);
  SetUserActivityHook(nullptr);
  PaneWindow().Install(nullptr);
  InstallViewpointWindowPort(nullptr);
  InstallMessageQueue(nullptr);
  ResetMessageLoop();
  InstallGuiWindowLayer(nullptr);
  FrameWindow::Reset();
  ViewpointManager::RemoveAllViewpoints();
  SetBaseViewpoint(ViewpointHandle::None());
  SetConsoleMode(true);
  SetGuiStateWord(0);
  SetPumpingEnabled(1);
  SetNoticeHandler(NoticeTarget::kInvocation, nullptr);
  SetNoticeHandler(NoticeTarget::kBlackWhite, nullptr);
  ColorSettings::Reset();
}

}  // namespace zentor::testing_support
