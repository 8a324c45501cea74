#include "gui/shell_window_procedures.h"

#include "gui/color_settings.h"
#include "gui/context_help.h"
#include "gui/frame_commands.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/layer_messages.h"
#include "gui/message_loop.h"
#include "gui/message_translation.h"
#include "gui/run_control_state.h"
#include "gui/shell_system.h"
#include "gui/window_table.h"

namespace zentor {
namespace {

GuiWindowLayer& Layer() { return *InstalledGuiWindowLayer(); }

intptr_t Default(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2) {
  ShellSystem* system = InstalledShellSystem();
  return system != nullptr ? system->DefaultProcedure(window, message, p1, p2) : 0;
}

bool KeyDown(uint32_t virtualKey) {
  MessageQueue* queue = InstalledMessageQueue();
  return queue != nullptr && queue->IsKeyDown(virtualKey);
}

// A translated event goes to its window object, with the system's own handling where
// the translation or the router asks for it.
intptr_t DispatchTranslated(NativeWindow window, int32_t id, int32_t result, WindowEvent& event, uint32_t message,
                            uintptr_t p1, intptr_t p2) {
  if (id == kNoLayerId) return Default(window, message, p1, p2);
  const int32_t routed = DispatchWindowEvent(id, event);
  if (result == kTranslateDispatchAndDefault || routed == -1) return Default(window, message, p1, p2);
  return 0;
}

// The cursor stack decides the cursor over the program's windows, and everywhere while
// the hourglass shows.
intptr_t SetCursorMessage(NativeWindow window, uintptr_t p1, intptr_t p2) {
  GuiWindowLayer& layer = Layer();
  if (LowWord(static_cast<uintptr_t>(p2)) != hit::kClient && !layer.IsHelpMode() &&
      layer.TopCursorKind() != kCursorWait) {
    return Default(window, msg::kSetCursor, p1, p2);
  }
  layer.RefreshCursor();
  return 1;
}

intptr_t FrameMessage(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2) {
  GuiWindowLayer& layer = Layer();
  const int32_t frameId = FrameWindow::FrameId();
  switch (message) {
    case msg::kCreate:
    case msg::kMove:
    case msg::kTimer:
    case msg::kInitMenu:
    case msg::kEnterIdle:
      return 0;
    case msg::kDestroy:
      layer.System().WinHelp(window, HelpFile().c_str(), kHelpQuit, 0);
      if (HelpHookMessage() != 0 && InstalledShellSystem() != nullptr) InstalledShellSystem()->RemoveHelpHook();
      return 0;
    case msg::kSize:
      if (frameId != kNoLayerId) ResizeFrameControls(frameId, p1);
      return 0;
    case msg::kActivate:
      Default(window, message, p1, p2);
      return 0;
    case msg::kSetFocus: {
      const int32_t client = FrameWindow::ClientAreaId();
      layer.NoteActiveWindow(client);
      WindowEvent event;
      event.type = kEventFocus;
      event.words[0] = 1;
      DispatchWindowEvent(client, event);
      return 0;
    }
    case msg::kPaint:
      layer.System().BeginPaint(window);
      layer.System().EndPaint(window);
      return 0;
    case msg::kClose:
      RequestExit();
      return 0;
    case msg::kQueryEndSession:
      layer.System().BringWindowToTop(window);
      return ConfirmExit(frameId) == 0 ? 1 : 0;
    case msg::kSysColorChange:
      ColorSettings::ResetDefault();
      return 0;
    case msg::kActivateApp:
      if (p1 == 0) DeactivateApplication();
      return 0;
    case msg::kSetCursor:
      return SetCursorMessage(window, p1, p2);
    case msg::kMouseActivate:
      layer.ActivateWindow(frameId);
      return kMouseActivateAndKeep;
    case msg::kNcLeftButtonDown:
      if (layer.IsHelpMode() && HelpModeNonClientClick(frameId, static_cast<int32_t>(p1))) return 0;
      return Default(window, message, p1, p2);
    case msg::kLeftButtonDown:
      if (!layer.IsHelpMode()) return Default(window, message, p1, p2);
      HelpModeClientClick(frameId, true);
      return 0;
    case msg::kMenuSelect: {
      const uint32_t flags = HighWord(p1);
      const NativeMenu menu = static_cast<NativeMenu>(p2);
      NoteFrameMenuSelect(LowWord(p1), flags, flags == 0xFFFF && menu == 0,
                          (flags & kMenuFlagPopup) != 0 && menu != 0 && menu == layer.System().GetMenuBar(window));
      return 0;
    }
    case msg::kKeyDown:
      if (HelpModeKey(static_cast<uint32_t>(p1), KeyDown(vk::kShift))) return 0;
      if (p1 == vk::kF1) {
        ShowHelpIndex(frameId);
        return 0;
      }
      [[fallthrough]];
    case msg::kChar: {
      // The frame's keys and characters are its client area's.
      const int32_t client = FrameWindow::ClientAreaId();
      const NativeWindow target = message == msg::kChar ? FrameWindow::ClientAreaHandle() : window;
      WindowEvent event;
      const int32_t result = TranslateLayerMessage(target, message, p1, p2, &event);
      if (result == kTranslateNotHandled || client == kNoLayerId) return Default(window, message, p1, p2);
      return DispatchTranslated(window, client, result, event, message, p1, p2);
    }
    case msg::kCommand:
      if (layer.IsHelpMode()) {
        HelpModeFrameCommand(frameId, LowWord(p1));
        return 0;
      }
      if (!HandleFrameCommand(frameId, LowWord(p1), HighWord(p1))) return Default(window, message, p1, p2);
      return 0;
    default:
      if (message != 0 && message == HelpHookMessage()) {
        FrameHelpHookMessage(frameId, p1);
        return 0;
      }
      return Default(window, message, p1, p2);
  }
}

// A child window in context-help mode: its events are stopped, and a click or a
// popup-menu choice shows a topic instead.
bool ChildHelpModeMessage(NativeWindow window, uint32_t message, uintptr_t p1) {
  GuiWindowLayer& layer = Layer();
  const int32_t id = layer.IdOf(window);
  switch (message) {
    case msg::kNcLeftButtonDown:
      return HelpModeNonClientClick(id, static_cast<int32_t>(p1));
    case msg::kCommand:
      return HelpModePopupCommand(id, static_cast<int32_t>(LowWord(p1)));
    case msg::kLeftButtonDown:
      HelpModeClientClick(id, false);
      return true;
    default:
      return false;
  }
}

intptr_t ChildMessage(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2) {
  GuiWindowLayer& layer = Layer();
  if (message == msg::kKeyDown && HelpModeKey(static_cast<uint32_t>(p1), KeyDown(vk::kShift))) return 0;
  // F1 that no accelerator took: the help file's contents.
  if (message == msg::kKeyDown && p1 == vk::kF1) {
    ShowHelpIndex(layer.IdOf(window));
    return 0;
  }
  if (layer.IsHelpMode() && ChildHelpModeMessage(window, message, p1)) return 0;
  // F1 held in the window's popup menu: the highlighted item is chosen in help mode.
  if (message == msg::kEnterIdle && p1 == kHelpHookMenu && KeyDown(vk::kF1) && !layer.IsHelpMode()) {
    StartHelpMode();
    if (InstalledShellSystem() != nullptr) InstalledShellSystem()->PostKeyDown(window, vk::kReturn);
    return 0;
  }
  WindowEvent event;
  const int32_t result = TranslateLayerMessage(window, message, p1, p2, &event);
  if (result != kTranslateNotHandled) {
    return DispatchTranslated(window, layer.IdOf(window), result, event, message, p1, p2);
  }
  switch (message) {
    case msg::kCreate:
      return 0;
    case msg::kSetCursor:
      return SetCursorMessage(window, p1, p2);
    case msg::kSysChar:
      // Alt+letter opens the frame's menus; Alt+'-' the window's own system menu.
      if (p1 != '-' && FrameWindow::FrameHandle() != 0) return Default(FrameWindow::FrameHandle(), message, p1, p2);
      return Default(window, message, p1, p2);
    default:
      return Default(window, message, p1, p2);
  }
}

using Handler = intptr_t (*)(NativeWindow, uint32_t, uintptr_t, intptr_t);

intptr_t Guarded(Handler handler, NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2) {
  try {
    if (InstalledGuiWindowLayer() == nullptr) return Default(window, message, p1, p2);
    return handler(window, message, p1, p2);
  } catch (...) {
    HandleWindowProcedureException();
    return 0;
  }
}

}  // namespace

intptr_t FrameWindowProcedure(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2) {
  return Guarded(&FrameMessage, window, message, p1, p2);
}

intptr_t ChildWindowProcedure(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2) {
  return Guarded(&ChildMessage, window, message, p1, p2);
}

}  // namespace zentor
