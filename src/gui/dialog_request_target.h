#pragma once
// Window objects without a window: the senders of the requests that dialogs and the
// GUI's own code make through the view dispatcher, which reads only their kind and
// viewpoint. Every operation does nothing. Six exist for the run: three of kind 17 (the
// message loop, the General window's menu bracket, the layout code), one of kind 13
// (the invocation dialog) and two of kind 8 (the watch dialogs, the breakpoint
// dialogs).

#include <cstdint>

#include "gui/win_super.h"

namespace zentor {

class DialogRequestTarget final : public WinSuper {
 public:
  explicit DialogRequestTarget(int32_t kind) { SetKind(kind); }

  void OnFocusGained() override {}
  void OnFocusLost() override {}
  void OnKey(const WindowEvent&) override {}
  void OnMouse(const WindowEvent&) override {}
  void OnReserved(uint32_t) override {}
  void OnCommand(int32_t) override {}
  void OnRefresh(int32_t) override {}
  void OnEngineNotify() override {}
  int32_t SendViewRequest(int32_t, intptr_t) override { return 0; }
  void SaveSettings() override {}
  void RestoreSettings() override {}
};

DialogRequestTarget& MessageLoopRequestTarget();
DialogRequestTarget& GeneralMenuRequestTarget();
DialogRequestTarget& LayoutRequestTarget();
DialogRequestTarget& InvocationRequestTarget();
DialogRequestTarget& WatchDialogRequestTarget();
DialogRequestTarget& BreakpointDialogRequestTarget();

// A key or mouse button went down: the status line's persistent text comes back.
void NotifyUserActivity();

}  // namespace zentor
