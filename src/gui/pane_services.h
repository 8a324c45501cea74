#pragma once
// Small services of the panes that several windows share, by layer id: clearing a
// part of a pane, drawing text into character cells, the character cell's size, the
// two fixed warning boxes; and the pane's window port, through which the text pane of
// the core reaches the layer (scroll bars, redrawing, the client area in cells, the
// message loop, whether a window is open).

#include <cstdint>
#include <vector>

#include "core/text_pane.h"
#include "gui/layer_types.h"

namespace zentor {

// Fills the rectangle (its right edge clipped to the client area's), or the whole
// client area when there is none, with the colour; nothing for id -1 or a minimised
// window.
void ClearPaneRect(int32_t id, const LayerRect* area, uint32_t color);
// Text whose cells end at y (the text's bottom), on cells cleared with the background.
// Nothing for an id without a window object.
void DrawPaneTextAt(int32_t id, int32_t x, int32_t y, const char* text, int32_t length, uint32_t background,
                    uint32_t textColor);
void GetCharCellSize(int32_t id, int32_t* height, int32_t* width);
// "ERROR: Can't create window." and "FATAL: Out of room" in a warning box over the window.
void ShowWarningMessage(int32_t id);
void ShowOutOfRoomMessage(int32_t id);
// Called by the pane's key and mouse handling; does nothing.
void PaneInputHook();

// The pane port of the windows: the scroll bars and repainting of the layer window, the
// client area in cells of the window object, a round of the input wait, the window
// table for open windows, and the drawing the pane asks for (text_pane_drawing.h) on
// the id's window object. A request to a pane's owner runs with the message pumps off
// and the wait cursor up; both come back as they were.
class LayerPaneWindowPort final : public PaneWindowPort {
 public:
  void SetVScrollRange(int32_t layerId, int32_t minimum, int32_t maximum) override;
  void SetVScrollPos(int32_t layerId, int32_t position) override;
  void SetHScrollRange(int32_t layerId, int32_t minimum, int32_t maximum) override;
  void SetHScrollPos(int32_t layerId, int32_t position) override;
  void InvalidateWindow(int32_t layerId) override;
  void RedrawLine(int32_t layerId, int32_t index) override;
  void Beep() override;
  bool ClientCells(int32_t layerId, int32_t* columns, int32_t* rows) override;
  void BeginOwnerRequest() override;
  void EndOwnerRequest() override;
  void RunMessageLoopRound() override;
  bool WindowExists(int32_t kind, int32_t viewpointValue) override;
  void ScrollTextRows(int32_t layerId, int32_t rows) override;
  void ClearBelowRows(int32_t layerId) override;
  void DrawMarkerColumn(int32_t layerId) override;
  void DrawSelection(int32_t layerId, int32_t index) override;
  void ClearSelection(int32_t layerId, int32_t index) override;
  void ShowWordAtCursor(int32_t layerId) override;
  void DrawSelectedField(int32_t layerId) override;
  bool HasFocus(int32_t layerId) override;
  void ShowCaret(int32_t layerId, int32_t column, int32_t row, bool wide) override;
  void HideCaret(int32_t layerId) override;

 private:
  std::vector<bool> m_pumpingBefore;
};

// Installs the port behind the core's pane (PaneWindow()).
void InstallLayerPaneWindowPort();

}  // namespace zentor
