#pragma once
// The Watch window: the watch expressions of one viewpoint with their values, one
// line each, written by the Watch view manager. The window moves through the lines
// and offers a popup menu that opens the Add Watch and Delete Watch dialogs, deletes
// every watch and opens the management of named watch sets. The window factory
// builds it for kind 3 once InstallWatchWindow has run.

#include <cstdint>

#include "core/collectable_record.h"
#include "gui/win_super.h"

namespace zentor {

class WatchWindow final : public WinSuper {
 public:
  // The popup menu's items.
  enum PopupItem : int32_t { kAddWatch = 0, kDeleteWatch = 1, kDeleteAll = 2, kManageWatch = 3 };

  WatchWindow(NativeWindow window, uint32_t viewpointValue, const char* title);
  ~WatchWindow() override;

  void OnKey(const WindowEvent& event) override;
  void OnMouse(const WindowEvent& event) override;
  void OnReserved(uint32_t) override {}
  void OnCommand(int32_t command) override;
  void OnRefresh(int32_t flags) override;
  void OnEngineNotify() override;
  int32_t SendViewRequest(int32_t, intptr_t) override { return 0; }

 private:
  static constexpr int kRecordCount = 6;

  void ShowPopup();
  void RegisterRecords();
  void UnregisterRecords();

  CollectableRecord m_changeRecords[kRecordCount];
  NativeWindow m_creationHandle;
};

// Makes the window factory build WatchWindow objects for kind 3.
void InstallWatchWindow();

}  // namespace zentor
