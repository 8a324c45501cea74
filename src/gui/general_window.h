#pragma once
// The General window: the one-line status strip along the bottom of the frame's client
// area, showing the current viewpoint's status text, or the no-program text while no
// viewpoint exists. It is created first at start-up and kept for the whole run; at
// most one exists. The same file holds the frame-menu commands that act on the Source
// window's current line.

#include <cstdint>
#include <string>

#include "core/collectable_record.h"
#include "core/installed_service.h"
#include "gui/win_super.h"

namespace zentor {

// The refresh code of a paint: the router's paint event reaches the General window as
// a refresh, so every paint re-reads the status text.
inline constexpr int32_t kGeneralRefreshPaint = 2;

// The strip's text while no viewpoint exists: "NO INIT" at column 64.
inline constexpr const char kNoProgramText[] =
    "<No Program Loaded>                                             NO INIT";

class GeneralWindow final : public WinSuper {
 public:
  GeneralWindow(NativeWindow window, uint32_t viewpointValue, const char* title);
  ~GeneralWindow() override;

  // Re-reads and paints the status when a change record was marked or `force` is not
  // 0; a current viewpoint with an empty status text keeps what is shown.
  void Refresh(int32_t force);
  // The strip at the bottom of the parent's client area, 8 vertical dialog units high.
  void Place();
  const std::string& StatusText() const { return m_statusText; }

  void OnKey(const WindowEvent&) override {}
  void OnMouse(const WindowEvent&) override {}
  void OnReserved(uint32_t) override {}
  void OnCommand(int32_t) override {}
  void OnRefresh(int32_t code) override { Refresh(code); }
  void OnEngineNotify() override {}
  int32_t SendViewRequest(int32_t, intptr_t) override { return 0; }

 private:
  void Paint();

  std::string m_statusText;
  // Current viewpoint, symbol browsing, locations, status line, execution state.
  CollectableRecord m_records[5];
};

void RefreshGeneralWindow(int32_t force);
// -1 while there is no General window.
int32_t GeneralWindowLayerId();
GeneralWindow* TheGeneralWindow();
void PlaceGeneralWindow();
void SetGeneralWindowPaneRect(const LayerRect& area);

// What the Source window does for the frame's menu commands on its current line; the
// base has no Source window and does nothing. A pane command answers 0 when done.
class SourceLineCommands {
 public:
  virtual ~SourceLineCommands();
  virtual void ToggleAsmDisplay();
  virtual int32_t RunSourcePaneCommand(int32_t paneCommand);
};
InstalledService<SourceLineCommands>& SourceLineCommandHandler();

// A frame-menu command 0x65..0x6d on the Source window's current line, bracketed by
// GuiCommands 0x54 and 0x55 of the General window's menu target.
void RunSourceMenuCommand(int32_t code);

}  // namespace zentor
