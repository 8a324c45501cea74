#pragma once
// The view manager of the Modules window: the module listing of the loaded program,
// captured into the window's panel on every refresh. Without a program the window is
// empty, not an error.

#include <cstdint>

#include "core/base_manager.h"

namespace zentor {

class ModulesViewManager : public BaseManager {
 public:
  // The listing's width when the window has not given one yet.
  static constexpr uint16_t kDefaultWidth = 80;

  explicit ModulesViewManager(TextPane* pane) : BaseManager(pane) {}
  ~ModulesViewManager() override;
  // 0x46 and 0x4f take a pointer to the listing's width in characters (null keeps the
  // last width); 0x47 and 0x5a as every panel view.
  int32_t HandleRequest(DVError& status, int32_t code, intptr_t argument) override;
  DVErrorCode WriteContent(intptr_t argument) override;

 private:
  uint16_t m_width = kDefaultWidth;
};

}  // namespace zentor
