#include "engine/modules_view.h"

#include "console/panel.h"
#include "core/view_kind.h"
#include "engine/panel_view.h"
#include "symbols/symbol_listings.h"
#include "symbols/symbol_lookup.h"

namespace zentor {

ModulesViewManager::~ModulesViewManager() = default;

int32_t ModulesViewManager::HandleRequest(DVError& status, int32_t code, intptr_t argument) {
  DVErrorCode result;
  if (!HandlePanelLifeRequest(*m_pane, code, &result)) result = Panel::CaptureOutput(m_pane->panel, this, argument);
  return AnswerPanelRequest(*m_pane, code, result, status);
}

DVErrorCode ModulesViewManager::WriteContent(intptr_t argument) {
  // A window that gives no width keeps the width it gave last.
  const auto* width = reinterpret_cast<const uint32_t*>(argument);
  if (width != nullptr && *width != 0) m_width = static_cast<uint16_t>(*width > 0xFFFF ? 0xFFFF : *width);
  NestedLookupScope lookup;
  CurrentEntry().m_targetSet = 0;
  CurrentEntry().m_targetModuleId = 0;
  DVErrorCode status;
  ListModules(status, m_width);
  if (status.Number() == kMsgNoProgramLoaded) status.SetOkay();
  return status;
}

}  // namespace zentor
