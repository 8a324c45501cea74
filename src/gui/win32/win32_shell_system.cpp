#include "gui/win32/win32_shell_system.h"

#include "gui/color_settings.h"
#include "gui/context_help.h"
#include "gui/frame_commands.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/message_translation.h"
#include "gui/run_control_state.h"
#include "gui/shell_window_procedures.h"
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
  intptr_t DefaultProcedure(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2) override {
    return ::DefWindowProcA(HwndOf(window), message, p1, p2);
  }
  void RemoveHelpHook() override {
    if (State().hook == nullptr) return;
    ::UnhookWindowsHookEx(State().hook);
    State().hook = nullptr;
  }
  void PostKeyDown(NativeWindow window, uint32_t virtualKey) override {
    ::PostMessageA(HwndOf(window), WM_KEYDOWN, virtualKey, 0);
  }
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

// Before the shell system is installed (the frame's creation messages), the system's.
LRESULT CALLBACK FrameWndProc(HWND window, UINT message, WPARAM p1, LPARAM p2) {
  if (InstalledShellSystem() == nullptr) return ::DefWindowProcA(window, message, p1, p2);
  return FrameWindowProcedure(NativeOf(window), message, p1, p2);
}

LRESULT CALLBACK ChildWndProc(HWND window, UINT message, WPARAM p1, LPARAM p2) {
  if (InstalledShellSystem() == nullptr) return ::DefWindowProcA(window, message, p1, p2);
  return ChildWindowProcedure(NativeOf(window), message, p1, p2);
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
