#pragma once
// What a dialog test runs on: a recording window system behind the window layer
// (installed as the GUI's layer and the core's backend), a registered frame window to
// own the dialogs, and the scripted dialog driver. Everything is taken away again when
// it goes.

#include <cstdint>

#include "core/window_layer.h"
#include "gui/gui_window_layer.h"
#include "gui/layer_backend.h"
#include "harness/dialog_driver.h"
#include "harness/recording_layer_system.h"

namespace zentor::testing_support {

struct DialogTestLayer {
  DialogTestLayer() {
    InstallGuiWindowLayer(&layer);
    previousBackend = WindowLayer::SetBackend(&backend);
    frame = layer.Register(frameHandle, kLayerFrame, 0);
  }
  ~DialogTestLayer() {
    WindowLayer::SetBackend(previousBackend);
    InstallGuiWindowLayer(nullptr);
  }
  DialogTestLayer(const DialogTestLayer&) = delete;
  DialogTestLayer& operator=(const DialogTestLayer&) = delete;

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  LayerBackend backend{layer};
  WindowLayerBackend* previousBackend = nullptr;
  NativeWindow frameHandle = system.AddWindow("frame");
  int32_t frame = kNoLayerId;
  DialogDriver driver{system};
};

}  // namespace zentor::testing_support
