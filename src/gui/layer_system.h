#pragma once
// The windowing system under the window layer: the few dozen primitive calls the
// layer makes on windows, device contexts, menus, carets, cursors and timers. The
// layer (gui_window_layer.h) keeps every rule of its own (the table, the modal and
// cursor stacks, activation, the timer table, dialog units) and says to the system
// only what a Win32 call would do. Two systems exist: the Win32 one, which holds
// every real handle, device context, brush, pen and font and never lets one out, and
// the recording one of the native tests, which prints each call as a line of text.

#include <cstddef>
#include <cstdint>

#include "gui/layer_types.h"

namespace zentor {

// The two fonts the layer draws with: the fixed-pitch one of the child windows and
// the system font of every other window.
enum class LayerFont : uint8_t { Fixed, System };

enum class LayerShowMode : uint8_t { MinimizedNoActivate, Maximized, Normal };

// Messages sent to controls, named after what they do; the Win32 system sends the
// matching EM_, LB_, CB_, BM_ or DM_ message. Results follow the Win32 message: -1 for
// a list or combo box error.
enum class ControlMessage : uint8_t {
  EditLimitText,         // wParam limit
  EditSetSelection,      // wParam start, lParam end
  ButtonSetCheck,        // wParam 1 checked, 0 unchecked
  ButtonSetStyle,        // wParam 1 default push button, 0 push button; redraws
  DialogSetDefaultId,    // wParam the control id
  SetRedraw,             // wParam 1 on, 0 off
  ListInsertString,      // wParam index, lParam text
  ListDeleteString,      // wParam index
  ListResetContent,
  ListGetCount,
  ListGetCurrentSelection,
  ListGetTextLength,     // wParam index
  ListGetText,           // wParam index, lParam buffer
  ListSetItemData,       // wParam index, lParam data
  ListGetItemData,       // wParam index
  ListSetCurrentSelection,  // wParam index (-1 none)
  ListSetSelection,      // wParam flag, lParam index
  ListGetSelectionCount,
  ListGetSelectedItems,  // wParam array size, lParam int32_t array
  ListSetHorizontalExtent,  // wParam extent
  ComboAddString,        // lParam text
  ComboDeleteString,     // wParam index
  ComboResetContent,
  ComboGetCount,
  ComboGetCurrentSelection,
  ComboGetTextLength,    // wParam index
  ComboGetText,          // wParam index, lParam buffer
  ComboSetCurrentSelection,  // wParam index (-1 none)
  ComboSetEditSelection,     // lParam start in the low, end in the high half
  ListSetTabStops,       // wParam count, lParam int32_t array of stops in dialog units
  ListAddString,         // lParam text; a sorted list puts it in its place
};

// What RecordScreenMetrics measures: the screen, the frame's resolution and client
// size, and the system metrics its usable area is worked out from.
struct LayerScreenMetrics {
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  int32_t pixelsPerInchX = 0;
  int32_t pixelsPerInchY = 0;
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  int32_t verticalScrollWidth = 0;
  int32_t horizontalScrollHeight = 0;
  int32_t frameBorderWidth = 0;
  int32_t frameBorderHeight = 0;
  int32_t borderWidth = 0;
  int32_t borderHeight = 0;
  int32_t captionHeight = 0;
};

struct LayerFontMetrics {
  int32_t externalLeading = 0;
  int32_t ascent = 0;
  int32_t descent = 0;
};

enum class MessageBoxIcon : uint8_t { Exclamation, Asterisk, Question, Hand };
enum class MessageBoxButtons : uint8_t { Ok, YesNo, OkCancel };
enum class MessageBoxReply : uint8_t { Ok, Cancel, Yes, No, Other };

// System colours and metrics the layer reads.
enum class SystemColor : uint8_t {
  MenuText, Menu, InactiveCaption, InactiveBorder, CaptionText, ActiveCaption, ActiveBorder,
  WindowText, Window, ButtonText, ButtonFace, ScrollBar,
};
enum class SystemMetric : uint8_t {
  CaptionHeight, HorizontalScrollHeight, VerticalScrollWidth, IconSpacingX, IconSpacingY,
};

class LayerSystem {
 public:
  virtual ~LayerSystem() = default;

  // Windows.
  virtual bool IsWindow(NativeWindow window) = 0;
  virtual NativeWindow GetParent(NativeWindow window) = 0;
  virtual void EnableWindow(NativeWindow window, bool enable) = 0;
  virtual void BringWindowToTop(NativeWindow window) = 0;
  // Posts WM_NCACTIVATE: the caption drawn active or inactive.
  virtual void PostCaptionActive(NativeWindow window, bool active) = 0;
  virtual void SetFocus(NativeWindow window) = 0;
  virtual NativeWindow GetFocus() = 0;
  virtual bool IsIconic(NativeWindow window) = 0;
  virtual bool IsZoomed(NativeWindow window) = 0;
  virtual bool IsVisible(NativeWindow window) = 0;
  virtual void EndDialog(NativeWindow window, int32_t result) = 0;
  virtual void DestroyWindow(NativeWindow window) = 0;
  virtual void SendClose(NativeWindow window) = 0;
  virtual void PostQuit() = 0;
  virtual LayerScreenMetrics MeasureScreen(NativeWindow frame) = 0;
  // Any messages waiting are handled, without waiting for more.
  virtual void RunRepaintRound() = 0;

  // Geometry. Client rectangles in client coordinates, window rectangles on the
  // screen, both as top, left, bottom, right.
  virtual void SetScrollRange(NativeWindow window, uint32_t bar, int32_t minimum, int32_t maximum) = 0;
  virtual void SetScrollPos(NativeWindow window, uint32_t bar, int32_t position) = 0;
  virtual LayerScrollInfo GetScrollInfo(NativeWindow window, uint32_t bar) = 0;
  virtual LayerRect GetClientRect(NativeWindow window) = 0;
  virtual LayerRect GetWindowRect(NativeWindow window) = 0;
  virtual void UpdateWindow(NativeWindow window) = 0;
  // Scrolls the area (which is also the clip area) by (dx, dy).
  virtual void ScrollWindow(NativeWindow window, int32_t dx, int32_t dy, const LayerRect& area) = 0;
  virtual void Invalidate(NativeWindow window, const LayerRect* area, bool erase) = 0;
  // A child window within its parent's client area, z-order kept.
  virtual void PlaceChild(NativeWindow window, int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  virtual void MoveWindow(NativeWindow window, int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  virtual void SendToBottom(NativeWindow window) = 0;
  virtual void ShowWindow(NativeWindow window, LayerShowMode mode) = 0;
  virtual void ArrangeIconicWindows(NativeWindow window) = 0;
  virtual LayerPoint ClientToScreen(NativeWindow window, LayerPoint point) = 0;
  virtual LayerPoint ScreenToClient(NativeWindow window, LayerPoint point) = 0;
  virtual LayerPoint GetCursorPos() = 0;
  virtual NativeWindow WindowFromPoint(LayerPoint screenPoint) = 0;
  virtual void SetCapture(NativeWindow window) = 0;
  virtual void ReleaseCapture() = 0;

  // Painting and drawing; colours of the attributes in the system's order.
  virtual LayerRect BeginPaint(NativeWindow window) = 0;
  virtual void EndPaint(NativeWindow window) = 0;
  virtual void SetClipRect(NativeWindow window, const LayerRect& area) = 0;
  // Text whose line ends at yBottom: the system subtracts the font's height.
  virtual void DrawTextLine(NativeWindow window, const LayerAttributes& attributes, LayerFont font, int32_t x,
                            int32_t yBottom, const char* text, size_t length) = 0;
  virtual void DrawFocusRect(NativeWindow window, const LayerRect& area) = 0;
  // The fill brush over the area, its right column and bottom row left out (FillRect).
  virtual void FillRect(NativeWindow window, const LayerAttributes& attributes, const LayerRect& area) = 0;
  // The fill brush inside the pen's outline (Rectangle).
  virtual void OutlineRect(NativeWindow window, const LayerAttributes& attributes, const LayerRect& area) = 0;
  virtual void DrawPolyline(NativeWindow window, const LayerAttributes& attributes, const LayerPoint* points,
                            size_t count) = 0;
  virtual LayerFontMetrics GetFontMetrics(NativeWindow window, LayerFont font) = 0;
  virtual int32_t GetTextWidth(NativeWindow window, LayerFont font, const char* text, size_t length) = 0;

  // Caret, cursors, dialog units, timers.
  virtual void CreateCaret(NativeWindow window, int32_t width, int32_t height, int32_t x, int32_t y) = 0;
  virtual void DestroyCaret() = 0;
  virtual NativeCursor LoadCursor(uint32_t kind) = 0;
  virtual void SetCursor(NativeCursor cursor) = 0;
  // The WM_SETCURSOR messages waiting are handled.
  virtual void PumpCursorMessages() = 0;
  // GetDialogBaseUnits: the horizontal unit in the low word, the vertical in the high.
  virtual uint32_t GetDialogBaseUnits() = 0;
  // Starts a timer on the frame; the id the system answers, below 1 when refused.
  virtual int32_t SetTimer(NativeWindow frame, uint32_t id, uint32_t interval) = 0;
  virtual void KillTimer(NativeWindow frame, uint32_t id) = 0;

  // Dialog items and controls.
  virtual NativeWindow GetDialogItem(NativeWindow dialog, int32_t item) = 0;
  virtual void SetWindowText(NativeWindow window, const char* text) = 0;
  virtual void GetWindowText(NativeWindow window, char* buffer, size_t size) = 0;
  virtual intptr_t SendControlMessage(NativeWindow window, ControlMessage message, uintptr_t wParam,
                                      intptr_t lParam) = 0;
  virtual intptr_t SendWindowMessage(NativeWindow window, uint32_t message, intptr_t lParam) = 0;
  // Bounds as top, left, height, width in the parent's client coordinates.
  virtual NativeWindow CreateControl(NativeWindow parent, uint32_t type, const LayerRect& bounds, const char* text,
                                     bool visible, int32_t controlId) = 0;
  // LPtoDP of one x value in the window's device context.
  virtual int32_t LogicalToDeviceX(NativeWindow window, int32_t x) = 0;

  // Menus: popups by handle, the frame's bar by its window.
  virtual NativeMenu CreatePopupMenu() = 0;
  virtual void AppendMenuItem(NativeMenu menu, uint32_t command, const char* text) = 0;
  virtual void AppendMenuSeparator(NativeMenu menu) = 0;
  virtual void InsertMenuItemAt(NativeMenu menu, uint32_t position, uint32_t command, const char* text) = 0;
  virtual void InsertMenuSeparatorBefore(NativeMenu menu, uint32_t command) = 0;
  virtual void DeleteMenuItem(NativeMenu menu, uint32_t command) = 0;
  virtual void EnableMenuItem(NativeMenu menu, uint32_t command, bool enable) = 0;
  virtual void CheckMenuItem(NativeMenu menu, uint32_t command, bool check) = 0;
  virtual void SetMenuItemText(NativeMenu menu, uint32_t command, const char* text) = 0;
  virtual void DestroyMenu(NativeMenu menu) = 0;
  virtual NativeMenu GetMenuBar(NativeWindow window) = 0;
  virtual NativeMenu GetSubMenu(NativeMenu menu, uint32_t position) = 0;
  virtual void InsertPopupAt(NativeMenu bar, uint32_t position, NativeMenu popup, const char* title) = 0;
  // Takes the popup at the position out of the bar and answers it (0 when none).
  virtual NativeMenu RemovePopupAt(NativeMenu bar, uint32_t position) = 0;
  virtual void DrawMenuBar(NativeWindow window) = 0;
  // Right-button tracking at a screen point; commands go to the window.
  virtual void TrackPopupMenu(NativeMenu menu, NativeWindow window, int32_t x, int32_t y) = 0;

  // Boxes, sounds, help and the program's environment.
  virtual MessageBoxReply MessageBox(NativeWindow owner, const char* text, const char* caption,
                                     MessageBoxIcon icon, MessageBoxButtons buttons) = 0;
  virtual void MessageBeep() = 0;
  virtual bool WinHelp(NativeWindow window, const char* file, uint32_t command, uintptr_t data) = 0;
  virtual void GetProgramFileName(char* buffer, size_t size) = 0;
  virtual uint64_t AvailableVirtualMemory() = 0;
  virtual uint32_t GetSystemColor(SystemColor element) = 0;  // 0x00BBGGRR
  virtual int32_t GetSystemMetric(SystemMetric metric) = 0;
};

}  // namespace zentor
