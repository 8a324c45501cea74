// The Windows program: the frame window with its menu, accelerators, button bar,
// client area and status strip, then the command loop, which the GUI serves from
// inside (the message loop runs while the loop waits and while commands are busy).
//
// 1. The services of every subsystem, the settings store beside the program (its
//    ".ddb", else "default.dsc"), the target's description (its name is the frame's
//    caption and the message boxes').
// 2. The window classes; a failure shows message 1010 and ends with -1.
// 3. The logo, when a picture is beside the program: shown and painted, 3 seconds
//    with its messages served, then closed before the frame is made.
// 4. The frame at its geometry (message 1011 and 1011 when it cannot be made), its
//    accelerators and controls, the help file and the F1 hook, the dialogs' runner.
// 5. The command loop with the program's path as its first argument.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/program_entry.h"
#include "app/startup.h"
#include "app/windowed_program.h"
#include "core/window_layer.h"
#include "gui/context_help.h"
#include "gui/dialog_description_file.h"
#include "gui/frame_commands.h"
#include "gui/frame_window.h"
#include "gui/layout_state.h"
#include "gui/win32/start_up_logo.h"
#include "gui/win32/win32_color_chooser.h"
#include "gui/win32/win32_dialog_runner.h"
#include "gui/win32/win32_layer_system.h"
#include "gui/win32/win32_message_queue.h"
#include "gui/win32/win32_shell_system.h"
#include "platform/alert.h"
#include "windows/win32/symbol_file_chooser.h"

namespace {

using namespace zentor;

constexpr uint32_t kLogoMilliseconds = 3000;
constexpr uint32_t kMsgCannotRegisterClass = 1010;
constexpr uint32_t kMsgCannotCreateFrame = 1011;

void ShowStartFailure(uint32_t number) {
  char text[128];
  WindowLayer::LoadResourceString(number, text, sizeof text);
  ::MessageBoxA(nullptr, text, nullptr, MB_ICONEXCLAMATION);
}

std::string ModulePath(HINSTANCE instance) {
  char path[MAX_PATH + 1] = {};
  ::GetModuleFileNameA(instance, path, MAX_PATH);
  return path;
}

// The program's store beside it, opened once for the run; "default.dsc" in the
// working directory when that cannot be opened.
void OpenSettingsStore(const std::string& programPath) {
  uint32_t length = 0;
  if (LayoutState::OpenStore(programPath.c_str(), &length) != 0 && TheDialogDescriptionFile().CurrentFileName().empty()) {
    TheDialogDescriptionFile().Open(kDefaultStoreName);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int) {
  platform::SetAlertMode(platform::AlertMode::Window);
  InstallSubsystemServices();
  const std::string programPath = ModulePath(instance);
  OpenSettingsStore(programPath);
  LoadTargetDescriptionAtStart();

  InstallWin32WindowLayer(instance);
  InstallWin32MessageQueue(instance);
  InstallWin32ShellSystem(instance);
  InstallWin32ColorChooser();
  InstallWin32DialogRunner(instance);
  InstallWin32SymbolFileChooser(instance);
  if (previous == nullptr && RegisterWindowClasses(instance) != 0) {
    ShowStartFailure(kMsgCannotRegisterClass);
    return -1;
  }

  if (ShowLogo(instance) == 0) {
    WaitWithLogo(kLogoMilliseconds);
    HideLogo();
  }

  bool maximized = false;
  const LayerRect bounds = GetFrameGeometry(programPath.c_str(), &maximized);
  HWND frame = ::CreateWindowExA(0, kFrameClassName, GetTargetName(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, bounds.left,
                                 bounds.top, bounds.right, bounds.bottom, nullptr, nullptr, instance, nullptr);
  if (frame == nullptr) {
    ShowStartFailure(kMsgCannotCreateFrame);
    return static_cast<int>(kMsgCannotCreateFrame);
  }
  SetUpFrameWindow(NativeOf(frame));
  EnableFrameTestCommands(std::getenv("ZENTOR_GUI_TEST_COMMANDS") != nullptr);
  ::ShowWindow(frame, maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);

  SetHelpFile(BuildHelpFilePath(programPath));
  InstallHelpHook(frame);

  std::vector<char*> arguments(__argv, __argv + __argc);
  std::string first = programPath;
  if (arguments.empty()) arguments.push_back(nullptr);
  arguments[0] = first.data();
  arguments.push_back(nullptr);
  CommandLoop(__argc > 0 ? __argc : 1, arguments.data());
}
