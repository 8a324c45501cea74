#pragma once
// The GUI's window layer behind the core's window-layer port: the core's error
// display, questions and beeps reach the real windows through it once the windowed
// program installs it at start-up (WindowLayer::SetBackend).

#include "core/window_layer.h"
#include "gui/context_help.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"

namespace zentor {

class LayerBackend final : public WindowLayerBackend {
 public:
  explicit LayerBackend(GuiWindowLayer& layer) : m_layer(layer) {}
  int32_t GetFocusWindow() override { return m_layer.GetFocusWindow(); }
  int32_t GetWindowType(int32_t id) override { return m_layer.GetWindowType(id); }
  int32_t ShowMessageBox(int32_t owner, uint32_t kind, const char* text, const char* caption) override {
    return m_layer.ShowMessageBox(owner, kind, text, caption);
  }
  // The core has already asked its beep switch.
  void Beep() override { m_layer.System().MessageBeep(); }
  // The "help" command's topic, over the Command window (the frame's client area).
  void ShowHelp(uint32_t context) override {
    const int32_t client = FrameWindow::ClientAreaId();
    ShowHelpContext(client != kNoLayerId ? client : FrameWindow::FrameId(), context);
  }

 private:
  GuiWindowLayer& m_layer;
};

}  // namespace zentor
