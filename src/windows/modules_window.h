#pragma once
// The Modules window: the modules known to one viewpoint, one list the Modules view
// manager writes at the window's width, and a way to browse to a module (Enter, a
// double click or "&Browse To" on its name), after which the Source window follows
// the new scope. The window factory builds it for kind 16 once InstallModulesWindow
// has run.

#include <cstdint>

#include "core/collectable_record.h"
#include "gui/win_super.h"

namespace zentor {

// The narrowest list the window asks for, in characters.
inline constexpr uint32_t kModulesMinimumWidth = 10;

class ModulesWindow final : public WinSuper {
 public:
  ModulesWindow(NativeWindow window, uint32_t viewpointValue, const char* title);
  ~ModulesWindow() override;

  void OnKey(const WindowEvent& event) override;
  void OnMouse(const WindowEvent& event) override;
  void OnReserved(uint32_t) override {}
  void OnCommand(int32_t command) override;
  void OnRefresh(int32_t flags) override;
  void OnEngineNotify() override;
  int32_t SendViewRequest(int32_t, intptr_t) override { return 0; }
  void OnResize(const WindowEvent& event) override;

  // Browses to the module named by the pane's selected text; nothing without one.
  void BrowseToSelection();
  // The width the window asks the list for: its client area in characters, at
  // least kModulesMinimumWidth.
  uint32_t WidthArgument() const;

 private:
  void ShowPopup();
  // A refresh at the width argument (0: the manager keeps the last width); a failure
  // is reported when `report` is set.
  void Refresh(intptr_t width, bool report);

  CollectableRecord m_changeRecord;
  uint32_t m_width = kModulesMinimumWidth;
};

// Makes the window factory build ModulesWindow objects for kind 16.
void InstallModulesWindow();

}  // namespace zentor
