#include "gui/notice_router.h"

#include <cstddef>
#include <cstring>

#include "core/view_kind.h"
#include "gui/color_settings.h"
#include "gui/invocation_settings.h"

namespace zentor {
namespace {

NoticeHandler g_handlers[static_cast<std::size_t>(NoticeTarget::kCount)] = {};

NoticeHandler HandlerOf(NoticeTarget target) { return g_handlers[static_cast<std::size_t>(target)]; }

void CopyBounded(char* to, const char* from) {
  std::size_t length = 0;
  while (length < kNoticeTextSize - 1 && from[length] != '\0') ++length;
  std::memcpy(to, from, length);
  to[length] = '\0';
}

// The invocation dialog reads and writes whole 256-byte names: a text handed in may
// be shorter, and one handed out must end inside the caller's buffer. As written the
// dialog read 256 bytes past the end of a short text and wrote a name without its NUL.
void RouteInvocationNotice(NoticeHandler handler, uint32_t kind, uint32_t argument, uint32_t code,
                           const void* value) {
  char text[kNoticeTextSize] = {};
  const bool textIn = code == kNoticeSetMacroName || code == kNoticeSetBatchName;
  const bool textOut = code == kNoticeGetMacroName || code == kNoticeGetBatchName;
  if ((!textIn && !textOut) || value == nullptr) {
    handler(kind, argument, code, value);
    return;
  }
  // The dialog writes a name handed out only when it has one; the caller's text
  // stays otherwise.
  CopyBounded(text, static_cast<const char*>(value));
  handler(kind, argument, code, text);
  text[kNoticeTextSize - 1] = '\0';
  // The notice's value is the caller's buffer for the names handed out.
  if (textOut) CopyBounded(static_cast<char*>(const_cast<void*>(value)), text);
}

}  // namespace

NoticeHandler SetNoticeHandler(NoticeTarget target, NoticeHandler handler) {
  NoticeHandler& slot = g_handlers[static_cast<std::size_t>(target)];
  NoticeHandler before = slot;
  slot = handler;
  return before;
}

void RegisterSettingsNoticeHandlers() {
  SetNoticeHandler(NoticeTarget::kInvocation, [](uint32_t, uint32_t, uint32_t code, const void* value) {
    InvocationDialog::OnEngineNotice(code, value);
  });
  // The scheme's word comes by address: 10 colour, any other black and white.
  SetNoticeHandler(NoticeTarget::kBlackWhite, [](uint32_t, uint32_t, uint32_t, const void* value) {
    if (value != nullptr) ColorSettings::OnBlackWhiteNotice(*static_cast<const uint32_t*>(value));
  });
}

int32_t RouteGuiNotice(uint32_t windowKind, uint32_t windowArgument, uint32_t code, const void* value) {
  NoticeTarget target = NoticeTarget::kCount;
  switch (code) {
    case kNoticeApplyLayout: target = NoticeTarget::kLayout; break;
    case kNoticeInvocationRecord:
    case kNoticeGetMacroName:
    case kNoticeSetMacroName:
    case kNoticeSetBatchName:
    case kNoticeGetBatchName:
    case kNoticeSendInvocationSettings: target = NoticeTarget::kInvocation; break;
    case kNoticeBlackWhite: target = NoticeTarget::kBlackWhite; break;
    case kNoticeViewpointWindow: target = NoticeTarget::kViewpointWindow; break;
    default:
      if (windowKind == kViewBreakpointDialogs) target = NoticeTarget::kBreakpointList;
      if (windowKind == kViewCommand) target = NoticeTarget::kCommandWindow;
      break;
  }
  if (target == NoticeTarget::kCount) return 0;
  const NoticeHandler handler = HandlerOf(target);
  if (handler == nullptr) return 0;
  if (target == NoticeTarget::kInvocation) {
    RouteInvocationNotice(handler, windowKind, windowArgument, code, value);
  } else {
    handler(windowKind, windowArgument, code, value);
  }
  return 0;
}

}  // namespace zentor
