#include "gui/frame_commands.h"

#include <vector>

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/status_line.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "core/window_layer.h"
#include "gui/about_box.h"
#include "gui/context_help.h"
#include "gui/dialog_request_target.h"
#include "gui/frame_dialog_launchers.h"
#include "gui/frame_children.h"
#include "gui/frame_window.h"
#include "gui/general_window.h"
#include "gui/gui_window_layer.h"
#include "gui/layout_state.h"
#include "gui/message_loop.h"
#include "gui/run_control_state.h"
#include "gui/view_dispatcher.h"
#include "gui/viewpoint_dialogs.h"
#include "gui/window_menu.h"
#include "gui/window_placement.h"
#include "gui/window_table.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgBrowseDataValue = 240;  // "Browsing to a data value not allowed."
constexpr int32_t kEngineKind = 14;
constexpr int32_t kPaneBrowseHome = 0x7b;  // back to where the target stopped

bool g_testCommands = false;
MemoryDisplayOpener g_memoryDisplayOpener = nullptr;

// The View menu's windows by command.
struct ShowCommand {
  uint32_t command;
  int32_t kind;
};
constexpr ShowCommand kShowCommands[] = {
    {101, kViewRegisters}, {1080, kViewRegisters}, {1070, kViewSource},  {1090, kViewWatch},
    {1110, kViewLocals},   {1120, kViewModules},   {1130, kViewInspect}, {1140, kViewCallstack},
};

// The Go menu's commands on the Source window's current line.
struct PaneCommand {
  uint32_t command;
  int32_t paneCommand;
};
constexpr PaneCommand kPaneCommands[] = {
    {1240, 106}, {1250, 107}, {1260, 105}, {1270, 118}, {1280, 108}, {1290, 112}, {1300, 109}, {1310, 111},
};

// A pane command runs between the General window's menu bracket, with the status line's
// message routine as the bracket's argument.
void RunPaneCommand(int32_t paneCommand) {
  ViewDispatcher::RunGuiCommandQuiet(kViewGuiState, nullptr, kGuiMenuBracketBegin,
                                     reinterpret_cast<intptr_t>(&ShowStatusMessage));
  SourceLineCommandHandler().Get().RunSourcePaneCommand(paneCommand);
  ViewDispatcher::RunGuiCommandQuiet(kViewGuiState, nullptr, kGuiMenuBracketEnd, 0);
}

// Help contents, or with F1 held the focused window's topic.
void ShowHelpContents(int32_t frameId) {
  GuiWindowLayer& layer = *InstalledGuiWindowLayer();
  MessageQueue* queue = InstalledMessageQueue();
  uint32_t context = 0;
  if (queue != nullptr && queue->IsKeyDown(vk::kF1)) {
    context = FocusedWindowHelpContext(GetWindowKindAt(layer.GetFocusWindow()));
  }
  if (context != 0) {
    ShowHelpContext(frameId, context);
  } else {
    ShowHelpIndex(frameId);
  }
}

void ShowLastErrorHelp(int32_t frameId) {
  const uint32_t number = GetLastErrorNumber();
  if (number > 0) {
    ShowHelpContext(frameId, number);
    return;
  }
  InstalledGuiWindowLayer()->ShowMessageBox(frameId, kMessageBoxInformation,
                                            "No errors have occured.  Last error not available.");
}

}  // namespace

void EnableFrameTestCommands(bool on) { g_testCommands = on; }

void SetMemoryDisplayOpener(MemoryDisplayOpener opener) { g_memoryDisplayOpener = opener; }

bool HandleFrameCommand(int32_t frameId, uint32_t command, uint32_t notification) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return false;
  if (HandleLayoutCommand(command)) return true;
  const uint32_t viewpoint = GetCurrentViewpointValue();
  for (const ShowCommand& show : kShowCommands) {
    if (show.command == command) {
      ShowWindowOfKind(frameId, show.kind);
      return true;
    }
  }
  for (const PaneCommand& pane : kPaneCommands) {
    if (pane.command == command) {
      RunPaneCommand(pane.paneCommand);
      return true;
    }
  }
  if (HandleWindowMenuCommand(command)) return true;
  if (RunFrameDialogLauncher(frameId, command)) return true;
  if (command >= 102 && command <= 109) {
    RunSourceMenuCommand(static_cast<int32_t>(command));
    return true;
  }
  switch (command) {
    case kCommandExit:
      RequestExit();
      return true;
    case 1100:
      if (g_memoryDisplayOpener != nullptr && CountWindowsOfKind(kViewMemory, viewpoint) == 0) {
        g_memoryDisplayOpener(0);
      } else {
        ShowWindowOfKind(frameId, kViewMemory);
      }
      return true;
    case 1180:
      // A new Command window is listed in the Window menu whatever a restored layout
      // left in the pane's placement.
      if (CountWindowsOfKind(kViewCommand, viewpoint) > 0) {
        ActivateWindowOfKind(kViewCommand, viewpoint);
      } else {
        SetCommandWindowGeometry(0, nullptr, 0);
        CreateChildWindow(frameId, kViewCommand);
      }
      return true;
    case 1197:
      ViewpointManager::ApplyToWindowGroup(viewpoint, kWindowGroupClose);
      return true;
    case 1198:
      ViewpointManager::ApplyToWindowGroup(viewpoint, kWindowGroupMinimise);
      return true;
    case 1199:
      ViewpointManager::ApplyToWindowGroup(viewpoint, kWindowGroupRestore);
      return true;
    case 1320:
      ClearActivityFlags();
      RunPaneCommand(113);
      return true;
    case 1330:
      SourceLineCommandHandler().Get().RunSourcePaneCommand(114);
      return true;
    case 1340:
      RunSourceMenuCommand(102);
      return true;
    case 1360:
      SourceLineCommandHandler().Get().RunSourcePaneCommand(115);
      return true;
    case 1361:
      RunSourceMenuCommand(107);
      return true;
    case 1362:
      RunSourceMenuCommand(108);
      return true;
    case kCommandBrowseHome:
      RunPaneCommand(kPaneBrowseHome);
      return true;
    case 1390:
      return true;
    case 1475:
      ViewDispatcher::RunGuiCommandQuiet(kEngineKind, nullptr, 0, 0);
      return true;
    case kCommandHelpContents:
      ShowHelpContents(frameId);
      return true;
    case kCommandHelpSearch:
      layer->ShowHelp(frameId, HelpFile().c_str(), kHelpPartialKey, reinterpret_cast<uintptr_t>(""));
      return true;
    case kCommandHelpLastError:
      ShowLastErrorHelp(frameId);
      return true;
    case kCommandHelpUsing:
      layer->ShowHelp(frameId, HelpFile().c_str(), kHelpOnHelp, 0);
      return true;
    case kCommandViewpointDialog:
      OpenViewpointDialog();
      return true;
    case kCommandAbout:
      ShowAboutDialog();
      return true;
    case kCommandTestError:
      if (!g_testCommands) break;
      throw DVError(kMsgBrowseDataValue, kSeverityError, kDisplayMessageBox);
    default:
      break;
  }
  if (notification != 0) return true;
  if (MenuHandler handler = layer->FindMenuHandler(command)) {
    handler(frameId, command);
    return true;
  }
  return false;
}

}  // namespace zentor
