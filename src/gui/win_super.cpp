#include "gui/win_super.h"

#include <algorithm>
#include <cstdio>

#include "core/dv_error.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "gui/gui_window_layer.h"
#include "gui/text_pane_drawing.h"
#include "gui/window_menu.h"
#include "gui/window_table.h"

namespace zentor {

namespace {

std::string CutTitle(const char* title) {
  std::string text = title != nullptr ? title : "";
  if (text.size() > kMaxWindowTitle) text.resize(kMaxWindowTitle);
  return text;
}

}  // namespace

// 1. The change record watches the alias of the window's viewpoint.
// 2. The layer must take the window: the factory registers it first and refuses the
//    window when the table is full, so a refusal here is the program's own fault.
// 3. The pane's widest line is the frame's usable width in characters; its rows and
//    columns are the client area's.
// 4. The window is stored in the table before its change record is registered and
//    marked, so the first UpdateTitle sets the caption.
WinSuper::WinSuper(NativeWindow window, uint32_t viewpointValue, const char* title)
    : m_layer(InstalledGuiWindowLayer()),
      m_title(CutTitle(title)),
      m_changeRecord(kRecordWindows, ViewpointHandle(viewpointValue)) {
  m_viewpoint = ViewpointHandle(viewpointValue);
  m_pane.owner = this;
  if (m_layer == nullptr) ZENTOR_INTERNAL_ERROR();
  m_layerId = m_layer->Register(window, kLayerChildWindow, 0);
  if (m_layerId == kNoLayerId) ZENTOR_INTERNAL_ERROR();
  m_pane.layerId = m_layerId;
  ReadFontMetrics();
  m_pane.maxWidth = m_charWidth > 0 ? m_layer->UsableWidth() / m_charWidth : 0;
  ReadClientArea();
  m_layer->Invalidate(m_layerId, nullptr);
  ViewpointManager::SetPendingSelection(m_viewpoint);
  WindowTable::Store(this);
  m_changeRecord.Register();
  m_changeRecord.MarkChanged();
}

WinSuper::WinSuper() : m_changeRecord(kRecordFurtherUsers) {}

// A window freed by any other route than DestroyWindowObject must not stay behind in
// the table.
WinSuper::~WinSuper() {
  if (m_inWindowMenu) RemoveWindowMenuEntry(m_layerId);
  if (m_layerId != kNoLayerId && WindowTable::Get(m_layerId) == this) WindowTable::Clear(m_layerId);
}

void WinSuper::ListInWindowMenu(const char* text) {
  if (m_inWindowMenu || m_layerId == kNoLayerId) return;
  m_inWindowMenu = true;
  AddWindowMenuEntry(m_layerId, text);
}

void WinSuper::SetPaneStyle(uint32_t style) {
  m_paneStyle = style;
  m_pane.markerColumn = (style & kPaneMarkerColumn) != 0;
  m_pane.textSelection = (style & kPaneTextSelection) != 0;
  m_pane.fieldPane = (style & kPaneFields) != 0;
}

void WinSuper::ReadFontMetrics() {
  int32_t externalLeading = 0;
  int32_t ascent = 0;
  int32_t descent = 0;
  m_layer->GetFontMetrics(m_layerId, &externalLeading, &ascent, &descent);
  m_lineHeight = externalLeading + ascent + descent;
  m_charWidth = std::max(m_layer->GetTextWidth(m_layerId, "W", -1), 0);
}

void WinSuper::ReadClientArea() {
  LayerRect area;
  if (m_layer->GetClientArea(m_layerId, &area) != nullptr) m_clientArea = area;
  m_pane.columns = m_charWidth > 0 ? (m_clientArea.right - m_clientArea.left) / m_charWidth : 0;
  m_pane.rows = m_lineHeight > 0 ? (m_clientArea.bottom - m_clientArea.top) / m_lineHeight : 0;
}

void WinSuper::OnFocusGained() { HandleFocusGained(); }
void WinSuper::OnFocusLost() { HandleFocusLost(); }
void WinSuper::SaveSettings() {}
void WinSuper::RestoreSettings() {}

void WinSuper::SetViewpoint(ViewpointHandle) { ZENTOR_INTERNAL_ERROR(); }

// The caret goes on the current line only when there are lines; the viewpoint is
// taken at the next command read, never in the middle of a command.
void WinSuper::HandleFocusGained() {
  if (m_pane.total != 0 && m_layer != nullptr) PlacePaneCaret();
  ViewpointManager::SetPendingSelection(m_viewpoint);
}

void WinSuper::UpdateTitle() {
  if (m_changeRecord.TestAndClearChanged() == 0 || m_layer == nullptr) return;
  char name[ViewpointManager::kMaxDisplayNameLength + 3];
  FormatViewpointName(m_viewpoint.Value(), name, sizeof name, true);
  char caption[kMaxWindowCaption + 1];
  std::snprintf(caption, sizeof caption, "%s  %s", m_title.c_str(), name);
  m_caption = caption;
  m_layer->SetWindowTitle(m_layerId, caption);
}

void WinSuper::OnPaint(const WindowEvent& event) { PaintPane(event); }

void WinSuper::OnFontChanged() {
  if (m_layer == nullptr) return;
  ReadFontMetrics();
  m_pane.maxWidth = m_charWidth > 0 ? m_layer->UsableWidth() / m_charWidth : 0;
  ReadClientArea();
  m_pane.Revalidate();
}

// The pane decides every move: a line move scrolls the pixels and draws the line it
// exposed, a page or thumb move redraws the window. The Source window then tells its
// manager the new current line.
void WinSuper::OnVScroll(const WindowEvent& event) {
  m_pane.HandleVScroll(event.ScrollCode(), event.ScrollPosition());
  if (m_kind == kViewSource) SendCurrentLine();
}

void WinSuper::PaintPane(const WindowEvent& event) {
  if (m_layer != nullptr) TextPaneDrawing::PaintRect(*this, event.PaintArea());
}

void WinSuper::OnHScroll(const WindowEvent& event) { m_pane.HandleHScroll(event.ScrollCode(), event.ScrollPosition()); }

void WinSuper::PlacePaneCaret() { m_pane.PlaceCaret(); }

// A minimised window keeps its pane as it was; otherwise the client area is the event's
// and the pane takes its cells.
void WinSuper::OnResize(const WindowEvent& event) {
  if (m_layer == nullptr || event.SizeKind() == kSizeMinimized || m_layer->IsMinimized(m_layerId) != 0) return;
  SetClientArea(LayerRect{0, 0, event.Height(), event.Width()});
  m_pane.Resize(m_charWidth > 0 ? event.Width() / m_charWidth : 0, m_lineHeight > 0 ? event.Height() / m_lineHeight : 0);
}

}  // namespace zentor
