#include "gui/pane_services.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/busy_pump.h"
#include "core/hi_service.h"
#include "gui/gui_window_layer.h"
#include "gui/text_pane_drawing.h"
#include "gui/win_super.h"
#include "gui/window_table.h"

namespace zentor {

namespace {

constexpr char kCantCreateWindow[] = "ERROR: Can't create window.";
constexpr char kOutOfRoom[] = "FATAL: Out of room";

}  // namespace

void ClearPaneRect(int32_t id, const LayerRect* area, uint32_t color) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr || id == kNoLayerId || layer->IsMinimized(id) != 0) return;
  LayerRect client;
  if (layer->GetClientArea(id, &client) == nullptr) return;
  LayerRect filled = client;
  if (area != nullptr) {
    filled = *area;
    filled.right = std::min(filled.right, client.right);
  }
  layer->SetLineStyle(id, LayerLine{});
  layer->SetFillStyle(id, LayerFill{kFillSolid, color});
  layer->DrawRectangle(id, filled);
}

void DrawPaneTextAt(int32_t id, int32_t x, int32_t y, const char* text, int32_t length, uint32_t background,
                    uint32_t textColor) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  const WinSuper* window = WindowTable::Get(id);
  if (layer == nullptr || window == nullptr || text == nullptr) return;
  const int32_t count = length < 0 ? static_cast<int32_t>(std::strlen(text)) : length;
  // The cells' right edge in 64 bits: a long text must not wrap it round to the left.
  const int64_t right = static_cast<int64_t>(x) + static_cast<int64_t>(window->GetCharWidth()) * count - 1;
  const LayerRect cells{y - window->GetLineHeight(), x, y - 1, static_cast<int32_t>(std::min<int64_t>(right, std::numeric_limits<int32_t>::max()))};
  ClearPaneRect(id, &cells, background);
  layer->SetBackgroundColor(id, background);
  layer->SetTextColor(id, textColor);
  layer->DrawTextAt(id, x, y, text, count);
}

void GetCharCellSize(int32_t id, int32_t* height, int32_t* width) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  int32_t externalLeading = 0;
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t charWidth = 0;
  if (layer != nullptr) {
    layer->GetFontMetrics(id, &externalLeading, &ascent, &descent);
    charWidth = std::max(layer->GetTextWidth(id, "W", -1), 0);
  }
  if (height != nullptr) *height = externalLeading + ascent + descent;
  if (width != nullptr) *width = charWidth;
}

void ShowWarningMessage(int32_t id) {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->ShowWarningBox(id, kCantCreateWindow);
}

void ShowOutOfRoomMessage(int32_t id) {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->ShowWarningBox(id, kOutOfRoom);
}

void PaneInputHook() {}

void LayerPaneWindowPort::SetVScrollRange(int32_t layerId, int32_t minimum, int32_t maximum) {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) {
    layer->SetScrollRange(layerId, kScrollBarVertical, minimum, maximum);
  }
}

void LayerPaneWindowPort::SetVScrollPos(int32_t layerId, int32_t position) {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->SetScrollPos(layerId, kScrollBarVertical, position);
}

void LayerPaneWindowPort::SetHScrollRange(int32_t layerId, int32_t minimum, int32_t maximum) {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) {
    layer->SetScrollRange(layerId, kScrollBarHorizontal, minimum, maximum);
  }
}

void LayerPaneWindowPort::SetHScrollPos(int32_t layerId, int32_t position) {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->SetScrollPos(layerId, kScrollBarHorizontal, position);
}

void LayerPaneWindowPort::InvalidateWindow(int32_t layerId) {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->Invalidate(layerId, nullptr);
}

// The line is drawn at once, whole: a line move draws only the line it exposed.
void LayerPaneWindowPort::RedrawLine(int32_t layerId, int32_t index) {
  if (WinSuper* window = WindowTable::Get(layerId)) TextPaneDrawing::DrawLineMarker(*window, index);
}

void LayerPaneWindowPort::Beep() {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->Beep();
}

bool LayerPaneWindowPort::ClientCells(int32_t layerId, int32_t* columns, int32_t* rows) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  const WinSuper* window = WindowTable::Get(layerId);
  LayerRect client;
  if (layer == nullptr || window == nullptr || layer->GetClientArea(layerId, &client) == nullptr) return false;
  const int32_t width = window->GetCharWidth();
  const int32_t height = window->GetLineHeight();
  if (columns != nullptr) *columns = width > 0 ? (client.right - client.left) / width : 0;
  if (rows != nullptr) *rows = height > 0 ? (client.bottom - client.top) / height : 0;
  return true;
}

void LayerPaneWindowPort::BeginOwnerRequest() {
  m_pumpingBefore.push_back(IsPumpingEnabled());
  SetPumpingEnabled(0);
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->PushCursor(kCursorWait, 0);
}

void LayerPaneWindowPort::EndOwnerRequest() {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->PopCursor();
  bool before = true;
  if (!m_pumpingBefore.empty()) {
    before = m_pumpingBefore.back();
    m_pumpingBefore.pop_back();
  }
  SetPumpingEnabled(before ? 1 : 0);
}

void LayerPaneWindowPort::RunMessageLoopRound() {
  if (GuiShell* shell = InstalledGuiShell()) shell->WaitForInputRound();
}

bool LayerPaneWindowPort::WindowExists(int32_t kind, int32_t viewpointValue) {
  return WindowTable::FindByKindAndViewpoint(kind, ViewpointHandle(static_cast<uint32_t>(viewpointValue))) != nullptr;
}

void LayerPaneWindowPort::ScrollTextRows(int32_t layerId, int32_t rows) {
  if (WinSuper* window = WindowTable::Get(layerId)) TextPaneDrawing::ScrollTextRows(*window, rows);
}

void LayerPaneWindowPort::ClearBelowRows(int32_t layerId) {
  if (WinSuper* window = WindowTable::Get(layerId)) TextPaneDrawing::ClearBelowRows(*window);
}

void LayerPaneWindowPort::DrawMarkerColumn(int32_t layerId) {
  if (WinSuper* window = WindowTable::Get(layerId)) TextPaneDrawing::DrawMarkerColumn(*window);
}

void LayerPaneWindowPort::DrawSelection(int32_t layerId, int32_t index) {
  if (WinSuper* window = WindowTable::Get(layerId)) TextPaneDrawing::DrawSelection(*window, index);
}

void LayerPaneWindowPort::ClearSelection(int32_t layerId, int32_t index) {
  if (WinSuper* window = WindowTable::Get(layerId)) TextPaneDrawing::ClearSelection(*window, index);
}

void LayerPaneWindowPort::ShowWordAtCursor(int32_t layerId) {
  if (WinSuper* window = WindowTable::Get(layerId)) TextPaneDrawing::ShowWordAtCursor(*window);
}

void LayerPaneWindowPort::DrawSelectedField(int32_t layerId) {
  if (WinSuper* window = WindowTable::Get(layerId)) TextPaneDrawing::DrawSelectedField(*window);
}

bool LayerPaneWindowPort::HasFocus(int32_t layerId) {
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  return layer != nullptr && layerId != kNoLayerId && layer->GetFocusWindow() == layerId;
}

void LayerPaneWindowPort::ShowCaret(int32_t layerId, int32_t column, int32_t row, bool wide) {
  if (WinSuper* window = WindowTable::Get(layerId)) TextPaneDrawing::ShowCaret(*window, column, row, wide);
}

void LayerPaneWindowPort::HideCaret(int32_t) {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->HideCaret(0);
}

void InstallLayerPaneWindowPort() {
  static LayerPaneWindowPort port;
  PaneWindow().Install(&port);
}

}  // namespace zentor
