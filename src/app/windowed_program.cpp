#include "app/windowed_program.h"

#include "app/program_shell.h"
#include "core/hi_service.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/layout_state.h"
#include "gui/message_loop.h"
#include "gui/pane_services.h"
#include "gui/run_control_state.h"
#include "gui/shell_services.h"
#include "gui/window_table.h"

#include <cstdint>

namespace zentor {

void SetUpFrameWindow(NativeWindow frame) {
  GuiWindowLayer& layer = *InstalledGuiWindowLayer();
  const int32_t frameId = layer.Register(frame, kLayerFrame, reinterpret_cast<uintptr_t>(GetTargetName()));
  FrameWindow::SetFrame(frameId);
  LoadAcceleratorTable(kNormalAccelerators);
  CreateFrameControls(frameId);
  InstallLayerPaneWindowPort();
  InstallGuiViewpointWindows();
  InstallShellServices();
  InstallLayoutState();
  static ProgramShell shell;
  InstallGuiShell(&shell);
  SetConsoleMode(false);
}

}  // namespace zentor
