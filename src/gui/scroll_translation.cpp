#include "gui/scroll_translation.h"

namespace zentor {

namespace {

// The Win32 scroll codes.
enum : uint32_t {
  kSbLineUp = 0,
  kSbLineDown = 1,
  kSbPageUp = 2,
  kSbPageDown = 3,
  kSbThumbPosition = 4,
  kSbThumbTrack = 5,
  kSbTop = 6,
  kSbBottom = 7,
  kSbEndScroll = 8,
};

// The event codes.
constexpr int32_t kEventThumbTrack = 4;
constexpr int32_t kEventThumbPosition = 5;
constexpr int32_t kEventEndScroll = 6;

}  // namespace

bool TranslateScrollCode(uint32_t win32Code, const LayerScrollInfo& bar, int32_t* code, int32_t* position) {
  *position = bar.position;
  switch (win32Code) {
    case kSbLineUp:
    case kSbLineDown:
    case kSbPageUp:
    case kSbPageDown: *code = static_cast<int32_t>(win32Code); return true;
    case kSbThumbTrack:
      *code = kEventThumbTrack;
      *position = bar.trackPosition;
      return true;
    case kSbThumbPosition:
      *code = kEventThumbPosition;
      *position = bar.trackPosition;
      return true;
    case kSbTop:
      *code = kEventThumbPosition;
      *position = bar.minimum;
      return true;
    case kSbBottom:
      *code = kEventThumbPosition;
      *position = bar.maximum;
      return true;
    case kSbEndScroll: *code = kEventEndScroll; return true;
    default: return false;
  }
}

}  // namespace zentor
