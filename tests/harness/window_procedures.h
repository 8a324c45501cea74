#pragma once
// A user's actions as the program receives them under Windows, natively: each message
// goes through the program's own window procedures (the frame's for the frame, the
// child windows' one for every other window), so a test of a menu command, a key or a
// click proves that the program's dispatch reaches its handler, not only the handler.
//
//   SendCommand(FrameWindow::FrameHandle(), 1130);          // View > Inspect
//   PressKey(queue, sourceWindow, 'I', 9, {vk::kControl});   // Ctrl+I
//   DoubleClick(modulesWindow, 3 * kCellHeight + 6, 4 * kCellWidth + 4);

#include <cstdint>
#include <initializer_list>

#include "gui/frame_window.h"
#include "gui/layer_messages.h"
#include "gui/shell_window_procedures.h"
#include "harness/fake_message_queue.h"

namespace zentor::testing_support {

// SendMessage: the window's procedure at once, its answer returned.
inline intptr_t SendToProcedure(NativeWindow window, uint32_t message, uintptr_t p1 = 0, intptr_t p2 = 0) {
  if (window != 0 && window == FrameWindow::FrameHandle()) return FrameWindowProcedure(window, message, p1, p2);
  return ChildWindowProcedure(window, message, p1, p2);
}

// The fake queue's dispatch calls the procedures, as DispatchMessage does.
inline void RouteDispatchToProcedures(FakeMessageQueue& queue) {
  queue.onDispatch = [](const LayerMessage& message) {
    SendToProcedure(message.window, message.message, message.wParam, message.lParam);
  };
}

// WM_COMMAND as a menu item, an accelerator (notification 1) or a button sends it.
inline intptr_t SendCommand(NativeWindow window, uint32_t command, uint32_t notification = 0) {
  return SendToProcedure(window, msg::kCommand, (static_cast<uintptr_t>(notification) << 16) | command, 0);
}

// A key pressed with the modifiers held: WM_KEYDOWN, then the WM_CHAR that
// TranslateMessage makes of it when `character` is not 0, then the modifiers let go.
inline void PressKey(FakeMessageQueue& queue, NativeWindow window, uint32_t virtualKey, uint32_t character,
                     std::initializer_list<uint32_t> modifiers = {}) {
  for (uint32_t modifier : modifiers) queue.HoldKey(modifier, true);
  SendToProcedure(window, msg::kKeyDown, virtualKey, 0);
  if (character != 0) SendToProcedure(window, msg::kChar, character, 0);
  for (uint32_t modifier : modifiers) queue.HoldKey(modifier, false);
}

inline intptr_t PointParameter(int32_t y, int32_t x) {
  return static_cast<intptr_t>((static_cast<uint32_t>(y & 0xFFFF) << 16) | static_cast<uint32_t>(x & 0xFFFF));
}

// A left click at client pixel (y, x): button down, then up.
inline void Click(NativeWindow window, int32_t y, int32_t x) {
  SendToProcedure(window, msg::kLeftButtonDown, 1, PointParameter(y, x));
  SendToProcedure(window, msg::kLeftButtonUp, 0, PointParameter(y, x));
}

// A double click as Windows reports it: down, up, double click, up.
inline void DoubleClick(NativeWindow window, int32_t y, int32_t x) {
  Click(window, y, x);
  SendToProcedure(window, msg::kLeftButtonDoubleClick, 1, PointParameter(y, x));
  SendToProcedure(window, msg::kLeftButtonUp, 0, PointParameter(y, x));
}

// A right click at (y, x): the windows open their popup menu on the button's press.
inline void RightClick(NativeWindow window, int32_t y, int32_t x) {
  SendToProcedure(window, msg::kRightButtonDown, 2, PointParameter(y, x));
  SendToProcedure(window, msg::kRightButtonUp, 0, PointParameter(y, x));
}

}  // namespace zentor::testing_support
