#include "harness/recording_layer_system.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace zentor::testing_support {
namespace {

// The log's numbers are written by hand: the panes' benchmarks measure a full paint
// through this layer, and formatting is most of what a drawing call costs here.
void AppendNumber(std::string& out, int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

void AppendRect(std::string& out, const LayerRect& r) {
  out += '(';
  AppendNumber(out, r.top);
  out += ',';
  AppendNumber(out, r.left);
  out += ',';
  AppendNumber(out, r.bottom);
  out += ',';
  AppendNumber(out, r.right);
  out += ')';
}

std::string Rect(const LayerRect& r) {
  std::string text;
  AppendRect(text, r);
  return text;
}

// At least six upper-case hex digits, as "%06X" writes them.
void AppendHex(std::string& out, uint32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char text[8];
  int first = 8;
  do {
    text[--first] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  while (first > 2) text[--first] = '0';
  out.append(text + first, text + 8);
}

std::string Hex(uint32_t value) {
  std::string text;
  AppendHex(text, value);
  return text;
}

void AppendAttributes(std::string& out, const LayerAttributes& a) {
  out += "fill ";
  AppendNumber(out, a.fill.style);
  out += ' ';
  AppendHex(out, a.fill.color);
  out += " pen ";
  AppendNumber(out, a.pen.width);
  out += '/';
  AppendNumber(out, a.pen.style);
  out += ' ';
  AppendHex(out, a.pen.color);
  out += " text ";
  AppendHex(out, a.textColor);
  out += " back ";
  AppendHex(out, a.backgroundColor);
  out += " mode ";
  AppendNumber(out, a.drawMode);
}

std::string Attributes(const LayerAttributes& a) {
  std::string text;
  AppendAttributes(text, a);
  return text;
}

const char* MessageName(ControlMessage message) {
  static const char* const kNames[] = {
      "EditLimitText", "EditSetSelection", "ButtonSetCheck", "ButtonSetStyle", "DialogSetDefaultId", "SetRedraw",
      "ListInsertString", "ListDeleteString", "ListResetContent", "ListGetCount", "ListGetCurrentSelection",
      "ListGetTextLength", "ListGetText", "ListSetItemData", "ListGetItemData", "ListSetCurrentSelection",
      "ListSetSelection", "ListGetSelectionCount", "ListGetSelectedItems", "ListSetHorizontalExtent",
      "ComboAddString", "ComboDeleteString", "ComboResetContent", "ComboGetCount", "ComboGetCurrentSelection",
      "ComboGetTextLength", "ComboGetText", "ComboSetCurrentSelection", "ComboSetEditSelection",
      "ListSetTabStops", "ListAddString",
  };
  return kNames[static_cast<size_t>(message)];
}

bool IsQuery(ControlMessage message) {
  switch (message) {
    case ControlMessage::ListGetCount:
    case ControlMessage::ListGetCurrentSelection:
    case ControlMessage::ListGetTextLength:
    case ControlMessage::ListGetText:
    case ControlMessage::ListGetItemData:
    case ControlMessage::ListGetSelectionCount:
    case ControlMessage::ListGetSelectedItems:
    case ControlMessage::ComboGetCount:
    case ControlMessage::ComboGetCurrentSelection:
    case ControlMessage::ComboGetTextLength:
    case ControlMessage::ComboGetText:
      return true;
    default:
      return false;
  }
}

}  // namespace

NativeWindow RecordingLayerSystem::AddWindow(const std::string& label, NativeWindow parent, LayerRect outer) {
  const NativeWindow window = m_nextWindow++;
  Window& w = m_windows[window];
  w.label = label;
  w.parent = parent;
  w.outer = outer;
  w.client = LayerRect{0, 0, outer.bottom - outer.top, outer.right - outer.left};
  return window;
}

NativeWindow RecordingLayerSystem::AddItem(NativeWindow dialog, int32_t controlId, const std::string& label,
                                           uint32_t type) {
  const NativeWindow item = AddWindow(label, dialog, LayerRect{0, 0, 50, 80});
  m_windows[item].controlId = controlId;
  m_windows[item].controlType = type;
  return item;
}

NativeMenu RecordingLayerSystem::AddMenuBar(NativeWindow window, const std::vector<std::string>& popupTitles) {
  const NativeMenu bar = m_nextMenu++;
  m_menuLabels[bar] = "bar";
  for (const std::string& title : popupTitles) {
    const NativeMenu popup = m_nextMenu++;
    m_menuLabels[popup] = title;
    m_menus[popup];
    m_menus[bar].push_back(MenuItem{0, title, false, true, false, popup});
  }
  m_bars[window] = bar;
  return bar;
}

void RecordingLayerSystem::AppendLabel(NativeWindow window) {
  auto found = m_windows.find(window);
  if (found != m_windows.end()) {
    m_log += found->second.label;
  } else {
    m_log += "?" + std::to_string(window);
  }
}

std::string RecordingLayerSystem::LabelOf(NativeWindow window) const {
  auto found = m_windows.find(window);
  return found != m_windows.end() ? found->second.label : "?" + std::to_string(window);
}

std::string RecordingLayerSystem::MenuLabel(NativeMenu menu) const {
  auto found = m_menuLabels.find(menu);
  return found != m_menuLabels.end() ? found->second : "menu?" + std::to_string(menu);
}

// The log keeps its room for the next lines.
std::string RecordingLayerSystem::TakeLog() {
  std::string log = m_log;
  m_log.clear();
  return log;
}

bool RecordingLayerSystem::IsWindow(NativeWindow window) {
  auto found = m_windows.find(window);
  return found != m_windows.end() && !found->second.destroyed;
}

NativeWindow RecordingLayerSystem::GetParent(NativeWindow window) {
  auto found = m_windows.find(window);
  return found != m_windows.end() ? found->second.parent : 0;
}

void RecordingLayerSystem::EnableWindow(NativeWindow window, bool enable) {
  if (m_windows.count(window) != 0) m_windows[window].enabled = enable;
  Log("EnableWindow " + LabelOf(window) + " " + (enable ? "1" : "0"));
}

void RecordingLayerSystem::BringWindowToTop(NativeWindow window) { Log("BringWindowToTop " + LabelOf(window)); }

void RecordingLayerSystem::PostCaptionActive(NativeWindow window, bool active) {
  Log(std::string("Caption ") + LabelOf(window) + (active ? " active" : " inactive"));
}

void RecordingLayerSystem::SetFocus(NativeWindow window) {
  focus = window;
  Log("SetFocus " + LabelOf(window));
}

bool RecordingLayerSystem::IsIconic(NativeWindow window) { return IsWindow(window) && m_windows[window].iconic; }
bool RecordingLayerSystem::IsZoomed(NativeWindow window) { return IsWindow(window) && m_windows[window].zoomed; }
bool RecordingLayerSystem::IsVisible(NativeWindow window) { return IsWindow(window) && m_windows[window].visible; }

void RecordingLayerSystem::EndDialog(NativeWindow window, int32_t result) {
  Log("EndDialog " + LabelOf(window) + " " + std::to_string(result));
}

void RecordingLayerSystem::DestroyWindow(NativeWindow window) {
  if (m_windows.count(window) != 0) m_windows[window].destroyed = true;
  Log("DestroyWindow " + LabelOf(window));
}

void RecordingLayerSystem::SendClose(NativeWindow window) { Log("WM_CLOSE " + LabelOf(window)); }
void RecordingLayerSystem::PostQuit() { Log("PostQuitMessage"); }
void RecordingLayerSystem::RunRepaintRound() { Log("RepaintRound"); }

void RecordingLayerSystem::SetScrollRange(NativeWindow window, uint32_t bar, int32_t minimum, int32_t maximum) {
  if (IsWindow(window) && bar < 2) {
    m_windows[window].scroll[bar].minimum = minimum;
    m_windows[window].scroll[bar].maximum = maximum;
  }
  Log("SetScrollRange " + LabelOf(window) + " " + std::to_string(bar) + " " + std::to_string(minimum) + ".." +
      std::to_string(maximum));
}

void RecordingLayerSystem::SetScrollPos(NativeWindow window, uint32_t bar, int32_t position) {
  if (IsWindow(window) && bar < 2) m_windows[window].scroll[bar].position = position;
  Log("SetScrollPos " + LabelOf(window) + " " + std::to_string(bar) + " " + std::to_string(position));
}

LayerScrollInfo RecordingLayerSystem::GetScrollInfo(NativeWindow window, uint32_t bar) {
  return IsWindow(window) && bar < 2 ? m_windows[window].scroll[bar] : LayerScrollInfo{};
}

LayerRect RecordingLayerSystem::GetClientRect(NativeWindow window) {
  return IsWindow(window) ? m_windows[window].client : LayerRect{};
}

LayerRect RecordingLayerSystem::GetWindowRect(NativeWindow window) {
  return IsWindow(window) ? m_windows[window].outer : LayerRect{};
}

void RecordingLayerSystem::UpdateWindow(NativeWindow window) { Log("UpdateWindow " + LabelOf(window)); }

void RecordingLayerSystem::ScrollWindow(NativeWindow window, int32_t dx, int32_t dy, const LayerRect& area) {
  Log("ScrollWindow " + LabelOf(window) + " " + std::to_string(dx) + "," + std::to_string(dy) + " " + Rect(area));
}

void RecordingLayerSystem::Invalidate(NativeWindow window, const LayerRect* area, bool erase) {
  Log("Invalidate " + LabelOf(window) + " " + (area != nullptr ? Rect(*area) : "all") + (erase ? " erase" : ""));
}

void RecordingLayerSystem::PlaceChild(NativeWindow window, int32_t x, int32_t y, int32_t width, int32_t height) {
  Log("PlaceChild " + LabelOf(window) + " " + std::to_string(x) + "," + std::to_string(y) + " " +
      std::to_string(width) + "x" + std::to_string(height));
}

void RecordingLayerSystem::MoveWindow(NativeWindow window, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (IsWindow(window)) {
    Window& w = m_windows[window];
    w.outer = LayerRect{y, x, y + height, x + width};
  }
  Log("MoveWindow " + LabelOf(window) + " " + std::to_string(x) + "," + std::to_string(y) + " " +
      std::to_string(width) + "x" + std::to_string(height));
}

void RecordingLayerSystem::SendToBottom(NativeWindow window) { Log("SendToBottom " + LabelOf(window)); }

void RecordingLayerSystem::ShowWindow(NativeWindow window, LayerShowMode mode) {
  static const char* const kModes[] = {"minimized", "maximized", "normal"};
  if (IsWindow(window)) {
    Window& w = m_windows[window];
    w.visible = true;
    w.iconic = mode == LayerShowMode::MinimizedNoActivate;
    w.zoomed = mode == LayerShowMode::Maximized;
  }
  Log("ShowWindow " + LabelOf(window) + " " + kModes[static_cast<size_t>(mode)]);
}

void RecordingLayerSystem::ArrangeIconicWindows(NativeWindow window) { Log("ArrangeIconicWindows " + LabelOf(window)); }

LayerPoint RecordingLayerSystem::ClientToScreen(NativeWindow window, LayerPoint point) {
  const LayerRect outer = GetWindowRect(window);
  return LayerPoint{point.y + outer.top, point.x + outer.left};
}

LayerPoint RecordingLayerSystem::ScreenToClient(NativeWindow window, LayerPoint point) {
  const LayerRect outer = GetWindowRect(window);
  return LayerPoint{point.y - outer.top, point.x - outer.left};
}

// The last window made whose rectangle holds the point: later windows lie on top.
NativeWindow RecordingLayerSystem::WindowFromPoint(LayerPoint point) {
  NativeWindow found = 0;
  for (const auto& [window, w] : m_windows) {
    if (!w.destroyed && w.outer.top <= point.y && point.y < w.outer.bottom && w.outer.left <= point.x &&
        point.x < w.outer.right) {
      found = window;
    }
  }
  return found;
}

void RecordingLayerSystem::SetCapture(NativeWindow window) { Log("SetCapture " + LabelOf(window)); }
void RecordingLayerSystem::ReleaseCapture() { Log("ReleaseCapture"); }

LayerRect RecordingLayerSystem::BeginPaint(NativeWindow window) {
  Log("BeginPaint " + LabelOf(window));
  return GetClientRect(window);
}

void RecordingLayerSystem::EndPaint(NativeWindow window) { Log("EndPaint " + LabelOf(window)); }

void RecordingLayerSystem::SetClipRect(NativeWindow window, const LayerRect& area) {
  Log("SetClipRect " + LabelOf(window) + " " + Rect(area));
}

void RecordingLayerSystem::DrawTextLine(NativeWindow window, const LayerAttributes& attributes, LayerFont font,
                                        int32_t x, int32_t yBottom, const char* text, size_t length) {
  m_log += "Text ";
  AppendLabel(window);
  m_log += font == LayerFont::Fixed ? " fixed " : " system ";
  AppendNumber(m_log, x);
  m_log += ',';
  AppendNumber(m_log, yBottom);
  m_log += " \"";
  m_log.append(text, length);
  m_log += "\" text ";
  AppendHex(m_log, attributes.textColor);
  m_log += " back ";
  AppendHex(m_log, attributes.backgroundColor);
  m_log += " mode ";
  AppendNumber(m_log, attributes.drawMode);
  m_log += '\n';
}

void RecordingLayerSystem::DrawFocusRect(NativeWindow window, const LayerRect& area) {
  Log("FocusRect " + LabelOf(window) + " " + Rect(area));
}

void RecordingLayerSystem::FillRect(NativeWindow window, const LayerAttributes& attributes, const LayerRect& area) {
  m_log += "FillRect ";
  AppendLabel(window);
  m_log += ' ';
  AppendRect(m_log, area);
  m_log += ' ';
  AppendAttributes(m_log, attributes);
  m_log += '\n';
}

void RecordingLayerSystem::OutlineRect(NativeWindow window, const LayerAttributes& attributes, const LayerRect& area) {
  Log("Rectangle " + LabelOf(window) + " " + Rect(area) + " " + Attributes(attributes));
}

void RecordingLayerSystem::DrawPolyline(NativeWindow window, const LayerAttributes& attributes,
                                        const LayerPoint* points, size_t count) {
  std::string line = "Polyline " + LabelOf(window);
  for (size_t i = 0; i < count; ++i) line += " " + std::to_string(points[i].x) + "," + std::to_string(points[i].y);
  Log(line + " pen " + std::to_string(attributes.pen.width) + " " + Hex(attributes.pen.color));
}

// The bitmap Courier of the child windows (8 x 13) and a proportional system font.
LayerFontMetrics RecordingLayerSystem::GetFontMetrics(NativeWindow window, LayerFont font) {
  return font == LayerFont::Fixed ? LayerFontMetrics{0, 11, 2} : LayerFontMetrics{0, 13, 3};
}

int32_t RecordingLayerSystem::GetTextWidth(NativeWindow window, LayerFont font, const char* text, size_t length) {
  if (font == LayerFont::Fixed) return static_cast<int32_t>(8 * length);
  int32_t width = 0;
  for (size_t i = 0; i < length; ++i) width += text[i] == 'W' ? 12 : text[i] == 'i' ? 3 : 7;
  return width;
}

void RecordingLayerSystem::CreateCaret(NativeWindow window, int32_t width, int32_t height, int32_t x, int32_t y) {
  Log("Caret " + LabelOf(window) + " " + std::to_string(width) + "x" + std::to_string(height) + " at " +
      std::to_string(x) + "," + std::to_string(y));
}

void RecordingLayerSystem::DestroyCaret() { Log("DestroyCaret"); }

void RecordingLayerSystem::SetCursor(NativeCursor cursor) { Log("SetCursor " + std::to_string(cursor - 0xC0)); }
void RecordingLayerSystem::PumpCursorMessages() { Log("PumpCursorMessages"); }

int32_t RecordingLayerSystem::SetTimer(NativeWindow frame, uint32_t id, uint32_t interval) {
  Log("SetTimer " + std::to_string(id) + " " + std::to_string(interval) + (refuseTimers ? " refused" : ""));
  if (refuseTimers) return 0;
  runningTimers.push_back(id);
  return static_cast<int32_t>(id);
}

void RecordingLayerSystem::KillTimer(NativeWindow frame, uint32_t id) {
  Log("KillTimer " + std::to_string(id));
  std::erase(runningTimers, id);
}

NativeWindow RecordingLayerSystem::GetDialogItem(NativeWindow dialog, int32_t item) {
  for (const auto& [window, w] : m_windows) {
    if (w.parent == dialog && w.controlId == item && !w.destroyed) return window;
  }
  return 0;
}

void RecordingLayerSystem::SetWindowText(NativeWindow window, const char* text) {
  if (IsWindow(window)) m_windows[window].text = text;
  Log("SetWindowText " + LabelOf(window) + " \"" + text + "\"");
}

void RecordingLayerSystem::GetWindowText(NativeWindow window, char* buffer, size_t size) {
  if (!IsWindow(window) || size == 0) return;
  const std::string& text = m_windows[window].text;
  const size_t length = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

// List and combo boxes keep their entries in the order they are inserted; a sorted
// list sorts what is added to it (not what is inserted at a place), as the real ones
// do.
intptr_t RecordingLayerSystem::SendControlMessage(NativeWindow window, ControlMessage message, uintptr_t wParam,
                                                  intptr_t lParam) {
  if (!IsWindow(window)) return -1;
  Window& w = m_windows[window];
  if (message == ControlMessage::ListSetTabStops) {
    std::string stops;
    for (uintptr_t i = 0; i < wParam; ++i) stops += " " + std::to_string(reinterpret_cast<const int32_t*>(lParam)[i]);
    Log(std::string(MessageName(message)) + " " + w.label + stops);
  } else if (!IsQuery(message)) {
    const bool textArgument = message == ControlMessage::ListInsertString || message == ControlMessage::ComboAddString ||
                              message == ControlMessage::ListAddString;
    Log(std::string(MessageName(message)) + " " + w.label + " " + std::to_string(static_cast<intptr_t>(wParam)) +
        " " + (textArgument ? "\"" + std::string(reinterpret_cast<const char*>(lParam)) + "\"" : std::to_string(lParam)));
  }
  const intptr_t count = static_cast<intptr_t>(w.entries.size());
  const intptr_t index = static_cast<intptr_t>(wParam);
  switch (message) {
    case ControlMessage::ButtonSetCheck: w.check = index; return 0;
    case ControlMessage::EditLimitText: w.textLimit = index; return 0;
    case ControlMessage::ListInsertString: {
      const intptr_t at = index < 0 || index > count ? count : index;
      w.entries.insert(w.entries.begin() + at, reinterpret_cast<const char*>(lParam));
      w.itemData.insert(w.itemData.begin() + at, 0);
      return at;
    }
    case ControlMessage::ListAddString: {
      // A sorted list compares without regard to case, as the real ones do.
      const std::string text = reinterpret_cast<const char*>(lParam);
      auto before = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
          return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
      };
      intptr_t at = count;
      if (w.sorted) {
        at = std::upper_bound(w.entries.begin(), w.entries.end(), text, before) - w.entries.begin();
      }
      w.entries.insert(w.entries.begin() + at, text);
      w.itemData.insert(w.itemData.begin() + at, 0);
      return at;
    }
    case ControlMessage::ComboAddString:
      w.entries.push_back(reinterpret_cast<const char*>(lParam));
      w.itemData.push_back(0);
      return count;
    case ControlMessage::ListDeleteString:
    case ControlMessage::ComboDeleteString:
      if (index < 0 || index >= count) return -1;
      w.entries.erase(w.entries.begin() + index);
      w.itemData.erase(w.itemData.begin() + index);
      if (w.selection >= count - 1) w.selection = -1;
      {
        std::vector<intptr_t> kept;
        for (intptr_t selected : w.selectedItems) {
          if (selected != index) kept.push_back(selected > index ? selected - 1 : selected);
        }
        w.selectedItems = kept;
      }
      return count - 1;
    case ControlMessage::ListResetContent:
    case ControlMessage::ComboResetContent:
      w.entries.clear();
      w.itemData.clear();
      w.selection = -1;
      w.selectedItems.clear();
      return 0;
    case ControlMessage::ListGetCount:
    case ControlMessage::ComboGetCount: return count;
    case ControlMessage::ListGetCurrentSelection:
    case ControlMessage::ComboGetCurrentSelection: return w.selection;
    case ControlMessage::ListGetTextLength:
    case ControlMessage::ComboGetTextLength:
      return index >= 0 && index < count ? static_cast<intptr_t>(w.entries[index].size()) : -1;
    case ControlMessage::ListGetText:
    case ControlMessage::ComboGetText:
      if (index < 0 || index >= count) return -1;
      std::memcpy(reinterpret_cast<char*>(lParam), w.entries[index].c_str(), w.entries[index].size() + 1);
      return static_cast<intptr_t>(w.entries[index].size());
    case ControlMessage::ListSetItemData:
      if (index < 0 || index >= count) return -1;
      w.itemData[index] = lParam;
      return 0;
    case ControlMessage::ListGetItemData: return index >= 0 && index < count ? w.itemData[index] : -1;
    case ControlMessage::ListSetCurrentSelection:
    case ControlMessage::ComboSetCurrentSelection:
      // Clearing answers the error value, as the real boxes do.
      if (index < 0 || index >= count) {
        w.selection = -1;
        return -1;
      }
      w.selection = index;
      return index;
    case ControlMessage::ListGetSelectionCount:
      return w.multipleSelection ? static_cast<intptr_t>(w.selectedItems.size()) : -1;
    case ControlMessage::ListGetSelectedItems: {
      if (!w.multipleSelection) return -1;
      const size_t n = std::min(w.selectedItems.size(), static_cast<size_t>(index));
      std::copy_n(w.selectedItems.begin(), n, reinterpret_cast<int32_t*>(lParam));
      return static_cast<intptr_t>(n);
    }
    case ControlMessage::ListSetSelection: {
      if (lParam < -1 || lParam >= count) return -1;
      w.selection = wParam != 0 ? lParam : -1;
      std::vector<intptr_t> all;
      if (lParam == -1) {
        for (intptr_t i = 0; i < count; ++i) all.push_back(i);
      } else {
        all.push_back(lParam);
      }
      for (intptr_t i : all) {
        auto at = std::lower_bound(w.selectedItems.begin(), w.selectedItems.end(), i);
        const bool present = at != w.selectedItems.end() && *at == i;
        if (wParam != 0 && !present) w.selectedItems.insert(at, i);
        if (wParam == 0 && present) w.selectedItems.erase(at);
      }
      return 0;
    }
    case ControlMessage::ListSetHorizontalExtent: w.extent = index; return 0;
    case ControlMessage::ListSetTabStops: return 1;
    default: return 0;
  }
}

intptr_t RecordingLayerSystem::SendWindowMessage(NativeWindow window, uint32_t message, intptr_t lParam) {
  Log("SendMessage " + LabelOf(window) + " " + std::to_string(message) + " " + std::to_string(lParam));
  return 0;
}

NativeWindow RecordingLayerSystem::CreateControl(NativeWindow parent, uint32_t type, const LayerRect& bounds,
                                                 const char* text, bool visible, int32_t controlId) {
  const std::string label = "control" + std::to_string(controlId);
  Log("CreateControl " + label + " type " + std::to_string(type) + " in " + LabelOf(parent) + " " + Rect(bounds) +
      " \"" + text + "\"" + (visible ? " visible" : ""));
  const NativeWindow control = AddItem(parent, controlId, label, type);
  m_windows[control].text = text;
  m_windows[control].visible = visible;
  return control;
}

NativeMenu RecordingLayerSystem::CreatePopupMenu() {
  const NativeMenu menu = m_nextMenu++;
  m_menus[menu];
  m_menuLabels[menu] = "popup" + std::to_string(menu - 0x9000);
  Log("CreatePopupMenu " + m_menuLabels[menu]);
  return menu;
}

void RecordingLayerSystem::AppendMenuItem(NativeMenu menu, uint32_t command, const char* text) {
  m_menus[menu].push_back(MenuItem{command, text});
  Log("AppendMenu " + MenuLabel(menu) + " " + std::to_string(command) + " \"" + text + "\"");
}

void RecordingLayerSystem::AppendMenuSeparator(NativeMenu menu) {
  m_menus[menu].push_back(MenuItem{0, "", true});
  Log("AppendMenu " + MenuLabel(menu) + " separator");
}

void RecordingLayerSystem::InsertMenuItemAt(NativeMenu menu, uint32_t position, uint32_t command, const char* text) {
  auto& items = m_menus[menu];
  items.insert(items.begin() + std::min<size_t>(position, items.size()), MenuItem{command, text});
  Log("InsertMenu " + MenuLabel(menu) + " at " + std::to_string(position) + " " + std::to_string(command) + " \"" +
      text + "\"");
}

void RecordingLayerSystem::InsertMenuSeparatorBefore(NativeMenu menu, uint32_t command) {
  auto& items = m_menus[menu];
  auto at = std::find_if(items.begin(), items.end(), [&](const MenuItem& i) { return !i.separator && i.command == command; });
  items.insert(at, MenuItem{0, "", true});
  Log("InsertMenu " + MenuLabel(menu) + " separator before " + std::to_string(command));
}

void RecordingLayerSystem::DeleteMenuItem(NativeMenu menu, uint32_t command) {
  auto& items = m_menus[menu];
  auto at = std::find_if(items.begin(), items.end(), [&](const MenuItem& i) { return !i.separator && i.command == command; });
  if (at != items.end()) items.erase(at);
  Log("DeleteMenu " + MenuLabel(menu) + " " + std::to_string(command));
}

RecordingLayerSystem::MenuItem* RecordingLayerSystem::FindItem(NativeMenu menu, uint32_t command) {
  // By command, as Win32 finds it: in the menu and in its popups.
  for (MenuItem& item : m_menus[menu]) {
    if (item.popup != 0) {
      if (MenuItem* inner = FindItem(item.popup, command)) return inner;
    } else if (!item.separator && item.command == command) {
      return &item;
    }
  }
  return nullptr;
}

void RecordingLayerSystem::EnableMenuItem(NativeMenu menu, uint32_t command, bool enable) {
  if (MenuItem* item = FindItem(menu, command)) item->enabled = enable;
  Log("EnableMenuItem " + MenuLabel(menu) + " " + std::to_string(command) + (enable ? " enabled" : " grayed"));
}

void RecordingLayerSystem::CheckMenuItem(NativeMenu menu, uint32_t command, bool check) {
  if (MenuItem* item = FindItem(menu, command)) item->checked = check;
  Log("CheckMenuItem " + MenuLabel(menu) + " " + std::to_string(command) + (check ? " checked" : " unchecked"));
}

void RecordingLayerSystem::SetMenuItemText(NativeMenu menu, uint32_t command, const char* text) {
  if (MenuItem* item = FindItem(menu, command)) item->text = text;
  Log("ModifyMenu " + MenuLabel(menu) + " " + std::to_string(command) + " \"" + text + "\"");
}

void RecordingLayerSystem::DestroyMenu(NativeMenu menu) {
  Log("DestroyMenu " + MenuLabel(menu));
  m_menus.erase(menu);
}

NativeMenu RecordingLayerSystem::GetMenuBar(NativeWindow window) {
  auto found = m_bars.find(window);
  return found != m_bars.end() ? found->second : 0;
}

NativeMenu RecordingLayerSystem::GetSubMenu(NativeMenu menu, uint32_t position) {
  const auto& items = m_menus[menu];
  return position < items.size() ? items[position].popup : 0;
}

void RecordingLayerSystem::InsertPopupAt(NativeMenu bar, uint32_t position, NativeMenu popup, const char* title) {
  auto& items = m_menus[bar];
  items.insert(items.begin() + std::min<size_t>(position, items.size()), MenuItem{0, title, false, true, false, popup});
  Log("InsertMenu " + MenuLabel(bar) + " at " + std::to_string(position) + " popup " + MenuLabel(popup) + " \"" +
      title + "\"");
}

NativeMenu RecordingLayerSystem::RemovePopupAt(NativeMenu bar, uint32_t position) {
  auto& items = m_menus[bar];
  if (position >= items.size()) return 0;
  const NativeMenu popup = items[position].popup;
  items.erase(items.begin() + position);
  Log("RemoveMenu " + MenuLabel(bar) + " at " + std::to_string(position));
  return popup;
}

void RecordingLayerSystem::DrawMenuBar(NativeWindow window) { Log("DrawMenuBar " + LabelOf(window)); }

void RecordingLayerSystem::TrackPopupMenu(NativeMenu menu, NativeWindow window, int32_t x, int32_t y) {
  Log("TrackPopupMenu " + MenuLabel(menu) + " " + LabelOf(window) + " at " + std::to_string(x) + "," +
      std::to_string(y));
}

MessageBoxReply RecordingLayerSystem::MessageBox(NativeWindow owner, const char* text, const char* caption,
                                                 MessageBoxIcon icon, MessageBoxButtons buttons) {
  static const char* const kIcons[] = {"exclamation", "asterisk", "question", "hand"};
  static const char* const kButtons[] = {"ok", "yes-no", "ok-cancel"};
  Log("MessageBox " + (owner != 0 ? LabelOf(owner) : std::string("none")) + " \"" + caption + "\" \"" + text + "\" " +
      kIcons[static_cast<size_t>(icon)] + " " + kButtons[static_cast<size_t>(buttons)]);
  return nextReply;
}

void RecordingLayerSystem::MessageBeep() { Log("MessageBeep"); }

bool RecordingLayerSystem::WinHelp(NativeWindow window, const char* file, uint32_t command, uintptr_t data) {
  Log("WinHelp " + LabelOf(window) + " \"" + file + "\" " + std::to_string(command) + " " + std::to_string(data));
  return true;
}

void RecordingLayerSystem::GetProgramFileName(char* buffer, size_t size) {
  std::snprintf(buffer, size, "%s", "C:\\zentor\\zentor.exe");
}

}  // namespace zentor::testing_support
