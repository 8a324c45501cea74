#pragma once
// The base class of every window object of the debugger: it binds one layer window to
// a viewpoint, a title and the window's text pane, and fixes the operations through
// which the window router (window_table.h) delivers events. The General, Command,
// Source and data windows derive from it, and so do the window-less request targets
// of the dialogs (dialog_request_target.h). A window object stores itself in the
// window table when it is built; the router's close event, or the viewpoint's window
// group closing, ends it.

#include <cstdint>
#include <string>

#include "core/collectable_record.h"
#include "core/text_pane.h"
#include "core/viewpoint_handle.h"
#include "gui/layer_types.h"
#include "gui/window_event.h"

namespace zentor {

class GuiWindowLayer;

// Style bits of a window's pane.
inline constexpr uint32_t kPaneMarkerColumn = 0x02;
inline constexpr uint32_t kPaneTextSelection = 0x20;
inline constexpr uint32_t kPaneFields = 0x40;

// Longest title and caption kept.
inline constexpr size_t kMaxWindowTitle = 32;
inline constexpr size_t kMaxWindowCaption = 96;

class WinSuper : public PaneOwner {
 public:
  // Builds the object of a child window: registers the window with the layer, takes
  // the font's cell size and the client area into the pane and stores itself in the
  // window table. The layer must take the window (the window factory makes sure).
  WinSuper(NativeWindow window, uint32_t viewpointValue, const char* title);
  ~WinSuper() override;
  WinSuper(const WinSuper&) = delete;
  WinSuper& operator=(const WinSuper&) = delete;

  // The operations the router calls.
  virtual void OnFocusGained();
  virtual void OnFocusLost();
  virtual void OnKey(const WindowEvent& event) = 0;
  virtual void OnMouse(const WindowEvent& event) = 0;
  virtual void OnReserved(uint32_t word) = 0;
  virtual void OnCommand(int32_t command) = 0;
  virtual void OnRefresh(int32_t code) = 0;
  virtual void OnEngineNotify() = 0;
  // A GuiCommand to the window's producer; 0 when done (PaneOwner).
  int32_t SendViewRequest(int32_t code, intptr_t argument) override = 0;
  virtual void SaveSettings();
  virtual void RestoreSettings();
  // Only the Command window follows the current viewpoint; on any other window this
  // is an internal error.
  virtual void SetViewpoint(ViewpointHandle viewpoint);

  // The base event handlers. The Command window paints, scrolls and sizes itself, the
  // Callstack window paints and the Modules window sizes itself: they override these.
  virtual void OnPaint(const WindowEvent& event);
  virtual void OnResize(const WindowEvent& event);
  virtual void OnVScroll(const WindowEvent& event);
  virtual void OnHScroll(const WindowEvent& event);
  void OnFontChanged();

  void HandleFocusGained();
  void HandleFocusLost() {}
  // Paints the pane's part of the event's rectangle.
  void PaintPane(const WindowEvent& event);
  // Sets the caption ("title  [viewpoint]") when the viewpoint's alias changed since
  // the last call (the first call always sets it).
  void UpdateTitle();
  void SetClientArea(const LayerRect& area) { m_clientArea = area; }

  TextPane& GetTextPane() { return m_pane; }
  const TextPane& GetTextPane() const { return m_pane; }
  ViewpointHandle GetViewpoint() const { return m_viewpoint; }
  int32_t LayerWindowId() const { return m_layerId; }
  int32_t GetLineHeight() const { return m_lineHeight; }
  int32_t GetCharWidth() const { return m_charWidth; }
  // The Command window measures its font itself and keeps the metrics here too.
  void SetLineHeight(int32_t height) { m_lineHeight = height; }
  void SetCharWidth(int32_t width) { m_charWidth = width; }
  int32_t Kind() const { return m_kind; }
  uint32_t GetPaneStyle() const { return m_paneStyle; }
  const LayerRect& ClientArea() const { return m_clientArea; }
  const std::string& Title() const { return m_title; }
  const std::string& Caption() const { return m_caption; }

 protected:
  // A window-less object (a dialog's request target): no layer window, no table entry,
  // the default viewpoint handle.
  WinSuper();

  // Set by the derived constructors.
  void SetKind(int32_t kind) { m_kind = kind; }
  // The window's viewpoint from now on (the Command window follows the current one).
  void SetWindowViewpoint(ViewpointHandle viewpoint) { m_viewpoint = viewpoint; }
  void SetPaneStyle(uint32_t style);
  // The layer the window draws through; null for a window-less object.
  GuiWindowLayer* Layer() const { return m_layer; }
  // After a vertical scroll: the Source window tells its manager the new current line.
  virtual void SendCurrentLine() {}
  // The debugger's windows stand in the frame's Window menu from their construction
  // (once the window is in the table) until the object goes.
  void ListInWindowMenu(const char* text);

 private:
  void ReadFontMetrics();
  void ReadClientArea();
  void PlacePaneCaret();

  GuiWindowLayer* m_layer = nullptr;
  int32_t m_layerId = kNoLayerId;
  int32_t m_kind = 0;
  uint32_t m_paneStyle = 0;
  LayerRect m_clientArea;
  int32_t m_lineHeight = 0;
  int32_t m_charWidth = 0;
  TextPane m_pane;
  ViewpointHandle m_viewpoint;
  std::string m_title;
  std::string m_caption;
  CollectableRecord m_changeRecord;
  bool m_inWindowMenu = false;
};

}  // namespace zentor
