#pragma once
// The Registers window: the registers of its viewpoint as a field pane whose values
// are typed over to change them. Its lines come from the target interface's register
// view (kind 4); the pane's requests reach it with argument 0.

#include <cstdint>
#include <memory>

#include "windows/data_window.h"

namespace zentor {

class RegistersWindow final : public DataWindow {
 public:
  RegistersWindow(NativeWindow window, uint32_t viewpointValue, const char* title);
  ~RegistersWindow() override;

  void OnFocusLost() override;
  void OnKey(const WindowEvent& event) override;
  void OnMouse(const WindowEvent& event) override;
  void OnReserved(uint32_t) override {}
  void OnCommand(int32_t) override {}
  void OnRefresh(int32_t code) override { Refresh(code, false); }
  void OnEngineNotify() override;
  int32_t SendViewRequest(int32_t code, intptr_t argument) override;

  // Rebuilds the pane when a register or execution change is pending or bit 0x4 of
  // `flags` asks for it; `selectFirst` selects the first register field.
  void Refresh(int32_t flags, bool selectFirst);
};

std::unique_ptr<WinSuper> CreateRegistersWindow(NativeWindow window, uint32_t viewpointValue, const char* title);

}  // namespace zentor
