#include "gui/win32/win32_shell_system.h"

#include "gui/color_settings.h"
#include "gui/context_help.h"
#include "gui/frame_commands.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/message_translation.h"
#include "gui/run_control_state.h"
#include "gui/win32/win32_layer_system.h"
#include "gui/window_table.h"

namespace zentor {
namespace {

struct WindowClass {
  const char* name;
  const char* icon;
};
// The frame first, then the child windows' classes.
constexpr WindowClass kChildClasses[] = {
    {"GENERAL", "AVRKW_ICON"}, {"SOURCE", "SOURCE_ICON"},   {"CMD", "CMD_ICON"},
    {"REG", "REG_ICON"},       {"WATCH", "WATCH_ICON"},     {"MEMORY", "MEMORY_ICON"},
    {"MODULES", "MODULES_ICON"}, {"LOCALS", "LOCALS_ICON"}, {"CALLSTACK", "CALLSTACK_ICON"},
    {"INSP", "INSP_ICON"},     {"ClipRect", "AVRKW_ICON"},
};

struct ShellState {
  HINSTANCE instance = nullptr;
  HHOOK hook = nullptr;
  HWND hookTarget = nullptr;
};

ShellState& State() {
  static ShellState state;
  return state;
}

GuiWindowLayer& Layer() { return *InstalledGuiWindowLayer(); }

// What a translated event needs of the procedure: routed to the window object, with
// the system's own handling where the translation or the router asks for it.
LRESULT DispatchTranslated(HWND window, int32_t id, int32_t result, WindowEvent& event, UINT message, WPARAM p1,
                           LPARAM p2) {
  if (id == kNoLayerId) return DefWindowProcA(window, message, p1, p2);
  const int32_t routed = DispatchWindowEvent(id, event);
  if (result == kTranslateDispatchAndDefault) return DefWindowProcA(window, message, p1, p2);
  if (routed == -1) return DefWindowProcA(window, message, p1, p2);
  return 0;
}

// The cursor stack decides the cursor over the program's windows, and everywhere while
// the hourglass shows.
LRESULT SetCursorMessage(HWND window, WPARAM p1, LPARAM p2) {
  GuiWindowLayer& layer = Layer();
  if (LOWORD(p2) != HTCLIENT && !layer.IsHelpMode() && layer.TopCursorKind() != kCursorWait) {
    return DefWindowProcA(window, WM_SETCURSOR, p1, p2);
  }
  layer.RefreshCursor();
  return TRUE;
}

LRESULT FrameMessage(HWND window, UINT message, WPARAM p1, LPARAM p2) {
  GuiWindowLayer& layer = Layer();
  const int32_t frameId = FrameWindow::FrameId();
  switch (message) {
    case WM_CREATE:
    case WM_MOVE:
    case WM_TIMER:
    case WM_INITMENU:
    case WM_ENTERIDLE:
      return 0;
    case WM_DESTROY:
      ::WinHelpA(window, HelpFile().c_str(), HELP_QUIT, 0);
      if (State().hook != nullptr) {
        ::UnhookWindowsHookEx(State().hook);
        State().hook = nullptr;
      }
      return 0;
    case WM_SIZE:
      if (frameId != kNoLayerId) ResizeFrameControls(frameId, static_cast<uint32_t>(p1));
      return 0;
    case WM_ACTIVATE:
      DefWindowProcA(window, message, p1, p2);
      return 0;
    case WM_SETFOCUS: {
      const int32_t client = FrameWindow::ClientAreaId();
      layer.NoteActiveWindow(client);
      WindowEvent event;
      event.type = kEventFocus;
      event.words[0] = 1;
      DispatchWindowEvent(client, event);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      ::BeginPaint(window, &paint);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_CLOSE:
      RequestExit();
      return 0;
    case WM_QUERYENDSESSION:
      ::BringWindowToTop(window);
      return ConfirmExit(frameId) == 0 ? TRUE : FALSE;
    case WM_SYSCOLORCHANGE:
      ColorSettings::ResetDefault();
      return 0;
    case WM_ACTIVATEAPP:
      if (p1 == FALSE) DeactivateApplication();
      return 0;
    case WM_SETCURSOR:
      return SetCursorMessage(window, p1, p2);
    case WM_MOUSEACTIVATE:
      layer.ActivateWindow(frameId);
      return MA_ACTIVATE;
    case WM_NCLBUTTONDOWN:
      if (layer.IsHelpMode() && HelpModeNonClientClick(frameId, static_cast<int32_t>(p1))) return 0;
      return DefWindowProcA(window, message, p1, p2);
    case WM_LBUTTONDOWN:
      if (!layer.IsHelpMode()) return DefWindowProcA(window, message, p1, p2);
      HelpModeClientClick(frameId, true);
      return 0;
    case WM_MENUSELECT: {
      const UINT flags = HIWORD(p1);
      const HMENU menu = reinterpret_cast<HMENU>(p2);
      NoteFrameMenuSelect(LOWORD(p1), flags, flags == 0xFFFF && menu == nullptr,
                          (flags & MF_POPUP) != 0 && menu != nullptr && menu == ::GetMenu(window));
      return 0;
    }
    case WM_KEYDOWN:
      if (HelpModeKey(static_cast<uint32_t>(p1), ::GetKeyState(VK_SHIFT) < 0)) return 0;
      if (p1 == VK_F1) {
        ShowHelpIndex(frameId);
        return 0;
      }
      [[fallthrough]];
    case WM_CHAR: {
      // The frame's keys and characters are its client area's.
      const int32_t client = FrameWindow::ClientAreaId();
      const HWND target = message == WM_CHAR ? HwndOf(FrameWindow::ClientAreaHandle()) : window;
      WindowEvent event;
      const int32_t result = TranslateLayerMessage(NativeOf(target), message, p1, p2, &event);
      if (result == kTranslateNotHandled || client == kNoLayerId) return DefWindowProcA(window, message, p1, p2);
      return DispatchTranslated(window, client, result, event, message, p1, p2);
    }
    case WM_COMMAND:
      if (layer.IsHelpMode()) {
        HelpModeFrameCommand(frameId, LOWORD(p1));
        return 0;
      }
      if (!HandleFrameCommand(frameId, LOWORD(p1), HIWORD(p1))) return DefWindowProcA(window, message, p1, p2);
      return 0;
    default:
      if (message == HelpHookMessage() && message != 0) {
        FrameHelpHookMessage(frameId, p1);
        return 0;
      }
      return DefWindowProcA(window, message, p1, p2);
  }
}

// A child window in context-help mode: its events are stopped, and a click or a
// popup-menu choice shows a topic instead.
bool ChildHelpModeMessage(HWND window, UINT message, WPARAM p1) {
  GuiWindowLayer& layer = Layer();
  const int32_t id = layer.IdOf(NativeOf(window));
  switch (message) {
    case WM_NCLBUTTONDOWN:
      return HelpModeNonClientClick(id, static_cast<int32_t>(p1));
    case WM_COMMAND:
      return HelpModePopupCommand(id, LOWORD(p1));
    case WM_LBUTTONDOWN:
      HelpModeClientClick(id, false);
      return true;
    default:
      return false;
  }
}

LRESULT ChildMessage(HWND window, UINT message, WPARAM p1, LPARAM p2) {
  if (message == WM_KEYDOWN && HelpModeKey(static_cast<uint32_t>(p1), ::GetKeyState(VK_SHIFT) < 0)) return 0;
  // F1 that no accelerator took: the help file's contents.
  if (message == WM_KEYDOWN && p1 == VK_F1) {
    ShowHelpIndex(Layer().IdOf(NativeOf(window)));
    return 0;
  }
  if (Layer().IsHelpMode() && ChildHelpModeMessage(window, message, p1)) return 0;
  // F1 held in the window's popup menu: the highlighted item is chosen in help mode.
  if (message == WM_ENTERIDLE && p1 == MSGF_MENU && ::GetKeyState(VK_F1) < 0 && !Layer().IsHelpMode()) {
    StartHelpMode();
    ::PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    return 0;
  }
  WindowEvent event;
  const int32_t result = TranslateLayerMessage(NativeOf(window), message, p1, p2, &event);
  if (result != kTranslateNotHandled) {
    return DispatchTranslated(window, Layer().IdOf(NativeOf(window)), result, event, message, p1, p2);
  }
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_SETCURSOR:
      return SetCursorMessage(window, p1, p2);
    case WM_SYSCHAR:
      // Alt+letter opens the frame's menus; Alt+'-' the window's own system menu.
      if (p1 != '-' && FrameWindow::FrameHandle() != 0) {
        return DefWindowProcA(HwndOf(FrameWindow::FrameHandle()), message, p1, p2);
      }
      return DefWindowProcA(window, message, p1, p2);
    default:
      return DefWindowProcA(window, message, p1, p2);
  }
}

class Win32ShellSystem final : public ShellSystem {
 public:
  NativeWindow CreateShellWindow(const char* className, const char* title, ShellWindowStyle style, NativeWindow parent,
                                 int32_t x, int32_t y, int32_t width, int32_t height, int32_t controlId) override {
    DWORD windowStyle = 0;
    switch (style) {
      case ShellWindowStyle::WhiteStrip: windowStyle = WS_CHILD | WS_VISIBLE | SS_WHITERECT; break;
      case ShellWindowStyle::ClientArea:
        windowStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL;
        break;
      case ShellWindowStyle::StatusChild: windowStyle = WS_CHILD | WS_VISIBLE; break;
      case ShellWindowStyle::TopLevel:
        windowStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
        break;
    }
    HMENU id = style == ShellWindowStyle::TopLevel ? nullptr : reinterpret_cast<HMENU>(static_cast<intptr_t>(controlId));
    return NativeOf(::CreateWindowExA(0, className, title, windowStyle, x, y, width, height, HwndOf(parent), id,
                                      State().instance, nullptr));
  }
  void ClearClassCursor(NativeWindow window) override { ::SetClassLongPtrA(HwndOf(window), GCLP_HCURSOR, 0); }
  // The items at 8 and 7 (the restored window's own move and size items of the old
  // system menu) go; 6 closes with Ctrl+F4; Ctrl+F6 moves to the next window.
  void AdjustChildSystemMenu(NativeWindow window) override {
    HMENU menu = ::GetSystemMenu(HwndOf(window), FALSE);
    if (menu == nullptr) return;
    ::DeleteMenu(menu, 8, MF_BYPOSITION);
    ::DeleteMenu(menu, 7, MF_BYPOSITION);
    ::ModifyMenuA(menu, 6, MF_BYPOSITION | MF_STRING, SC_CLOSE, "&Close\tCtrl+F4");
    ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(menu, MF_STRING, kNextWindowSystemCommand, "Nex&t Window\tCtrl+F6");
  }
  void UnregisterWindowClasses() override { zentor::UnregisterWindowClasses(State().instance); }
};

}  // namespace

int32_t RegisterWindowClasses(HINSTANCE instance) {
  State().instance = instance;
  WNDCLASSA frame{};
  frame.style = CS_HREDRAW | CS_VREDRAW;
  frame.lpfnWndProc = FrameWndProc;
  frame.hInstance = instance;
  frame.hIcon = ::LoadIconA(instance, "AVRKW_ICON");
  frame.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  frame.hbrBackground = ::CreateSolidBrush(::GetSysColor(COLOR_APPWORKSPACE));
  frame.lpszMenuName = "VRK_MAIN";
  frame.lpszClassName = kFrameClassName;
  if (::RegisterClassA(&frame) == 0) return -1;
  for (const WindowClass& child : kChildClasses) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = ChildWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconA(instance, child.icon);
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = child.name;
    if (::RegisterClassA(&windowClass) == 0) return -1;
  }
  return 0;
}

void UnregisterWindowClasses(HINSTANCE instance) {
  WNDCLASSA frame{};
  if (::GetClassInfoA(instance, kFrameClassName, &frame)) {
    if (frame.hbrBackground != nullptr) ::DeleteObject(frame.hbrBackground);
    ::UnregisterClassA(kFrameClassName, instance);
  }
  for (const WindowClass& child : kChildClasses) {
    WNDCLASSA windowClass{};
    if (::GetClassInfoA(instance, child.name, &windowClass)) ::UnregisterClassA(child.name, instance);
  }
}

ShellSystem& InstallWin32ShellSystem(HINSTANCE instance) {
  static Win32ShellSystem system;
  State().instance = instance;
  InstallShellSystem(&system);
  return system;
}

LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM p1, LPARAM p2) {
  try {
    if (InstalledGuiWindowLayer() == nullptr) return DefWindowProcA(window, message, p1, p2);
    return FrameMessage(window, message, p1, p2);
  } catch (...) {
    HandleWindowProcedureException();
    return 0;
  }
}

LRESULT CALLBACK ChildWndProc(HWND window, UINT message, WPARAM p1, LPARAM p2) {
  try {
    if (InstalledGuiWindowLayer() == nullptr) return DefWindowProcA(window, message, p1, p2);
    return ChildMessage(window, message, p1, p2);
  } catch (...) {
    HandleWindowProcedureException();
    return 0;
  }
}

// 1. F1 in a dialog: the help message goes to the dialog the focused control belongs
//    to, with the hook code, and the dialog never sees the key.
// 2. F1 in an open menu: the help message goes to the frame with the menu's code and
//    the menu window; the key goes on.
LRESULT CALLBACK HelpMsgFilterHook(int code, WPARAM p1, LPARAM p2) {
  const MSG* message = reinterpret_cast<const MSG*>(p2);
  const UINT help = HelpHookMessage();
  if (code >= 0 && message != nullptr && help != 0 && message->message == WM_KEYDOWN && message->wParam == VK_F1) {
    if (code == MSGF_DIALOGBOX) {
      HWND top = message->hwnd;
      while (top != nullptr && (::GetWindowLongA(top, GWL_STYLE) & WS_CHILD) != 0) {
        top = reinterpret_cast<HWND>(::GetWindowLongPtrA(top, GWLP_HWNDPARENT));
      }
      if (top != nullptr) ::PostMessageA(top, help, static_cast<WPARAM>(code), 0);
      return 1;
    }
    if (code == MSGF_MENU && State().hookTarget != nullptr) {
      ::PostMessageA(State().hookTarget, help, MSGF_MENU,
                     static_cast<LPARAM>(reinterpret_cast<uintptr_t>(message->hwnd) & 0xFFFF));
    }
  }
  return ::CallNextHookEx(State().hook, code, p1, p2);
}

void InstallHelpHook(HWND frame) {
  State().hookTarget = frame;
  const UINT message = ::RegisterWindowMessageA("HelpHookMessage");
  SetHelpHookMessage(message);
  if (message == 0) return;
  State().hook = ::SetWindowsHookExA(WH_MSGFILTER, HelpMsgFilterHook, nullptr, ::GetCurrentThreadId());
}

}  // namespace zentor
