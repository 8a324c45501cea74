#include "gui/win32/win32_message_queue.h"

#include "gui/win32/win32_layer_system.h"

namespace zentor {
namespace {

// The portable code decides on the system's own numbers.
static_assert(msg::kKeyDown == WM_KEYDOWN && msg::kKeyLast == WM_KEYLAST && msg::kChar == WM_CHAR);
static_assert(msg::kSysKeyDown == WM_SYSKEYDOWN && msg::kSysChar == WM_SYSCHAR && msg::kSysKeyUp == WM_SYSKEYUP);
static_assert(msg::kPaint == WM_PAINT && msg::kQuit == WM_QUIT && msg::kTimer == WM_TIMER);
static_assert(msg::kNcLeftButtonDown == WM_NCLBUTTONDOWN && msg::kNcLeftButtonDoubleClick == WM_NCLBUTTONDBLCLK);
static_assert(msg::kNcRightButtonDown == WM_NCRBUTTONDOWN && msg::kNcMiddleButtonDown == WM_NCMBUTTONDOWN);
static_assert(msg::kMouseMove == WM_MOUSEMOVE && msg::kMiddleButtonDoubleClick == WM_MBUTTONDBLCLK);
static_assert(msg::kActivate == WM_ACTIVATE && msg::kNcActivate == WM_NCACTIVATE && msg::kActivateApp == WM_ACTIVATEAPP);
static_assert(msg::kMouseActivate == WM_MOUSEACTIVATE && msg::kChildActivate == WM_CHILDACTIVATE);
static_assert(msg::kNcPaint == WM_NCPAINT && msg::kEraseBackground == WM_ERASEBKGND && msg::kSetCursor == WM_SETCURSOR);
static_assert(msg::kNcHitTest == WM_NCHITTEST && msg::kGetText == WM_GETTEXT && msg::kCommand == WM_COMMAND);
static_assert(msg::kSysCommand == WM_SYSCOMMAND && msg::kHScroll == WM_HSCROLL && msg::kVScroll == WM_VSCROLL);
static_assert(msg::kSetFocus == WM_SETFOCUS && msg::kKillFocus == WM_KILLFOCUS && msg::kClose == WM_CLOSE);
static_assert(msg::kDestroy == WM_DESTROY && msg::kMove == WM_MOVE && msg::kSize == WM_SIZE);
static_assert(msg::kCreate == WM_CREATE && msg::kQueryEndSession == WM_QUERYENDSESSION);
static_assert(msg::kSysColorChange == WM_SYSCOLORCHANGE && msg::kInitMenu == WM_INITMENU);
static_assert(msg::kMenuSelect == WM_MENUSELECT && msg::kEnterIdle == WM_ENTERIDLE);
static_assert(vk::kCancel == VK_CANCEL && vk::kShift == VK_SHIFT && vk::kControl == VK_CONTROL && vk::kF1 == VK_F1);
static_assert(vk::kEscape == VK_ESCAPE && vk::kTab == VK_TAB && vk::kReturn == VK_RETURN);
static_assert(hit::kClient == HTCLIENT && hit::kCaption == HTCAPTION && hit::kMinimizeButton == HTMINBUTTON &&
              hit::kMaximizeButton == HTMAXBUTTON);
static_assert(sb::kTop == SB_TOP && sb::kBottom == SB_BOTTOM && sb::kThumbTrack == SB_THUMBTRACK &&
              sb::kThumbPosition == SB_THUMBPOSITION && sb::kEndScroll == SB_ENDSCROLL);
static_assert(sizing::kMinimized == SIZE_MINIMIZED && sizing::kMaximized == SIZE_MAXIMIZED);

LayerMessage FromMsg(const MSG& m) {
  return LayerMessage{NativeOf(m.hwnd), m.message, static_cast<uintptr_t>(m.wParam), static_cast<intptr_t>(m.lParam)};
}

// The MSG a LayerMessage was made of, kept whole: dispatch and translation need the
// time and point the system stamped on it.
class Win32MessageQueue final : public MessageQueue {
 public:
  explicit Win32MessageQueue(HINSTANCE instance) : m_instance(instance) {}

  LayerMessage WaitForNext() override {
    if (::GetMessageA(&m_last, nullptr, 0, 0) == -1) m_last = MSG{};
    if (m_last.message == WM_QUIT) m_last.hwnd = nullptr;
    return FromMsg(m_last);
  }
  bool TakePending(uint32_t first, uint32_t last, LayerMessage* message) override {
    if (!::PeekMessageA(&m_last, nullptr, first, last, PM_REMOVE)) return false;
    *message = FromMsg(m_last);
    return true;
  }
  void Translate(const LayerMessage& message) override {
    const MSG m = ToMsg(message);
    ::TranslateMessage(&m);
  }
  void Dispatch(const LayerMessage& message) override {
    const MSG m = ToMsg(message);
    ::DispatchMessageA(&m);
  }
  bool IsDialogMessage(NativeWindow dialog, const LayerMessage& message) override {
    MSG m = ToMsg(message);
    return ::IsDialogMessageA(HwndOf(dialog), &m) != FALSE;
  }
  bool TranslateAccelerator(NativeWindow frame, NativeAccelerators table, const LayerMessage& message) override {
    if (table == 0 || frame == 0) return false;
    MSG m = ToMsg(message);
    return ::TranslateAcceleratorA(HwndOf(frame), reinterpret_cast<HACCEL>(table), &m) != 0;
  }
  NativeAccelerators LoadAccelerators(const char* name) override {
    return reinterpret_cast<NativeAccelerators>(::LoadAcceleratorsA(m_instance, name));
  }
  void PostQuit(int32_t code) override { ::PostQuitMessage(code); }
  bool IsKeyDown(uint32_t virtualKey) override { return (::GetKeyState(static_cast<int>(virtualKey)) & 0x8000) != 0; }
  void ReleaseControlKey() override {
    BYTE state[256];
    if (!::GetKeyboardState(state)) return;
    state[VK_CONTROL] = 0;
    ::SetKeyboardState(state);
  }
  NativeWindow ActiveWindow() override { return NativeOf(::GetActiveWindow()); }
  void WaitForMessage() override { ::WaitMessage(); }

 private:
  // The message last taken when it is the one asked about, else one rebuilt from the
  // portable record.
  MSG ToMsg(const LayerMessage& message) const {
    if (NativeOf(m_last.hwnd) == message.window && m_last.message == message.message &&
        static_cast<uintptr_t>(m_last.wParam) == message.wParam && static_cast<intptr_t>(m_last.lParam) == message.lParam) {
      return m_last;
    }
    MSG m{};
    m.hwnd = HwndOf(message.window);
    m.message = message.message;
    m.wParam = static_cast<WPARAM>(message.wParam);
    m.lParam = static_cast<LPARAM>(message.lParam);
    m.time = ::GetMessageTime();
    return m;
  }

  HINSTANCE m_instance;
  MSG m_last{};
};

}  // namespace

MessageQueue& InstallWin32MessageQueue(HINSTANCE instance) {
  static Win32MessageQueue queue(instance);
  InstallMessageQueue(&queue);
  return queue;
}

}  // namespace zentor
