#pragma once
// The Memory window: a stretch of target memory as rows of values in a chosen element
// type and number base, moved through beyond the lines it holds and typed over to
// write the target. Its lines and fields come from the memory view manager (kind 5);
// every request carries the one MemoryDisplayRequest of the run, which the Memory
// Display and Save Memory dialogs (memory_dialogs.h) fill and which a second Memory
// window of another viewpoint shares. A Memory window is opened only by confirming the
// Memory Display dialog.

#include <cstdint>

#include "engine/memory_view.h"
#include "windows/data_window.h"

namespace zentor {

// The request of every Memory window and both dialogs.
MemoryDisplayRequest& TheMemoryDisplayRequest();
// Every change flag of the request.
inline constexpr uint16_t kMemoryAllChanges = 0x7f;
inline constexpr uint16_t kMemoryRowsChanged = 0x04;

inline constexpr const char* kCurrentSettingsName = "CURRENT";

class MemoryWindow final : public DataWindow {
 public:
  MemoryWindow(NativeWindow window, uint32_t viewpointValue, const char* title);
  ~MemoryWindow() override;

  void OnFocusLost() override;
  // Alt+A opens the popup; every other key goes to the field pane.
  void OnKey(const WindowEvent& event) override;
  void OnMouse(const WindowEvent& event) override;
  void OnReserved(uint32_t) override {}
  // Popup item 0 opens the Memory Display dialog, item 1 the Save Memory dialog, both
  // owned by this window.
  void OnCommand(int32_t command) override;
  void OnRefresh(int32_t force) override;
  void OnEngineNotify() override;
  int32_t SendViewRequest(int32_t code, intptr_t argument) override;
  // The dialog's settings as "CURRENT" in the settings store, and back.
  void SaveSettings() override;
  void RestoreSettings() override;

 private:
  // The whole rows the client area holds now; flag 0x04 when the request had others.
  void TakeRowCount(int32_t lineHeight);
};

std::unique_ptr<WinSuper> CreateMemoryWindow(NativeWindow window, uint32_t viewpointValue, const char* title);

}  // namespace zentor
