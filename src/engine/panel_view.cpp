#include "engine/panel_view.h"

#include "console/panel.h"
#include "core/view_kind.h"

namespace zentor {

bool HandlePanelLifeRequest(TextPane& pane, int32_t code, DVErrorCode* result) {
  switch (code) {
    case kGuiOpened:
      *result = Panel::Create(&pane.panel, 0);
      return true;
    case kGuiClosing:
      *result = Panel::Destroy(pane.panel);
      return true;
    case kGuiEngineNotice: {
      int32_t count = 0;
      *result = Panel::GetLineCount(pane.panel, &count);
      if (result->IsOkay()) *result = Panel::DeleteLines(pane.panel, 0, count);
      return true;
    }
    default:
      return false;
  }
}

int32_t AnswerPanelRequest(TextPane& pane, int32_t code, const DVErrorCode& result, DVError& status) {
  Panel::GetInfo(pane.panel, &pane);
  if (code == kGuiClosing) {
    pane.panel = 0;
    pane.lines = nullptr;
    pane.count = 0;
  }
  if (result.IsOkay()) {
    status.Reset();
  } else {
    status = result;
  }
  return static_cast<int32_t>(status.Number());
}

}  // namespace zentor
