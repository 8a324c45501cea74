#include "platform/alert.h"

namespace zentor::platform {

AlertAnswer ShowConsoleAlert(const AlertRequest& request);

// There is no window system here: every alert is a console alert.
AlertAnswer ShowAlert(const AlertRequest& request) { return ShowConsoleAlert(request); }

}  // namespace zentor::platform
