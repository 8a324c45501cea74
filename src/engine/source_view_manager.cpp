#include "engine/source_view_manager.h"

namespace zentor {

SourceViewManager::SourceViewManager(TextPane* pane) : BaseManager(pane), m_source(std::make_unique<SourceBase>(pane)) {}

SourceViewManager::~SourceViewManager() = default;

int32_t SourceViewManager::HandleRequest(DVError& status, int32_t code, intptr_t argument) {
  if (!m_source) return 0;
  return m_source->RunPaneCommand(status, code, argument);
}

}  // namespace zentor
