#include "gui/gui_window_layer.h"

#include <cmath>
#include <cstring>

#include "core/current_viewpoint.h"

namespace zentor {
namespace {

GuiWindowLayer*& InstalledLayerSlot() {
  static GuiWindowLayer* layer = nullptr;
  return layer;
}

bool IsKnownType(uint32_t type) {
  return type == kLayerModalDialog || type == kLayerModelessDialog || type == kLayerChildWindow ||
         type == kLayerFrame || (type >= kLayerPushButton && type <= kLayerWhiteRect);
}

bool IsWindowOrDialog(uint32_t type) {
  return type == kLayerModalDialog || type == kLayerModelessDialog || type == kLayerChildWindow ||
         type == kLayerFrame;
}

size_t TextLength(const char* text, int32_t length) {
  if (text == nullptr) return 0;
  return length < 0 ? std::strlen(text) : static_cast<size_t>(length);
}

}  // namespace

void InstallGuiWindowLayer(GuiWindowLayer* layer) { InstalledLayerSlot() = layer; }
GuiWindowLayer* InstalledGuiWindowLayer() { return InstalledLayerSlot(); }

GuiWindowLayer::GuiWindowLayer(LayerSystem& system) : m_system(system) {}

uint32_t GuiWindowLayer::SwapRedBlue(uint32_t color) {
  return (color & 0xFF00FF00u) | ((color & 0xFFu) << 16) | ((color >> 16) & 0xFFu);
}

void GuiWindowLayer::SetRect(LayerRect* area, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (area == nullptr) return;
  area->top = top;
  area->left = left;
  area->bottom = bottom;
  area->right = right;
}

int32_t GuiWindowLayer::PointInRect(const LayerRect& area, int32_t y, int32_t x) {
  return area.top <= y && y < area.bottom && area.left <= x && x < area.right ? 1 : 0;
}

LayerWindow* GuiWindowLayer::Live(int32_t id) {
  if (id < 0 || id >= kLayerSlotCount) return nullptr;
  LayerWindow& window = m_table[id];
  return window.handle != 0 && window.handle != kBadNativeWindow ? &window : nullptr;
}

bool GuiWindowLayer::IsOfType(int32_t id, uint32_t type) {
  const LayerWindow* window = Live(id);
  return window != nullptr && window->type == type;
}

LayerFont GuiWindowLayer::FontOf(const LayerWindow& window) {
  return window.type == kLayerChildWindow ? LayerFont::Fixed : LayerFont::System;
}

// 1. A type the table does not know takes no slot.
// 2. The scan stops at the window's own entry (same handle and type) or at the first
//    free slot before it, so a window registered again keeps its id unless a slot
//    before it was freed meanwhile.
// 3. A modal dialog disables every other window and dialog and goes on the modal
//    stack; a full stack skips the push but keeps the registration.
int32_t GuiWindowLayer::Register(NativeWindow handle, uint32_t type, uintptr_t userWord) {
  if (!IsKnownType(type)) return kNoLayerId;
  int32_t id = kNoLayerId;
  for (int32_t slot = 0; slot < kLayerSlotCount; ++slot) {
    LayerWindow& window = m_table[slot];
    if (window.handle == handle && window.type == type && handle != 0) return slot;
    if (window.handle == 0) {
      id = slot;
      break;
    }
  }
  if (id == kNoLayerId) return kNoLayerId;

  LayerWindow& window = m_table[id];
  window = LayerWindow{};
  window.handle = handle;
  window.type = type;
  window.userWord = userWord;
  window.attributes.textColor = m_system.GetSystemColor(SystemColor::WindowText);
  window.attributes.backgroundColor = m_system.GetSystemColor(SystemColor::Window);

  switch (type) {
    case kLayerModalDialog: {
      HideCaret(0);
      m_highlightedId = id;
      const bool otherModalOpen = FindOtherModalDialog(id) != kNoLayerId;
      for (int32_t slot = 0; slot < kLayerSlotCount; ++slot) {
        if (slot != id && Live(slot) != nullptr && IsWindowOrDialog(m_table[slot].type)) {
          m_system.EnableWindow(m_table[slot].handle, false);
        }
      }
      if (!otherModalOpen && handle != 0) ActivateWindow(id);
      if (m_modalTop < kModalStackSize - 1) m_modalStack[++m_modalTop] = id;
      break;
    }
    case kLayerModelessDialog:
      m_highlightedId = id;
      HideCaret(0);
      ActivateWindow(id);
      break;
    case kLayerChildWindow:
      ActivateWindow(id);
      break;
    case kLayerFrame:
      m_frame = handle;
      RecordScreenMetrics(handle);
      m_cursors[0] = CursorEntry{m_system.LoadCursor(kCursorArrow), kCursorArrow};
      break;
    default:
      break;
  }
  return id;
}

void GuiWindowLayer::RecordScreenMetrics(NativeWindow frame) {
  m_screen = m_system.MeasureScreen(frame);
  const LayerScreenMetrics& m = m_screen;
  m_usableWidth = m.clientWidth - m.verticalScrollWidth - m.frameBorderWidth + m.borderWidth - m.frameBorderWidth;
  m_usableHeight = m.clientHeight - m.horizontalScrollHeight - m.frameBorderHeight + m.borderHeight -
                   (m.captionHeight + m.frameBorderHeight - m.borderHeight);
}

// 1. Closing a modal dialog gives back what it took: with another modal dialog still
//    open only the closing one's parent (or that other dialog) and the other dialog's
//    modeless dialogs come back; with none, everything does.
// 2. Only the closing dialog leaves the modal stack, wherever it sits in it: a dialog
//    whose push was skipped (full stack) takes no other dialog's entry with it.
void GuiWindowLayer::Destroy(int32_t id) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return;
  const uint32_t type = window->type;
  const NativeWindow handle = window->handle;
  bool lastModal = false;
  if (type == kLayerModalDialog) {
    const int32_t other = FindOtherModalDialog(id);
    if (other != kNoLayerId) {
      const NativeWindow otherHandle = m_table[other].handle;
      if (m_system.IsWindow(handle)) {
        const NativeWindow parent = m_system.GetParent(handle);
        if (parent != 0) m_system.EnableWindow(parent, true);
      } else {
        m_system.EnableWindow(otherHandle, true);
      }
      for (int32_t slot = 0; slot < kLayerSlotCount; ++slot) {
        if (IsOfType(slot, kLayerModelessDialog) && m_system.GetParent(m_table[slot].handle) == otherHandle) {
          m_system.EnableWindow(m_table[slot].handle, true);
        }
      }
    } else {
      lastModal = true;
      for (int32_t slot = 0; slot < kLayerSlotCount; ++slot) {
        if (slot != id && Live(slot) != nullptr && IsWindowOrDialog(m_table[slot].type)) {
          m_system.EnableWindow(m_table[slot].handle, true);
        }
      }
    }
    for (int32_t at = m_modalTop; at >= 0; --at) {
      if (m_modalStack[at] != id) continue;
      for (int32_t move = at; move < m_modalTop; ++move) m_modalStack[move] = m_modalStack[move + 1];
      --m_modalTop;
      break;
    }
  }
  window->handle = 0;
  if (type == kLayerModalDialog || type == kLayerModelessDialog || type == kLayerChildWindow) {
    m_highlightedId = kNoLayerId;
  }
  if (lastModal) ReactivateAfterClose(kNoLayerId);
}

NativeWindow GuiWindowLayer::Handle(int32_t id) {
  if (id < 0 || id >= kLayerSlotCount) return kBadNativeWindow;
  return m_table[id].handle;
}

LayerWindow* GuiWindowLayer::Record(int32_t id) { return Live(id); }

int32_t GuiWindowLayer::IdOf(NativeWindow handle) {
  if (handle == 0) return kNoLayerId;
  for (int32_t slot = 0; slot < kLayerSlotCount; ++slot) {
    if (m_table[slot].handle == handle) return slot;
  }
  return kNoLayerId;
}

int32_t GuiWindowLayer::IsRegistered(NativeWindow handle) { return IdOf(handle) != kNoLayerId ? 1 : 0; }

int32_t GuiWindowLayer::GetWindowType(int32_t id) {
  const LayerWindow* window = Live(id);
  return window != nullptr ? static_cast<int32_t>(window->type) : -1;
}

int32_t GuiWindowLayer::IsModalDialog(int32_t id) { return IsOfType(id, kLayerModalDialog) ? 1 : 0; }

uintptr_t GuiWindowLayer::GetUserData(int32_t id) {
  const LayerWindow* window = Live(id);
  return window != nullptr ? window->userWord : 0;
}

void GuiWindowLayer::SetUserData(int32_t id, uintptr_t word) {
  if (LayerWindow* window = Live(id)) window->userWord = word;
}

uintptr_t GuiWindowLayer::PeekUserData(int32_t id) {
  // Read without asking whether the slot is in use; the range still holds.
  return id >= 0 && id < kLayerSlotCount ? m_table[id].userWord : 0;
}

int32_t GuiWindowLayer::GetParentWindow(int32_t id) {
  const LayerWindow* window = Live(id);
  return window != nullptr ? IdOf(m_system.GetParent(window->handle)) : kNoLayerId;
}

int32_t GuiWindowLayer::FindOtherModalDialog(int32_t id) {
  for (int32_t slot = 0; slot < kLayerSlotCount; ++slot) {
    if (slot != id && IsOfType(slot, kLayerModalDialog)) return slot;
  }
  return kNoLayerId;
}

int32_t GuiWindowLayer::FindChildWindowFrom(int32_t id, NativeWindow* handle) {
  if (id < 0 || id >= kLayerSlotCount) return kNoLayerId;
  for (int32_t slot = id; slot < kLayerSlotCount; ++slot) {
    if (IsOfType(slot, kLayerChildWindow)) {
      if (handle != nullptr) *handle = m_table[slot].handle;
      return slot;
    }
  }
  return kNoLayerId;
}

// 1. The child window that was active loses its active caption, unless a modal
//    dialog (other than the one activated) keeps everything else inactive anyway.
// 2. A registered window comes to the top. Children, the frame and modeless dialogs
//    become the active window and take the keyboard focus (a minimised one is left
//    without it); modal dialogs and controls are only brought to the top.
// 3. The id is the highlighted one: -1 (the application lost the activation) leaves
//    none, so that the active window's caption is drawn active again when it is
//    activated next.
// The General window, the frame's status strip, is never activated: it takes no keys,
// so keys typed while it held the focus would be lost. It is registered as a child
// window, a click on it would activate it, and a caption message posted to it before
// another window was activated would make it the active window again later.
void GuiWindowLayer::ActivateWindow(int32_t id) {
  if (IsGeneralWindow(id)) return;
  if (IsOfType(m_activeId, kLayerChildWindow) && m_activeId != id && FindOtherModalDialog(id) == kNoLayerId) {
    PostCaptionInactive(m_activeId);
    m_highlightedId = kNoLayerId;
  }
  LayerWindow* window = Live(id);
  if (window == nullptr) {
    m_highlightedId = id;
    return;
  }
  m_system.BringWindowToTop(window->handle);
  const uint32_t type = window->type;
  if ((type == kLayerChildWindow || type == kLayerFrame) && id != m_highlightedId) PostCaptionActive(id);
  if (type == kLayerChildWindow || type == kLayerFrame || type == kLayerModelessDialog) {
    m_activeId = id;
    if (!m_system.IsIconic(window->handle)) m_system.SetFocus(window->handle);
  }
  m_highlightedId = id;
}

int32_t GuiWindowLayer::GetFocusWindow() {
  if (m_modalTop >= 0 && FindOtherModalDialog(kNoLayerId) != kNoLayerId) return m_modalStack[m_modalTop];
  const NativeWindow focus = m_system.GetFocus();
  const int32_t id = IdOf(focus);
  if (id != kNoLayerId) return id;
  return focus != 0 ? IdOf(m_system.GetParent(focus)) : kNoLayerId;
}

void GuiWindowLayer::CloseWindow(int32_t id) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return;
  if (window->type == kLayerModalDialog) {
    m_system.EndDialog(window->handle, 0);
    return;
  }
  if (id == m_activeId && window->type == kLayerChildWindow) {
    m_previousActiveId = id;
    m_activeId = kNoLayerId;
  }
  m_system.DestroyWindow(window->handle);
}

void GuiWindowLayer::ReactivateAfterClose(int32_t closingId) {
  if (FindOtherModalDialog(kNoLayerId) != kNoLayerId) {
    ActivateWindow(GetFocusWindow());
  } else if (closingId != m_activeId && Live(m_activeId) != nullptr) {
    ActivateWindow(m_activeId);
  } else {
    ActivateAnotherChild();
  }
}

void GuiWindowLayer::ActivateAnotherChild() {
  const int32_t start = m_activeId != kNoLayerId ? m_activeId : m_previousActiveId;
  int32_t fallback = kNoLayerId;
  for (int32_t step = 1; step < kLayerSlotCount; ++step) {
    const int32_t slot = ((start + step) % kLayerSlotCount + kLayerSlotCount) % kLayerSlotCount;
    if (!IsOfType(slot, kLayerChildWindow) || IsGeneralWindow(slot)) continue;
    const int32_t state = GetWindowState(slot);
    if (state == kWindowStateNormal || state == kWindowStateMaximized) {
      ActivateWindow(slot);
      return;
    }
    if (state == kWindowStateMinimized) fallback = slot;
  }
  if (fallback != kNoLayerId) ActivateWindow(fallback);
}

void GuiWindowLayer::ActivateNextChild() {
  if (m_activeId == kNoLayerId) return;
  for (int32_t step = 1; step < kLayerSlotCount; ++step) {
    const int32_t slot = (m_activeId + step) % kLayerSlotCount;
    if (IsOfType(slot, kLayerChildWindow) && !IsGeneralWindow(slot)) {
      ActivateWindow(slot);
      return;
    }
  }
}

void GuiWindowLayer::PostCaptionActive(int32_t id) {
  if (LayerWindow* window = Live(id)) m_system.PostCaptionActive(window->handle, true);
}

void GuiWindowLayer::PostCaptionInactive(int32_t id) {
  if (LayerWindow* window = Live(id)) m_system.PostCaptionActive(window->handle, false);
}

void GuiWindowLayer::SetScrollRange(int32_t id, uint32_t bar, int32_t minimum, int32_t maximum) {
  if (LayerWindow* window = Live(id)) m_system.SetScrollRange(window->handle, bar, minimum, maximum);
}

void GuiWindowLayer::SetScrollPos(int32_t id, uint32_t bar, int32_t position) {
  if (LayerWindow* window = Live(id)) m_system.SetScrollPos(window->handle, bar, position);
}

int32_t GuiWindowLayer::GetScrollInfo(int32_t id, uint32_t bar, LayerScrollInfo* info) {
  LayerWindow* window = Live(id);
  if (window == nullptr || info == nullptr) return 0;
  *info = m_system.GetScrollInfo(window->handle, bar);
  return 1;
}

void GuiWindowLayer::ScrollRect(int32_t id, const LayerRect& area, int32_t dx, int32_t dy) {
  LayerWindow* window = Live(id);
  if (window == nullptr || m_system.IsIconic(window->handle)) return;
  const LayerRect client = m_system.GetClientRect(window->handle);
  LayerRect clipped;
  clipped.top = area.top > client.top ? area.top : client.top;
  clipped.left = area.left > client.left ? area.left : client.left;
  clipped.bottom = area.bottom < client.bottom ? area.bottom : client.bottom;
  clipped.right = area.right < client.right ? area.right : client.right;
  m_system.UpdateWindow(window->handle);
  if (clipped.top < clipped.bottom && clipped.left < clipped.right) {
    m_system.ScrollWindow(window->handle, dx, dy, clipped);
  }
  m_system.UpdateWindow(window->handle);
}

void GuiWindowLayer::Invalidate(int32_t id, const LayerRect* area) {
  if (LayerWindow* window = Live(id)) m_system.Invalidate(window->handle, area, false);
}

void GuiWindowLayer::InvalidateChildWindows() {
  for (int32_t slot = 0; slot < kLayerSlotCount; ++slot) {
    if (IsOfType(slot, kLayerChildWindow)) m_system.Invalidate(m_table[slot].handle, nullptr, false);
  }
}

void GuiWindowLayer::UpdateWindow(int32_t id) {
  if (LayerWindow* window = Live(id)) m_system.UpdateWindow(window->handle);
}

LayerRect* GuiWindowLayer::GetClientArea(int32_t id, LayerRect* area) {
  LayerWindow* window = Live(id);
  if (window == nullptr || area == nullptr) return nullptr;
  *area = m_system.IsIconic(window->handle) ? LayerRect{} : m_system.GetClientRect(window->handle);
  return area;
}

// A child window's top and left count from its parent's outer corner; a child window
// without a parent has none, so its bounds stay on the screen.
int32_t GuiWindowLayer::GetWindowBounds(int32_t id, LayerRect* bounds) {
  LayerWindow* window = Live(id);
  if (window == nullptr || bounds == nullptr) return 0;
  const LayerRect outer = m_system.GetWindowRect(window->handle);
  bounds->top = outer.top;
  bounds->left = outer.left;
  bounds->bottom = outer.bottom - outer.top;
  bounds->right = outer.right - outer.left;
  if (window->type == kLayerChildWindow) {
    const NativeWindow parent = m_system.GetParent(window->handle);
    if (parent != 0) {
      const LayerRect parentOuter = m_system.GetWindowRect(parent);
      bounds->top -= parentOuter.top;
      bounds->left -= parentOuter.left;
    }
  }
  return 1;
}

void GuiWindowLayer::SetWindowBounds(int32_t id, const LayerRect& bounds) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return;
  if (window->type == kLayerChildWindow && m_system.GetParent(window->handle) != 0) {
    m_system.PlaceChild(window->handle, bounds.left, bounds.top, bounds.right, bounds.bottom);
  } else {
    m_system.MoveWindow(window->handle, bounds.left, bounds.top, bounds.right, bounds.bottom);
  }
}

int32_t GuiWindowLayer::GetSavedBounds(int32_t id, LayerRect* bounds) {
  LayerWindow* window = Live(id);
  if (window == nullptr || bounds == nullptr) return 0;
  *bounds = window->savedBounds;
  return 1;
}

void GuiWindowLayer::SetSavedBounds(int32_t id, const LayerRect& bounds) {
  if (LayerWindow* window = Live(id)) window->savedBounds = bounds;
}

void GuiWindowLayer::SendToBottom(int32_t id) {
  if (LayerWindow* window = Live(id)) m_system.SendToBottom(window->handle);
}

void GuiWindowLayer::ShowWindowState(int32_t id, int32_t state) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return;
  if (state == kWindowStateMinimized) {
    m_system.ShowWindow(window->handle, LayerShowMode::MinimizedNoActivate);
    m_system.SendToBottom(window->handle);
  } else {
    m_system.ShowWindow(window->handle, state == kWindowStateMaximized ? LayerShowMode::Maximized
                                                                       : LayerShowMode::Normal);
  }
}

int32_t GuiWindowLayer::GetWindowState(int32_t id) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return -1;
  if (!m_system.IsVisible(window->handle)) return kWindowStateHidden;
  if (m_system.IsZoomed(window->handle)) return kWindowStateMaximized;
  if (m_system.IsIconic(window->handle)) return kWindowStateMinimized;
  return kWindowStateNormal;
}

int32_t GuiWindowLayer::IsMinimized(int32_t id) {
  LayerWindow* window = Live(id);
  return window != nullptr && m_system.IsIconic(window->handle) ? 1 : 0;
}

int32_t GuiWindowLayer::IsMaximized(int32_t id) {
  LayerWindow* window = Live(id);
  return window != nullptr && m_system.IsZoomed(window->handle) ? 1 : 0;
}

void GuiWindowLayer::ArrangeIcons(int32_t id) {
  if (LayerWindow* window = Live(id)) m_system.ArrangeIconicWindows(window->handle);
}

int32_t GuiWindowLayer::BeginPaint(int32_t id, LayerRect* area) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return 0;
  const LayerRect painted = m_system.BeginPaint(window->handle);
  if (area != nullptr) *area = painted;
  return 1;
}

void GuiWindowLayer::EndPaint(int32_t id) {
  if (LayerWindow* window = Live(id)) m_system.EndPaint(window->handle);
}

void GuiWindowLayer::SetClipRect(int32_t id, const LayerRect& area) {
  if (LayerWindow* window = Live(id)) m_system.SetClipRect(window->handle, area);
}

// Colour words may carry more than a colour (the colour settings keep a class byte in
// the top byte); the system would read that byte as a palette index, so it goes.
void GuiWindowLayer::SetBackgroundColor(int32_t id, uint32_t rgb) {
  if (LayerWindow* window = Live(id)) window->attributes.backgroundColor = SwapRedBlue(rgb & 0xFFFFFFu);
}

void GuiWindowLayer::SetTextColor(int32_t id, uint32_t rgb) {
  if (LayerWindow* window = Live(id)) window->attributes.textColor = SwapRedBlue(rgb & 0xFFFFFFu);
}

void GuiWindowLayer::SetFillStyle(int32_t id, const LayerFill& fill) {
  if (LayerWindow* window = Live(id)) {
    window->attributes.fill.style = fill.style;
    window->attributes.fill.color = SwapRedBlue(fill.color & 0xFFFFFFu);
  }
}

void GuiWindowLayer::SetLineStyle(int32_t id, const LayerLine& line) {
  if (LayerWindow* window = Live(id)) {
    window->attributes.pen.width = line.width;
    window->attributes.pen.style = line.style;
    window->attributes.pen.color = SwapRedBlue(line.color & 0xFFFFFFu);
  }
}

void GuiWindowLayer::SetDrawMode(int32_t id, uint32_t mode) {
  // The mode indexes a table of eight raster operations.
  if (mode > 7) return;
  if (LayerWindow* window = Live(id)) window->attributes.drawMode = mode;
}

void GuiWindowLayer::SaveAttributes(int32_t id, LayerAttributes* block) {
  LayerWindow* window = Live(id);
  if (window != nullptr && block != nullptr) *block = window->attributes;
}

void GuiWindowLayer::RestoreAttributes(int32_t id, const LayerAttributes& block) {
  if (LayerWindow* window = Live(id)) {
    window->attributes = block;
    if (window->attributes.drawMode > 7) window->attributes.drawMode = 0;
  }
}

void GuiWindowLayer::DrawTextAt(int32_t id, int32_t x, int32_t y, const char* text, int32_t length) {
  LayerWindow* window = Live(id);
  if (window == nullptr || text == nullptr || m_system.IsIconic(window->handle)) return;
  m_system.DrawTextLine(window->handle, window->attributes, FontOf(*window), x, y, text, TextLength(text, length));
}

// Without an outline the fill reaches the bottom row and the right column, which
// FillRect alone would leave out: the panes' rectangles name their last pixel.
void GuiWindowLayer::DrawRectangle(int32_t id, const LayerRect& area) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return;
  const LayerAttributes& attributes = window->attributes;
  if (attributes.fill.style == kFillFocusRect) {
    m_system.DrawFocusRect(window->handle, area);
  } else if (attributes.pen.style != 0 && attributes.pen.width > 0) {
    m_system.OutlineRect(window->handle, attributes, area);
  } else {
    LayerRect inclusive = area;
    inclusive.bottom += 1;
    inclusive.right += 1;
    m_system.FillRect(window->handle, attributes, inclusive);
  }
}

void GuiWindowLayer::ClearWindow(int32_t id) {
  LayerRect client;
  if (GetClientArea(id, &client) != nullptr) DrawRectangle(id, client);
}

void GuiWindowLayer::DrawPolyline(int32_t id, const LayerPoint* points, int32_t count) {
  LayerWindow* window = Live(id);
  if (window == nullptr || points == nullptr || count <= 0) return;
  m_system.DrawPolyline(window->handle, window->attributes, points, static_cast<size_t>(count));
}

int32_t GuiWindowLayer::GetFontMetrics(int32_t id, int32_t* externalLeading, int32_t* ascent, int32_t* descent) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return 0;
  const LayerFontMetrics metrics = m_system.GetFontMetrics(window->handle, FontOf(*window));
  if (externalLeading != nullptr) *externalLeading = metrics.externalLeading;
  if (ascent != nullptr) *ascent = metrics.ascent;
  if (descent != nullptr) *descent = metrics.descent;
  return 1;
}

int32_t GuiWindowLayer::GetTextWidth(int32_t id, const char* text, int32_t length) {
  LayerWindow* window = Live(id);
  if (window == nullptr || text == nullptr) return -1;
  return m_system.GetTextWidth(window->handle, FontOf(*window), text, TextLength(text, length));
}

int32_t GuiWindowLayer::GetMousePosition(int32_t id, LayerPoint* point) {
  LayerWindow* window = Live(id);
  if (window == nullptr || point == nullptr) return 0;
  *point = m_system.ScreenToClient(window->handle, m_system.GetCursorPos());
  return 1;
}

void GuiWindowLayer::ClientToScreenPoints(int32_t id, LayerPoint* points, int32_t count) {
  LayerWindow* window = Live(id);
  if (window == nullptr || points == nullptr) return;
  for (int32_t i = 0; i < count; ++i) points[i] = m_system.ClientToScreen(window->handle, points[i]);
}

void GuiWindowLayer::CaptureMouse(int32_t id) {
  if (LayerWindow* window = Live(id)) m_system.SetCapture(window->handle);
}

void GuiWindowLayer::ReleaseMouse(int32_t id) {
  if (Live(id) != nullptr) m_system.ReleaseCapture();
}

// The caret is as wide as a "W" (a quarter of that unless wide) and as high as the
// font; y names the line's bottom.
void GuiWindowLayer::ShowCaret(int32_t id, int32_t x, int32_t y, int32_t wide) {
  LayerWindow* window = Live(id);
  if (window == nullptr || m_system.IsIconic(window->handle)) return;
  int32_t width = GetTextWidth(id, "W", 1);
  if (wide != 1) width /= 4;
  int32_t ascent = 0;
  int32_t descent = 0;
  GetFontMetrics(id, nullptr, &ascent, &descent);
  const int32_t height = ascent + descent;
  if (m_caretShown) m_system.DestroyCaret();
  m_system.CreateCaret(window->handle, width, height, x, y - height);
  m_caretShown = true;
}

void GuiWindowLayer::HideCaret(int32_t) {
  if (m_caretShown) m_system.DestroyCaret();
  m_caretShown = false;
}

void GuiWindowLayer::PushCursor(uint32_t kind, int32_t pump) {
  if (kind > kCursorHelp) return;
  const NativeCursor cursor = m_system.LoadCursor(kind);
  if (m_cursorTop < kCursorStackSize - 1) m_cursors[++m_cursorTop] = CursorEntry{cursor, kind};
  if (IsMouseOverLayerWindow() != 0 || FindOtherModalDialog(kNoLayerId) != kNoLayerId) {
    m_system.SetCursor(cursor);
    if (pump != 0) m_system.PumpCursorMessages();
  }
}

void GuiWindowLayer::PopCursor() {
  if (m_cursorTop == 0) return;
  --m_cursorTop;
  if (IsMouseOverLayerWindow() != 0) m_system.SetCursor(m_cursors[m_cursorTop].cursor);
}

void GuiWindowLayer::RefreshCursor() {
  m_system.SetCursor(m_cursors[m_cursorTop].cursor);
  m_system.PumpCursorMessages();
}

void GuiWindowLayer::ResetCursors() {
  m_cursorTop = 0;
  m_cursors[0] = CursorEntry{m_system.LoadCursor(kCursorArrow), kCursorArrow};
  m_system.SetCursor(m_cursors[0].cursor);
}

int32_t GuiWindowLayer::IsMouseOverLayerWindow() {
  const LayerPoint mouse = m_system.GetCursorPos();
  const NativeWindow under = m_system.WindowFromPoint(mouse);
  for (int32_t slot = 0; slot < kLayerSlotCount; ++slot) {
    const LayerWindow* window = Live(slot);
    if (window == nullptr) continue;
    if (window->type == kLayerModalDialog || window->type == kLayerModelessDialog) {
      if (PointInRect(m_system.GetWindowRect(window->handle), mouse.y, mouse.x) != 0) return 1;
    } else if (window->handle == under) {
      return 1;
    }
  }
  return 0;
}

// Rounded up only past three quarters (x) or past half (y) of a unit's remainder,
// the dialog manager's own rounding of template sizes.
int32_t GuiWindowLayer::DialogUnitsToPixelsX(int32_t value) {
  const uint32_t base = m_system.GetDialogBaseUnits() & 0xFFFFu;
  const double pixels = static_cast<double>(base) * value / 4.0;
  return static_cast<int32_t>(std::fmod(value, 4.0) > 2.0 ? std::ceil(pixels) : std::floor(pixels));
}

int32_t GuiWindowLayer::DialogUnitsToPixelsY(int32_t value) {
  const uint32_t base = m_system.GetDialogBaseUnits() >> 16;
  const double pixels = static_cast<double>(base) * value / 8.0;
  return static_cast<int32_t>(std::fmod(value, 8.0) > 4.0 ? std::ceil(pixels) : std::floor(pixels));
}

int32_t GuiWindowLayer::PixelsToDialogUnitsX(int32_t value) {
  const int32_t base = static_cast<int32_t>(m_system.GetDialogBaseUnits() & 0xFFFFu);
  return base != 0 ? value / base / 4 : 0;
}

int32_t GuiWindowLayer::PixelsToDialogUnitsY(int32_t value) {
  const int32_t base = static_cast<int32_t>(m_system.GetDialogBaseUnits() >> 16);
  return base != 0 ? value / base / 8 : 0;
}

int32_t GuiWindowLayer::SetTimer(uint32_t interval, LayerTimerCallback callback) {
  if (m_timerCount >= kTimerTableSize || m_frame == 0 || callback == nullptr) return -1;
  uint32_t id = 1;
  for (bool taken = true; taken; ++id) {
    taken = false;
    for (int32_t i = 0; i < m_timerCount; ++i) taken = taken || m_timers[i].id == id;
    if (!taken) break;
  }
  if (m_system.SetTimer(m_frame, id, interval) < 1) return -1;
  m_timers[m_timerCount++] = LayerTimer{id, interval, 1, callback};
  return static_cast<int32_t>(id);
}

void GuiWindowLayer::KillTimer(uint32_t id) {
  for (int32_t i = 0; i < m_timerCount; ++i) {
    if (m_timers[i].id != id) continue;
    m_system.KillTimer(m_frame, id);
    for (int32_t move = i; move + 1 < m_timerCount; ++move) m_timers[move] = m_timers[move + 1];
    --m_timerCount;
    return;
  }
}

// A callback may stop or start timers, so each round works from the ids the table
// held when it began and looks every entry up again after its callback.
void GuiWindowLayer::RunTimers() {
  const std::vector<uint32_t> ids = TimerIds();
  for (uint32_t id : ids) {
    auto find = [&]() -> LayerTimer* {
      for (int32_t i = 0; i < m_timerCount; ++i) {
        if (m_timers[i].id == id) return &m_timers[i];
      }
      return nullptr;
    };
    LayerTimer* timer = find();
    if (timer == nullptr) continue;
    timer->callback(id, GetCurrentViewpointValue());
    timer = find();
    if (timer == nullptr || timer->active != 0) continue;
    if (m_system.SetTimer(m_frame, id, timer->interval) >= 1) timer->active = 1;
  }
}

void GuiWindowLayer::SuspendTimers() {
  for (int32_t i = 0; i < m_timerCount; ++i) {
    m_timers[i].active = 0;
    m_system.KillTimer(m_frame, m_timers[i].id);
  }
}

void GuiWindowLayer::KillAllTimers() {
  for (int32_t i = 0; i < m_timerCount; ++i) m_system.KillTimer(m_frame, m_timers[i].id);
}

std::vector<uint32_t> GuiWindowLayer::TimerIds() const {
  std::vector<uint32_t> ids;
  for (int32_t i = 0; i < m_timerCount; ++i) ids.push_back(m_timers[i].id);
  return ids;
}

void GuiWindowLayer::ShutDown() {
  for (int32_t slot = 0; slot < kLayerSlotCount; ++slot) {
    if (IsOfType(slot, kLayerChildWindow)) m_system.SendClose(m_table[slot].handle);
  }
  KillAllTimers();
  FreeMenuHandlers();
  if (m_frame != 0) m_system.DestroyWindow(m_frame);
  m_system.PostQuit();
}

}  // namespace zentor
