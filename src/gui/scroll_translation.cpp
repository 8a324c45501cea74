#include "gui/scroll_translation.h"

#include "gui/layer_messages.h"

namespace zentor {

namespace {

// The event codes.
constexpr int32_t kEventThumbTrack = 4;
constexpr int32_t kEventThumbPosition = 5;
constexpr int32_t kEventEndScroll = 6;

}  // namespace

bool TranslateScrollCode(uint32_t win32Code, const LayerScrollInfo& bar, int32_t* code, int32_t* position) {
  *position = bar.position;
  switch (win32Code) {
    case sb::kLineUp:
    case sb::kLineDown:
    case sb::kPageUp:
    case sb::kPageDown: *code = static_cast<int32_t>(win32Code); return true;
    case sb::kThumbTrack:
      *code = kEventThumbTrack;
      *position = bar.trackPosition;
      return true;
    case sb::kThumbPosition:
      *code = kEventThumbPosition;
      *position = bar.trackPosition;
      return true;
    case sb::kTop:
      *code = kEventThumbPosition;
      *position = bar.minimum;
      return true;
    case sb::kBottom:
      *code = kEventThumbPosition;
      *position = bar.maximum;
      return true;
    case sb::kEndScroll: *code = kEventEndScroll; return true;
    default: return false;
  }
}

}  // namespace zentor
