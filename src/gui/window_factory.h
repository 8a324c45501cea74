#pragma once
// The window objects by kind: once the frame has made the Win32 window of a kind, the
// factory builds its object. The window classes of the later folders install their
// creators; until a kind has one, its window is a placeholder that shows its title
// (and, for the Command window, hands the keys typed into it to the key queue).

#include <cstdint>
#include <memory>

#include "core/view_kind.h"
#include "gui/layer_types.h"
#include "gui/win_super.h"

namespace zentor {

using WindowObjectCreator = std::unique_ptr<WinSuper> (*)(NativeWindow window, uint32_t viewpointValue,
                                                          const char* title);

// The title given to a window of the kind; null for a kind that has no window.
const char* WindowKindTitle(int32_t kind);
// Installs the creator of a kind's window objects; null puts the placeholder back.
void SetWindowObjectCreator(int32_t kind, WindowObjectCreator creator);
// The kind's creator; null while the placeholder stands in.
WindowObjectCreator GetWindowObjectCreator(int32_t kind);

// Builds the window object of the kind for the viewpoint; it stores itself in the
// window table. A kind without windows is an internal error. When the layer's table is
// full the window is refused: "ERROR: Can't create window." over the frame, the Win32
// window destroyed, and null.
WinSuper* CreateWindowObject(NativeWindow window, int32_t kind, uint32_t viewpointValue);

// A window object for a kind whose window is not built yet: its pane style, its title
// painted in its client area and its caption; a Command window's keys go to the key
// queue. Its layer window is closed with it, unless it is the frame's client area.
class PlaceholderWindow final : public WinSuper {
 public:
  PlaceholderWindow(NativeWindow window, uint32_t viewpointValue, const char* title, int32_t kind);
  ~PlaceholderWindow() override;

  void OnKey(const WindowEvent& event) override;
  void OnMouse(const WindowEvent&) override {}
  void OnReserved(uint32_t) override {}
  void OnCommand(int32_t) override {}
  void OnRefresh(int32_t code) override;
  void OnEngineNotify() override {}
  int32_t SendViewRequest(int32_t, intptr_t) override { return 0; }
  void OnPaint(const WindowEvent& event) override;
  // The Command window's placeholder follows the current viewpoint, as the Command
  // window does; on any other kind this is the base's internal error.
  void SetViewpoint(ViewpointHandle viewpoint) override;

 private:
  // The data windows stand in the Window menu as the windows they stand for will;
  // the Command window's place there is its own.
  bool ListedInWindowMenu() const { return Kind() != kViewCommand && Layer() != nullptr; }
};

}  // namespace zentor
