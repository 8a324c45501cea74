#pragma once
// A windowing system for the native tests of the window layer and everything above
// it: it keeps just enough state to answer like Win32 would (windows with parents,
// enabled and display states and rectangles, the focus, list and combo boxes, menus,
// timers) and writes every call that changes something or draws as one line of text,
// naming windows and menus by the labels the test gave them. Tests read the lines.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "gui/layer_system.h"

namespace zentor::testing_support {

class RecordingLayerSystem : public LayerSystem {
 public:
  struct Window {
    std::string label;
    NativeWindow parent = 0;
    bool enabled = true;
    bool visible = true;
    bool iconic = false;
    bool zoomed = false;
    bool destroyed = false;
    LayerRect outer;   // on the screen
    LayerRect client;  // top, left, bottom, right from 0
    std::string text;
    int32_t controlId = 0;
    uint32_t controlType = 0;
    // List and combo boxes.
    std::vector<std::string> entries;
    std::vector<intptr_t> itemData;
    intptr_t selection = -1;
    bool multipleSelection = false;
    bool sorted = false;
    // A multiple-selection list's selected entries, ascending.
    std::vector<intptr_t> selectedItems;
    intptr_t extent = 0;
    intptr_t check = 0;
    intptr_t textLimit = 0;  // an edit box's limit on typed text (0: none)
    LayerScrollInfo scroll[2];  // by bar
  };
  struct MenuItem {
    uint32_t command = 0;
    std::string text;  // empty for a separator
    bool separator = false;
    bool enabled = true;
    bool checked = false;
    NativeMenu popup = 0;
  };

  // A window with a label, a parent (0: none) and its outer rectangle on the screen;
  // its client area is the outer size.
  NativeWindow AddWindow(const std::string& label, NativeWindow parent = 0, LayerRect outer = {0, 0, 100, 200});
  // A dialog item: a control of the dialog with a control id.
  NativeWindow AddItem(NativeWindow dialog, int32_t controlId, const std::string& label, uint32_t type = 0);
  Window& At(NativeWindow window) { return m_windows.at(window); }
  // The frame's menu bar with popups of the given titles.
  NativeMenu AddMenuBar(NativeWindow window, const std::vector<std::string>& popupTitles);
  const std::vector<MenuItem>& Items(NativeMenu menu) { return m_menus[menu]; }
  std::string LabelOf(NativeWindow window) const;
  std::string MenuLabel(NativeMenu menu) const;

  // The lines written since the last call, each ended by a newline; the log is then
  // empty again.
  std::string TakeLog();

  uint32_t dialogBaseUnits = (16u << 16) | 8u;
  bool refuseTimers = false;
  LayerPoint cursor{-1000, -1000};
  MessageBoxReply nextReply = MessageBoxReply::Ok;
  LayerScreenMetrics screen;
  NativeWindow focus = 0;
  std::vector<uint32_t> runningTimers;

  // LayerSystem.
  bool IsWindow(NativeWindow window) override;
  NativeWindow GetParent(NativeWindow window) override;
  void EnableWindow(NativeWindow window, bool enable) override;
  void BringWindowToTop(NativeWindow window) override;
  void PostCaptionActive(NativeWindow window, bool active) override;
  void SetFocus(NativeWindow window) override;
  NativeWindow GetFocus() override { return focus; }
  bool IsIconic(NativeWindow window) override;
  bool IsZoomed(NativeWindow window) override;
  bool IsVisible(NativeWindow window) override;
  void EndDialog(NativeWindow window, int32_t result) override;
  void DestroyWindow(NativeWindow window) override;
  void SendClose(NativeWindow window) override;
  void PostQuit() override;
  LayerScreenMetrics MeasureScreen(NativeWindow frame) override { return screen; }
  void RunRepaintRound() override;
  void SetScrollRange(NativeWindow window, uint32_t bar, int32_t minimum, int32_t maximum) override;
  void SetScrollPos(NativeWindow window, uint32_t bar, int32_t position) override;
  LayerScrollInfo GetScrollInfo(NativeWindow window, uint32_t bar) override;
  LayerRect GetClientRect(NativeWindow window) override;
  LayerRect GetWindowRect(NativeWindow window) override;
  void UpdateWindow(NativeWindow window) override;
  void ScrollWindow(NativeWindow window, int32_t dx, int32_t dy, const LayerRect& area) override;
  void Invalidate(NativeWindow window, const LayerRect* area, bool erase) override;
  void PlaceChild(NativeWindow window, int32_t x, int32_t y, int32_t width, int32_t height) override;
  void MoveWindow(NativeWindow window, int32_t x, int32_t y, int32_t width, int32_t height) override;
  void SendToBottom(NativeWindow window) override;
  void ShowWindow(NativeWindow window, LayerShowMode mode) override;
  void ArrangeIconicWindows(NativeWindow window) override;
  LayerPoint ClientToScreen(NativeWindow window, LayerPoint point) override;
  LayerPoint ScreenToClient(NativeWindow window, LayerPoint point) override;
  LayerPoint GetCursorPos() override { return cursor; }
  NativeWindow WindowFromPoint(LayerPoint screenPoint) override;
  void SetCapture(NativeWindow window) override;
  void ReleaseCapture() override;
  LayerRect BeginPaint(NativeWindow window) override;
  void EndPaint(NativeWindow window) override;
  void SetClipRect(NativeWindow window, const LayerRect& area) override;
  void DrawTextLine(NativeWindow window, const LayerAttributes& attributes, LayerFont font, int32_t x,
                    int32_t yBottom, const char* text, size_t length) override;
  void DrawFocusRect(NativeWindow window, const LayerRect& area) override;
  void FillRect(NativeWindow window, const LayerAttributes& attributes, const LayerRect& area) override;
  void OutlineRect(NativeWindow window, const LayerAttributes& attributes, const LayerRect& area) override;
  void DrawPolyline(NativeWindow window, const LayerAttributes& attributes, const LayerPoint* points,
                    size_t count) override;
  LayerFontMetrics GetFontMetrics(NativeWindow window, LayerFont font) override;
  int32_t GetTextWidth(NativeWindow window, LayerFont font, const char* text, size_t length) override;
  void CreateCaret(NativeWindow window, int32_t width, int32_t height, int32_t x, int32_t y) override;
  void DestroyCaret() override;
  NativeCursor LoadCursor(uint32_t kind) override { return 0xC0 + kind; }
  void SetCursor(NativeCursor cursor) override;
  void PumpCursorMessages() override;
  uint32_t GetDialogBaseUnits() override { return dialogBaseUnits; }
  int32_t SetTimer(NativeWindow frame, uint32_t id, uint32_t interval) override;
  void KillTimer(NativeWindow frame, uint32_t id) override;
  NativeWindow GetDialogItem(NativeWindow dialog, int32_t item) override;
  void SetWindowText(NativeWindow window, const char* text) override;
  void GetWindowText(NativeWindow window, char* buffer, size_t size) override;
  intptr_t SendControlMessage(NativeWindow window, ControlMessage message, uintptr_t wParam,
                              intptr_t lParam) override;
  intptr_t SendWindowMessage(NativeWindow window, uint32_t message, intptr_t lParam) override;
  NativeWindow CreateControl(NativeWindow parent, uint32_t type, const LayerRect& bounds, const char* text,
                             bool visible, int32_t controlId) override;
  int32_t LogicalToDeviceX(NativeWindow window, int32_t x) override { return x; }
  NativeMenu CreatePopupMenu() override;
  void AppendMenuItem(NativeMenu menu, uint32_t command, const char* text) override;
  void AppendMenuSeparator(NativeMenu menu) override;
  void InsertMenuItemAt(NativeMenu menu, uint32_t position, uint32_t command, const char* text) override;
  void InsertMenuSeparatorBefore(NativeMenu menu, uint32_t command) override;
  void DeleteMenuItem(NativeMenu menu, uint32_t command) override;
  void EnableMenuItem(NativeMenu menu, uint32_t command, bool enable) override;
  void CheckMenuItem(NativeMenu menu, uint32_t command, bool check) override;
  void SetMenuItemText(NativeMenu menu, uint32_t command, const char* text) override;
  void DestroyMenu(NativeMenu menu) override;
  NativeMenu GetMenuBar(NativeWindow window) override;
  NativeMenu GetSubMenu(NativeMenu menu, uint32_t position) override;
  void InsertPopupAt(NativeMenu bar, uint32_t position, NativeMenu popup, const char* title) override;
  NativeMenu RemovePopupAt(NativeMenu bar, uint32_t position) override;
  void DrawMenuBar(NativeWindow window) override;
  void TrackPopupMenu(NativeMenu menu, NativeWindow window, int32_t x, int32_t y) override;
  MessageBoxReply MessageBox(NativeWindow owner, const char* text, const char* caption, MessageBoxIcon icon,
                             MessageBoxButtons buttons) override;
  void MessageBeep() override;
  bool WinHelp(NativeWindow window, const char* file, uint32_t command, uintptr_t data) override;
  void GetProgramFileName(char* buffer, size_t size) override;
  uint64_t AvailableVirtualMemory() override { return 123456789; }
  uint32_t GetSystemColor(SystemColor element) override { return 0x00100000u + static_cast<uint32_t>(element); }
  int32_t GetSystemMetric(SystemMetric metric) override { return 20 + static_cast<int32_t>(metric); }

 private:
  void Log(const std::string& line) {
    m_log += line;
    m_log += '\n';
  }
  void AppendLabel(NativeWindow window);
  MenuItem* FindItem(NativeMenu menu, uint32_t command);

  std::map<NativeWindow, Window> m_windows;
  std::map<NativeMenu, std::vector<MenuItem>> m_menus;
  std::map<NativeMenu, std::string> m_menuLabels;
  std::map<NativeWindow, NativeMenu> m_bars;
  NativeWindow m_nextWindow = 0x100;
  NativeMenu m_nextMenu = 0x9000;
  std::string m_log;
};

}  // namespace zentor::testing_support
