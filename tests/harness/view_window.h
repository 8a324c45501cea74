#pragma once
// A window as the view dispatcher sees it, for the views' tests and benchmarks: its
// kind, its pane and the argument its requests carry.

#include <cstdint>

#include "core/text_pane.h"
#include "core/view_kind.h"
#include "gui/view_dispatcher.h"

namespace zentor::testing_support {

struct ViewWindow {
  int32_t kind = 0;
  TextPane pane;
  intptr_t argument = 0;

  // One request through the dispatcher; its answer.
  int32_t Send(int32_t code) {
    DVError status;
    return ViewDispatcher::RunGuiCommandForKind(status, kind, &pane, code, argument);
  }
  // The window's kind, slot (layer) and argument, a pane of 20 rows, and the opening
  // request; its answer.
  int32_t Open(int32_t windowKind, int32_t layer, intptr_t windowArgument) {
    kind = windowKind;
    pane.layerId = layer;
    pane.rows = 20;
    argument = windowArgument;
    return Send(kGuiOpened);
  }
};

}  // namespace zentor::testing_support
