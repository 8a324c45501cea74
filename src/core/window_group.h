#pragma once
// The windows of one viewpoint as a group: the viewpoint manager closes them when the
// viewpoint goes away and the frame's Viewpoint Group menu closes, minimises or
// restores them. The windows live above the core, so the manager reaches them through
// this port, which the GUI installs; the base has no windows and does nothing.

#include <cstdint>

#include "core/installed_service.h"

namespace zentor {

// Operations of ViewpointManager::ApplyToWindowGroup.
inline constexpr int32_t kWindowGroupClose = 0;
inline constexpr int32_t kWindowGroupMinimize = 1;
inline constexpr int32_t kWindowGroupRestore = 2;

class WindowGroupPort {
 public:
  virtual ~WindowGroupPort();
  // Applies a valid operation to every window of the viewpoint but the Command window.
  virtual void Apply(uint32_t viewpointValue, int32_t operation);
};

InstalledService<WindowGroupPort>& WindowGroup();

}  // namespace zentor
