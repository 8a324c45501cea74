#include "gui/dialog_request_target.h"

#include "core/dv_error.h"
#include "core/view_kind.h"
#include "gui/view_dispatcher.h"

namespace zentor {

DialogRequestTarget& MessageLoopRequestTarget() {
  static DialogRequestTarget target(kViewGuiState);
  return target;
}

DialogRequestTarget& GeneralMenuRequestTarget() {
  static DialogRequestTarget target(kViewGuiState);
  return target;
}

DialogRequestTarget& LayoutRequestTarget() {
  static DialogRequestTarget target(kViewGuiState);
  return target;
}

DialogRequestTarget& InvocationRequestTarget() {
  static DialogRequestTarget target(kViewInvocation);
  return target;
}

DialogRequestTarget& WatchDialogRequestTarget() {
  static DialogRequestTarget target(kViewBreakpointDialogs);
  return target;
}

DialogRequestTarget& BreakpointDialogRequestTarget() {
  static DialogRequestTarget target(kViewBreakpointDialogs);
  return target;
}

void NotifyUserActivity() {
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommand(status, MessageLoopRequestTarget(), kGuiRestoreStatus, 0);
}

}  // namespace zentor
