#include "engine/callstack_view.h"

#include "console/panel.h"
#include "core/frame_list.h"
#include "core/view_kind.h"
#include "engine/panel_view.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_listings.h"

namespace zentor {

CallstackViewManager::~CallstackViewManager() = default;

uint32_t CallstackViewManager::EnsureFrames() {
  // Without a viewpoint there are no frames to show, which is no failure.
  FrameList* frames = CurrentFrameListOrNull();
  if (frames == nullptr) return 0;
  return frames->IsUsable() == 0 ? frames->WalkStack(0) : 0;
}

int32_t CallstackViewManager::HandleRequest(DVError& status, int32_t code, intptr_t argument) {
  DVErrorCode result;
  auto* index = reinterpret_cast<int32_t*>(argument);
  if (HandlePanelLifeRequest(*m_pane, code, &result)) return AnswerPanelRequest(*m_pane, code, result, status);
  switch (code) {
    case kGuiBrowse:
      SelectFrame(0);
      if (FrameList* frames = CurrentFrameListOrNull(); frames != nullptr && index != nullptr) {
        frames->SetCurrent(*index);
      }
      ReselectCurrentFrame();
      break;
    case kGuiPreviousFrame:
      SelectFrame(0);
      SelectPreviousFrame();
      break;
    case kGuiToggleListing:
      m_showFlag = m_showFlag == 0 ? 1 : 0;
      break;
    case kGuiSelectFrame:
      if (EnsureFrames() == 0 && index != nullptr) {
        if (FrameList* frames = CurrentFrameListOrNull(); frames != nullptr) frames->SetCurrent(*index);
      }
      break;
    case kGuiCurrentFrame:
      if (index != nullptr) {
        FrameList* frames = CurrentFrameListOrNull();
        *index = frames != nullptr ? frames->GetCurrent(nullptr) : FrameList::kNoFrame;
      }
      break;
    default:
      result = Panel::CaptureOutput(m_pane->panel, this, static_cast<intptr_t>(m_pane->panel));
      break;
  }
  return AnswerPanelRequest(*m_pane, code, result, status);
}

DVErrorCode CallstackViewManager::WriteContent(intptr_t argument) {
  if (EnsureFrames() != 0) return DVErrorCode::FromWord(0xFFFFFFFFu);
  FrameList* frames = CurrentFrameListOrNull();
  if (frames != nullptr) frames->Print(static_cast<uint32_t>(argument), m_showFlag);
  return DVErrorCode();
}

}  // namespace zentor
