#pragma once
// The view dispatcher: the one road from a window or dialog to the engine. A request
// (a GuiCommand code, a status and one argument) goes to the handler of the sender's
// kind: the view manager of the window's slot, which the dispatcher creates when the
// window opens and destroys when it closes, the handler of window-less requests, the
// breakpoint dialogs' handler, the Command window's, or the dispatcher's own requests
// of kind 17. Every DVError a handler raises ends here, in the status.

#include <cstdint>

#include "core/bool_flag.h"
#include "core/dv_error.h"
#include "core/text_pane.h"

namespace zentor {

class WinSuper;

class ViewDispatcher {
 public:
  // A request of a window object (or a dialog's window-less target): its kind, pane
  // and viewpoint go with it.
  static int32_t RunGuiCommand(DVError& status, WinSuper& window, int32_t code, intptr_t argument);
  // Routes a request of a window of `kind` (pane null, or with a negative first word,
  // for a window-less request). The result is the handler's, or the number of the
  // error it raised (which the status then holds); 0 when nobody handles the kind.
  static int32_t Dispatch(DVError& status, int32_t kind, TextPane* pane, int32_t code, int32_t viewpointValue,
                          intptr_t argument);
  // Dispatch with viewpoint value 0.
  static int32_t RunGuiCommandForKind(DVError& status, int32_t kind, TextPane* pane, int32_t code,
                                      intptr_t argument);
  // The same with a status of its own that is dropped.
  static int32_t RunGuiCommandQuiet(int32_t kind, TextPane* pane, int32_t code, intptr_t argument);

  // Keeps the repeat loop of request 0x71 running; the engine ends it by clearing.
  // It is the step control's repeat flag: a step that ends or fails clears it.
  static BoolFlag& RepeatFlag();
};

// The dispatcher's own requests (kind 17): status text, exit, program names, browse,
// the repeat flag. Returns the status's number.
int32_t HandleGuiStateRequest(DVError& status, TextPane* pane, int32_t code, intptr_t argument);

}  // namespace zentor
