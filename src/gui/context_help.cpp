#include "gui/context_help.h"

#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/window_layer.h"

namespace zentor {

void ShowCommandWindowHelp() {
  if (IsConsoleMode()) throw DVError(kMsgNoHelpEngine, kSeverityError, kDisplayByFocus);
  WindowLayer::ShowHelp(kCommandWindowHelpContext);
}

}  // namespace zentor
