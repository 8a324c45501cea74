#include "platform/alert.h"

namespace zentor::platform {

AlertAnswer ShowConsoleAlert(const AlertRequest& request);
AlertResponder CurrentAlertResponder();

// There is no window system here: every alert is a console alert.
AlertAnswer ShowAlert(const AlertRequest& request) {
  if (AlertResponder responder = CurrentAlertResponder()) return responder(request);
  return ShowConsoleAlert(request);
}

}  // namespace zentor::platform
