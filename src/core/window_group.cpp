#include "core/window_group.h"

#include "core/dv_error.h"
#include "core/viewpoint_handle.h"
#include "core/viewpoint_manager.h"

namespace zentor {

WindowGroupPort::~WindowGroupPort() = default;
void WindowGroupPort::Apply(uint32_t, int32_t) {}

InstalledService<WindowGroupPort>& WindowGroup() {
  static InstalledService<WindowGroupPort> port;
  return port;
}

void ViewpointManager::ApplyToWindowGroup(uint32_t viewpointValue, int32_t operation) {
  if (viewpointValue == ViewpointHandle::kNone) return;
  if (operation != kWindowGroupClose && operation != kWindowGroupMinimize && operation != kWindowGroupRestore) {
    ZENTOR_INTERNAL_ERROR();
  }
  WindowGroup().Get().Apply(viewpointValue, operation);
}

}  // namespace zentor
