#pragma once
// The view manager of the Callstack window: the printed frame list of the current
// viewpoint captured into the window's panel, each line carrying its frame number as
// its line data; its requests select frames and switch the detail of the listing.

#include <cstdint>

#include "core/base_manager.h"

namespace zentor {

class CallstackViewManager : public BaseManager {
 public:
  explicit CallstackViewManager(TextPane* pane) : BaseManager(pane) {}
  ~CallstackViewManager() override;
  int32_t HandleRequest(DVError& status, int32_t code, intptr_t argument) override;
  // The producer of the panel's lines (the argument is the panel handle).
  DVErrorCode WriteContent(intptr_t argument) override;

 private:
  // 0 when the current viewpoint's frames can be used or a walk made them.
  static uint32_t EnsureFrames();

  uint16_t m_showFlag = 0;
};

}  // namespace zentor
