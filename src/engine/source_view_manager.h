#pragma once
// The view manager of a Source window: a BaseManager whose only content is the
// window's SourceBase. The view dispatcher creates it when the window opens and
// destroys it when the window closes; every request goes to the model's pane
// command dispatcher.

#include <memory>

#include "engine/source_base.h"

#include "core/base_manager.h"

namespace zentor {

class SourceViewManager : public BaseManager {
 public:
  explicit SourceViewManager(TextPane* pane);
  ~SourceViewManager() override;

  int32_t HandleRequest(DVError& status, int32_t code, intptr_t argument) override;

  SourceBase* Model() const { return m_source.get(); }

 private:
  std::unique_ptr<SourceBase> m_source;
};

}  // namespace zentor
