#include "engine/modules_view.h"

#include "console/panel.h"
#include "core/view_kind.h"
#include "symbols/symbol_listings.h"
#include "symbols/symbol_lookup.h"

namespace zentor {

ModulesViewManager::~ModulesViewManager() = default;

int32_t ModulesViewManager::HandleRequest(DVError& status, int32_t code, intptr_t argument) {
  DVErrorCode result;
  switch (code) {
    case kGuiOpened:
      result = Panel::Create(&m_pane->panel, 0);
      break;
    case kGuiClosing:
      result = Panel::Destroy(m_pane->panel);
      break;
    case kGuiEngineNotice: {
      int32_t count = 0;
      result = Panel::GetLineCount(m_pane->panel, &count);
      if (result.IsOkay()) result = Panel::DeleteLines(m_pane->panel, 0, count);
      break;
    }
    default:
      result = Panel::CaptureOutput(m_pane->panel, this, argument);
      break;
  }
  Panel::GetInfo(m_pane->panel, m_pane);
  if (code == kGuiClosing) {
    m_pane->panel = 0;
    m_pane->lines = nullptr;
    m_pane->count = 0;
  }
  if (result.IsOkay()) {
    status.Reset();
  } else {
    status = result;
  }
  return static_cast<int32_t>(status.Number());
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
