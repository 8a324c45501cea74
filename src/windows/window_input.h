#pragma once
// What the debugger's windows read from their key and mouse events, and the wait
// cursor they put up around a request that may take long. Shared by the debugger's
// windows and dialogs.

#include <cstdint>

#include "gui/gui_window_layer.h"
#include "gui/window_event.h"

namespace zentor {

// Mouse buttons of a mouse event.
inline constexpr int32_t kMouseLeft = 0;
inline constexpr int32_t kMouseMiddle = 1;
inline constexpr int32_t kMouseRight = 2;

inline bool KeyWithCtrl(const WindowEvent& event) { return event.words[2] != 0; }
inline int32_t MouseY(const WindowEvent& event) { return event.words[0]; }
inline int32_t MouseX(const WindowEvent& event) { return event.words[1]; }
inline int32_t MouseButton(const WindowEvent& event) { return event.words[4]; }

// WaitCursor's argument: the cursor messages already waiting are handled at once, so
// that the hourglass shows before the request starts (the data windows' requests).
inline constexpr int32_t kPumpCursorMessages = 1;

// The wait cursor from construction to destruction, popped on every path out.
class WaitCursor {
 public:
  explicit WaitCursor(int32_t pump = 0) : m_layer(InstalledGuiWindowLayer()) {
    if (m_layer != nullptr) m_layer->PushCursor(kCursorWait, pump);
  }
  ~WaitCursor() {
    if (m_layer != nullptr) m_layer->PopCursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  GuiWindowLayer* m_layer;
};

}  // namespace zentor
