#pragma once
// Where the engine's direct notices to the GUI (NotifyGui) go: the window shell hands
// every notice it receives (GuiShell::Notify) to RouteGuiNotice, which picks the
// target by the notice's code and, for the codes no target claims, by the window
// kind. Each target is registered by the window or dialog that owns it; until then
// its notices go nowhere. The texts of the invocation notices are bounded on the way:
// 255 characters and a NUL at most, in either direction.

#include <cstdint>

namespace zentor {

// Notice codes of NotifyGui.
inline constexpr uint32_t kNoticeApplyLayout = 0x3e;
inline constexpr uint32_t kNoticeInvocationRecord = 0x3f;
inline constexpr uint32_t kNoticeGetMacroName = 0x40;
inline constexpr uint32_t kNoticeSetMacroName = 0x41;
inline constexpr uint32_t kNoticeSetBatchName = 0x46;
inline constexpr uint32_t kNoticeGetBatchName = 0x47;
inline constexpr uint32_t kNoticeSendInvocationSettings = 0x48;
inline constexpr uint32_t kNoticeBlackWhite = 0x4a;
inline constexpr uint32_t kNoticeViewpointWindow = 0x4b;
// Bytes of the text buffers of the invocation notices, with the NUL.
inline constexpr uint32_t kNoticeTextSize = 256;

// The targets: the layout's pending settings, the invocation dialog, the colour
// settings' black-and-white switch, the engine notification of the current
// viewpoint's window of a kind, the Breakpoints list and the Command window.
enum class NoticeTarget : uint32_t {
  kLayout,
  kInvocation,
  kBlackWhite,
  kViewpointWindow,
  kBreakpointList,
  kCommandWindow,
  kCount,
};

using NoticeHandler = void (*)(uint32_t windowKind, uint32_t windowArgument, uint32_t code, const void* value);

// Registers the target's handler (null: none); returns the one registered before.
NoticeHandler SetNoticeHandler(NoticeTarget target, NoticeHandler handler);

// Registers the handlers of the settings that own notices without a window: the
// invocation settings (their dialog's notices) and the colour scheme. The shell's
// services install them before start-up runs, whose options send both; the windows
// register theirs when they are built.
void RegisterSettingsNoticeHandlers();

// The router behind GuiShell::Notify; answers 0 as NotifyGui does.
int32_t RouteGuiNotice(uint32_t windowKind, uint32_t windowArgument, uint32_t code, const void* value);

}  // namespace zentor
