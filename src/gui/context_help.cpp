#include "gui/context_help.h"

#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/window_layer.h"
#include "gui/gui_window_layer.h"

namespace zentor {
namespace {

struct HelpState {
  std::string file;
  uint32_t hookMessage = 0;
};

HelpState& State() {
  static HelpState state;
  return state;
}

struct KindContext {
  int32_t kind;
  uint32_t context;
};
constexpr KindContext kFocusedWindowContexts[] = {
    {0, 31100},  {1, 31000},  {3, 31030},  {4, 31010},  {5, 31040},
    {11, 31070}, {15, 31050}, {16, 31060}, {19, 31020}, {20, 31095},
};

}  // namespace

void ShowCommandWindowHelp() {
  if (IsConsoleMode()) throw DVError(kMsgNoHelpEngine, kSeverityError, kDisplayByFocus);
  WindowLayer::ShowHelp(kCommandWindowHelpContext);
}

void SetHelpFile(const std::string& path) { State().file = path; }
const std::string& HelpFile() { return State().file; }
void SetHelpHookMessage(uint32_t message) { State().hookMessage = message; }
uint32_t HelpHookMessage() { return State().hookMessage; }

int32_t ShowHelpContext(int32_t windowId, uint32_t context) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (context == kAboutHelpContext || layer == nullptr) return 0;
  return layer->ShowHelp(windowId, State().file.c_str(), kHelpContext, context);
}

int32_t HandleHelpHookMessage(int32_t dialogId, uint32_t message, uint32_t context) {
  if (State().hookMessage == 0 || message != State().hookMessage) return 0;
  ShowHelpContext(dialogId, context);
  return 1;
}

uint32_t FocusedWindowHelpContext(int32_t kind) {
  for (const KindContext& row : kFocusedWindowContexts) {
    if (row.kind == kind) return row.context;
  }
  return 0;
}

}  // namespace zentor
