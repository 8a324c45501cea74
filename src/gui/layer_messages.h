#pragma once
// The window messages, virtual keys, hit-test and scroll codes the portable GUI code
// reads, by the numbers Windows gives them: the message loop and the event translation
// decide on these numbers in both trees, and the Win32 side checks that they are the
// system's own (win32/win32_message_queue.cpp).

#include <cstdint>

#include "gui/layer_types.h"

namespace zentor {

// A message as the queue holds it.
struct LayerMessage {
  NativeWindow window = 0;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

inline uint32_t LowWord(uintptr_t value) { return static_cast<uint32_t>(value & 0xFFFFu); }
inline uint32_t HighWord(uintptr_t value) { return static_cast<uint32_t>((value >> 16) & 0xFFFFu); }
// The signed 16-bit halves of a mouse message's position.
inline int32_t SignedLowWord(intptr_t value) { return static_cast<int16_t>(value & 0xFFFF); }
inline int32_t SignedHighWord(intptr_t value) { return static_cast<int16_t>((value >> 16) & 0xFFFF); }

namespace msg {
inline constexpr uint32_t kCreate = 0x0001;
inline constexpr uint32_t kDestroy = 0x0002;
inline constexpr uint32_t kMove = 0x0003;
inline constexpr uint32_t kSize = 0x0005;
inline constexpr uint32_t kActivate = 0x0006;
inline constexpr uint32_t kSetFocus = 0x0007;
inline constexpr uint32_t kKillFocus = 0x0008;
inline constexpr uint32_t kGetText = 0x000D;
inline constexpr uint32_t kPaint = 0x000F;
inline constexpr uint32_t kClose = 0x0010;
inline constexpr uint32_t kQueryEndSession = 0x0011;
inline constexpr uint32_t kQuit = 0x0012;
inline constexpr uint32_t kEraseBackground = 0x0014;
inline constexpr uint32_t kSysColorChange = 0x0015;
inline constexpr uint32_t kActivateApp = 0x001C;
inline constexpr uint32_t kSetCursor = 0x0020;
inline constexpr uint32_t kMouseActivate = 0x0021;
inline constexpr uint32_t kChildActivate = 0x0022;
inline constexpr uint32_t kNcHitTest = 0x0084;
inline constexpr uint32_t kNcPaint = 0x0085;
inline constexpr uint32_t kNcActivate = 0x0086;
inline constexpr uint32_t kNcLeftButtonDown = 0x00A1;
inline constexpr uint32_t kNcLeftButtonDoubleClick = 0x00A3;
inline constexpr uint32_t kNcRightButtonDown = 0x00A4;
inline constexpr uint32_t kNcMiddleButtonDown = 0x00A7;
inline constexpr uint32_t kKeyFirst = 0x0100;
inline constexpr uint32_t kKeyDown = 0x0100;
inline constexpr uint32_t kKeyUp = 0x0101;
inline constexpr uint32_t kChar = 0x0102;
inline constexpr uint32_t kSysKeyDown = 0x0104;
inline constexpr uint32_t kSysKeyUp = 0x0105;
inline constexpr uint32_t kSysChar = 0x0106;
inline constexpr uint32_t kKeyLast = 0x0109;
inline constexpr uint32_t kCommand = 0x0111;
inline constexpr uint32_t kSysCommand = 0x0112;
inline constexpr uint32_t kTimer = 0x0113;
inline constexpr uint32_t kHScroll = 0x0114;
inline constexpr uint32_t kVScroll = 0x0115;
inline constexpr uint32_t kInitMenu = 0x0116;
inline constexpr uint32_t kMenuSelect = 0x011F;
inline constexpr uint32_t kEnterIdle = 0x0121;
inline constexpr uint32_t kMouseMove = 0x0200;
inline constexpr uint32_t kLeftButtonDown = 0x0201;
inline constexpr uint32_t kLeftButtonUp = 0x0202;
inline constexpr uint32_t kLeftButtonDoubleClick = 0x0203;
inline constexpr uint32_t kRightButtonDown = 0x0204;
inline constexpr uint32_t kRightButtonUp = 0x0205;
inline constexpr uint32_t kRightButtonDoubleClick = 0x0206;
inline constexpr uint32_t kMiddleButtonDown = 0x0207;
inline constexpr uint32_t kMiddleButtonUp = 0x0208;
inline constexpr uint32_t kMiddleButtonDoubleClick = 0x0209;
}  // namespace msg

namespace vk {
inline constexpr uint32_t kCancel = 0x03;
inline constexpr uint32_t kTab = 0x09;
inline constexpr uint32_t kReturn = 0x0D;
inline constexpr uint32_t kShift = 0x10;
inline constexpr uint32_t kControl = 0x11;
inline constexpr uint32_t kEscape = 0x1B;
inline constexpr uint32_t kF1 = 0x70;
}  // namespace vk

// Hit-test codes of the non-client mouse messages.
namespace hit {
inline constexpr uint32_t kClient = 1;
inline constexpr uint32_t kCaption = 2;
inline constexpr uint32_t kMinimizeButton = 8;
inline constexpr uint32_t kMaximizeButton = 9;
}  // namespace hit

// The Win32 scroll-bar codes of WM_HSCROLL and WM_VSCROLL.
namespace sb {
inline constexpr uint32_t kLineUp = 0;
inline constexpr uint32_t kLineDown = 1;
inline constexpr uint32_t kPageUp = 2;
inline constexpr uint32_t kPageDown = 3;
inline constexpr uint32_t kThumbPosition = 4;
inline constexpr uint32_t kThumbTrack = 5;
inline constexpr uint32_t kTop = 6;
inline constexpr uint32_t kBottom = 7;
inline constexpr uint32_t kEndScroll = 8;
}  // namespace sb

// WM_SIZE's kinds.
namespace sizing {
inline constexpr uintptr_t kRestored = 0;
inline constexpr uintptr_t kMinimized = 1;
inline constexpr uintptr_t kMaximized = 2;
}  // namespace sizing

}  // namespace zentor
