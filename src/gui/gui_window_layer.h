#pragma once
// The GUI's window layer: every window the program shows (the frame, its buttons and
// client area, each child window, dialog and control) is registered in one table of
// 64 slots and from then on named by its slot number, the layer id. The window base
// class, the windows and dialogs and the message loop call the layer with ids; the
// layer keeps per-window drawing attributes, a user word and a popup menu, which
// window is active, the stack of open modal dialogs, the cursor stack, the caret, the
// timer table and the menu command handlers, and turns each call into calls of its
// windowing system (layer_system.h). An id outside 0..63 or of a free slot makes an
// operation do nothing and answer its failure value: -1 for ids, counts, indexes and
// handles, 0 for the rest. Colours cross the interface as 0xRRGGBB.

#include <cstddef>
#include <cstdint>
#include <vector>

// The message-box kinds and answers are the core port's.
#include "core/window_layer.h"
#include "gui/layer_system.h"
#include "gui/layer_types.h"

namespace zentor {

// A timer's callback: (timer id, the current viewpoint's value); its answer is unused.
using LayerTimerCallback = int32_t (*)(uint32_t timerId, uint32_t viewpointValue);
// A menu command's handler: (the frame's layer id, the command id).
using MenuHandler = void (*)(int32_t frameId, uint32_t command);

struct LayerTimer {
  uint32_t id = 0;
  uint32_t interval = 0;
  uint32_t active = 0;
  LayerTimerCallback callback = nullptr;
};

inline constexpr int32_t kModalStackSize = 10;
inline constexpr int32_t kCursorStackSize = 11;  // the base and ten above it
inline constexpr int32_t kTimerTableSize = 10;

class GuiWindowLayer {
 public:
  explicit GuiWindowLayer(LayerSystem& system);
  GuiWindowLayer(const GuiWindowLayer&) = delete;
  GuiWindowLayer& operator=(const GuiWindowLayer&) = delete;

  LayerSystem& System() { return m_system; }

  // Registration and lookup.
  int32_t Register(NativeWindow handle, uint32_t type, uintptr_t userWord);
  void Destroy(int32_t id);
  NativeWindow Handle(int32_t id);
  LayerWindow* Record(int32_t id);
  int32_t IdOf(NativeWindow handle);
  int32_t IsRegistered(NativeWindow handle);
  int32_t GetWindowType(int32_t id);
  int32_t IsModalDialog(int32_t id);
  uintptr_t GetUserData(int32_t id);
  void SetUserData(int32_t id, uintptr_t word);
  uintptr_t PeekUserData(int32_t id);
  int32_t GetParentWindow(int32_t id);
  int32_t FindOtherModalDialog(int32_t id);
  int32_t FindChildWindowFrom(int32_t id, NativeWindow* handle);
  // The General window: never activated (the status strip takes no keys).
  void SetGeneralWindow(NativeWindow handle) { m_generalWindow = handle; }
  bool IsGeneralWindow(int32_t id) const {
    return m_generalWindow != 0 && id >= 0 && id < kLayerSlotCount && m_table[id].handle == m_generalWindow;
  }

  // Activation and focus.
  void ActivateWindow(int32_t id);
  int32_t GetActiveWindow() const { return m_activeId; }
  // The window that got the focus or the active caption from the system: it becomes
  // the active window without anything else happening (the message translation).
  void NoteActiveWindow(int32_t id) {
    if (!IsGeneralWindow(id)) m_activeId = id;
  }
  // The frame's handle once it has registered (0 before): dialogs opened over no
  // window of their own are owned by the frame.
  NativeWindow FrameHandle() const { return m_frame; }
  int32_t GetFocusWindow();
  void CloseWindow(int32_t id);
  void ReactivateAfterClose(int32_t closingId);
  void ActivateAnotherChild();
  void ActivateNextChild();
  void PostCaptionActive(int32_t id);
  void PostCaptionInactive(int32_t id);
  int32_t GetHighlightedWindow() const { return m_highlightedId; }
  int32_t ModalStackTop() const { return m_modalTop >= 0 ? m_modalStack[m_modalTop] : kNoLayerId; }

  // Geometry and painting.
  void SetScrollRange(int32_t id, uint32_t bar, int32_t minimum, int32_t maximum);
  void SetScrollPos(int32_t id, uint32_t bar, int32_t position);
  // The bar's range and thumb in 32 bits, for the scroll events (SB_TOP and SB_BOTTOM
  // go to the range's ends, a dragged thumb to its 32-bit position); 0 for an unknown id.
  int32_t GetScrollInfo(int32_t id, uint32_t bar, LayerScrollInfo* info);
  void ScrollRect(int32_t id, const LayerRect& area, int32_t dx, int32_t dy);
  void Invalidate(int32_t id, const LayerRect* area);
  void InvalidateChildWindows();
  void UpdateWindow(int32_t id);
  LayerRect* GetClientArea(int32_t id, LayerRect* area);
  int32_t GetWindowBounds(int32_t id, LayerRect* bounds);
  void SetWindowBounds(int32_t id, const LayerRect& bounds);
  int32_t GetSavedBounds(int32_t id, LayerRect* bounds);
  // What the message loop records when the window is moved or sized.
  void SetSavedBounds(int32_t id, const LayerRect& bounds);
  void SendToBottom(int32_t id);
  void ShowWindowState(int32_t id, int32_t state);
  int32_t GetWindowState(int32_t id);
  int32_t IsMinimized(int32_t id);
  int32_t IsMaximized(int32_t id);
  void ArrangeIcons(int32_t id);
  int32_t BeginPaint(int32_t id, LayerRect* area);
  void EndPaint(int32_t id);
  void SetClipRect(int32_t id, const LayerRect& area);
  void SelectWindow(int32_t id) {}
  void SetBackgroundColor(int32_t id, uint32_t rgb);
  void SetTextColor(int32_t id, uint32_t rgb);
  void SetFillStyle(int32_t id, const LayerFill& fill);
  void SetLineStyle(int32_t id, const LayerLine& line);
  void SetDrawMode(int32_t id, uint32_t mode);
  void SaveAttributes(int32_t id, LayerAttributes* block);
  void RestoreAttributes(int32_t id, const LayerAttributes& block);
  void DrawTextAt(int32_t id, int32_t x, int32_t y, const char* text, int32_t length);
  void DrawRectangle(int32_t id, const LayerRect& area);
  void ClearWindow(int32_t id);
  void DrawPolyline(int32_t id, const LayerPoint* points, int32_t count);
  int32_t GetFontMetrics(int32_t id, int32_t* externalLeading, int32_t* ascent, int32_t* descent);
  int32_t GetTextWidth(int32_t id, const char* text, int32_t length);
  int32_t GetMousePosition(int32_t id, LayerPoint* point);
  void ClientToScreenPoints(int32_t id, LayerPoint* points, int32_t count);
  static int32_t PointInRect(const LayerRect& area, int32_t y, int32_t x);
  void CaptureMouse(int32_t id);
  void ReleaseMouse(int32_t id);
  static uint32_t SwapRedBlue(uint32_t color);
  // Fills an area from (left, top, right, bottom).
  static void SetRect(LayerRect* area, int32_t left, int32_t top, int32_t right, int32_t bottom);

  // Caret and cursors. The caret is full width when `wide` is 1 (the line editor
  // overwrites, a field is edited in overwrite mode), a quarter of that otherwise.
  void ShowCaret(int32_t id, int32_t x, int32_t y, int32_t wide);
  void HideCaret(int32_t ignored);
  void PushCursor(uint32_t kind, int32_t pump);
  void PopCursor();
  uint32_t TopCursorKind() const { return m_cursors[m_cursorTop].kind; }
  void RefreshCursor();
  void ResetCursors();
  int32_t IsMouseOverLayerWindow();
  // The cursor the window procedures answer WM_SETCURSOR with.
  NativeCursor TopCursor() const { return m_cursors[m_cursorTop].cursor; }

  // Dialog units.
  int32_t DialogUnitsToPixelsX(int32_t value);
  int32_t DialogUnitsToPixelsY(int32_t value);
  int32_t PixelsToDialogUnitsX(int32_t value);
  int32_t PixelsToDialogUnitsY(int32_t value);

  // Timers (at most ten): each new one gets the lowest id not in use, 1..10.
  int32_t SetTimer(uint32_t interval, LayerTimerCallback callback);
  void KillTimer(uint32_t id);
  void RunTimers();
  void SuspendTimers();
  void KillAllTimers();
  // The timer ids in table order (the message loop and tests read them).
  std::vector<uint32_t> TimerIds() const;

  void ShutDown();

  // Screen metrics recorded when the frame registers.
  void RecordScreenMetrics(NativeWindow frame);
  const LayerScreenMetrics& ScreenMetrics() const { return m_screen; }
  int32_t UsableWidth() const { return m_usableWidth; }
  int32_t UsableHeight() const { return m_usableHeight; }

  bool IsHelpMode() const { return m_helpMode; }
  void SetHelpMode(bool on) { m_helpMode = on; }

  // Dialog items (dialog id, item's control id).
  void LimitItemText(int32_t dialog, int32_t item, int32_t limit);
  void SetItemText(int32_t dialog, int32_t item, const char* text);
  void GetItemText(int32_t dialog, int32_t item, char* buffer, int32_t size);
  void SelectItemText(int32_t dialog, int32_t item, int32_t start, int32_t end);
  void EnableItem(int32_t dialog, int32_t item, int32_t flag);
  void CheckItem(int32_t dialog, int32_t item, int32_t value);
  void CheckRadioItem(int32_t dialog, int32_t checked, int32_t first, int32_t last);
  void SetDefaultButton(int32_t dialog, int32_t oldButton, int32_t newButton);
  void SuspendItemRedraw(int32_t dialog, int32_t item);
  void ResumeItemRedraw(int32_t dialog, int32_t item);
  void SetWindowTitle(int32_t id, const char* text);
  intptr_t SendWindowMessage(int32_t id, uint32_t message, intptr_t lParam);

  // List boxes.
  int32_t ListInsertString(int32_t dialog, int32_t item, int32_t index, const char* text);
  int32_t ListDeleteString(int32_t dialog, int32_t item, int32_t index);
  int32_t ListClear(int32_t dialog, int32_t item);
  int32_t ListGetCount(int32_t dialog, int32_t item);
  int32_t ListGetSelection(int32_t dialog, int32_t item);
  int32_t ListGetSelectedText(int32_t dialog, int32_t item, char* buffer, int32_t size);
  int32_t ListGetText(int32_t dialog, int32_t item, int32_t index, char* buffer, int32_t size);
  int32_t ListSelect(int32_t dialog, int32_t item, int32_t index, int32_t selectFlag);
  int32_t ListGetSelCount(int32_t dialog, int32_t item);
  int32_t ListGetSelItems(int32_t dialog, int32_t item, int32_t* indexes, int32_t count);
  // LB_SETTABSTOPS: the stops in dialog units (a box made with tab stops); 1 when set.
  int32_t ListSetTabStops(int32_t dialog, int32_t item, int32_t count, const int32_t* stops);
  // A list that finds its records by the rows' item data, whatever order it shows
  // them in (a sorted list sorts each row into its place): the row added with the
  // caller's data as its item data. Such a list keeps no horizontal extent, its item
  // data being no widths: it is never filled with ListInsertString too. Answers the
  // row's position, -1 when it could not be added.
  int32_t ListAddEntry(int32_t dialog, int32_t item, const char* text, intptr_t data);
  // The item data of the row; -1 for no such row.
  intptr_t ListGetItemData(int32_t dialog, int32_t item, int32_t index);
  void UpdateListExtent(int32_t dialog, int32_t item);

  // Combo boxes.
  int32_t ComboAddString(int32_t dialog, int32_t item, const char* text);
  int32_t ComboDeleteString(int32_t dialog, int32_t item, int32_t index);
  int32_t ComboClear(int32_t dialog, int32_t item);
  int32_t ComboGetCount(int32_t dialog, int32_t item);
  int32_t ComboGetSelection(int32_t dialog, int32_t item);
  int32_t ComboGetSelectedText(int32_t dialog, int32_t item, char* buffer, int32_t size);
  int32_t ComboSelect(int32_t dialog, int32_t item, int32_t index, int32_t selectFlag);
  void ComboSetEditSelection(int32_t dialog, int32_t item, int32_t start, int32_t end);

  // Controls: bounds as top, left, height, width in the parent's client area.
  int32_t CreateControl(const LayerRect& bounds, const char* text, uint32_t type, int32_t parent, int32_t visible,
                        int32_t controlId);

  // Popup menus and the frame's menu bar.
  int32_t CreatePopupMenu(int32_t id, const char* const* strings, int32_t count);
  void TrackPopupMenu(int32_t id, int32_t x, int32_t y);
  int32_t IsPopupTracking(int32_t id);
  void ClearPopupTracking(int32_t id);
  void DestroyPopupMenu(int32_t id);
  void EnableMenuItem(int32_t id, uint32_t command, int32_t enable);
  void CheckMenuItem(int32_t id, uint32_t command, int32_t check);
  void SetMenuItemText(int32_t id, uint32_t command, const char* text);
  void AppendMenuItem(uint32_t popupPosition, uint32_t command, const char* text, MenuHandler handler);
  void InsertMenuItem(uint32_t popupPosition, uint32_t command, const char* text, uint32_t itemPosition,
                      MenuHandler handler);
  void InsertMenuSeparator(uint32_t popupPosition, uint32_t beforeCommand);
  void DeleteMenuItem(uint32_t popupPosition, uint32_t command);
  void InsertTopMenu(uint32_t position, const char* titleArgument, uint32_t command, const char* itemText);
  void RemoveTopMenu(uint32_t position);
  MenuHandler FindMenuHandler(uint32_t command) const;
  int32_t AddMenuHandler(uint32_t command, MenuHandler handler);
  void RemoveMenuHandler(uint32_t command);
  void FreeMenuHandlers();

  // Message boxes, strings, help, system colours and metrics.
  // `caption` null: the frame's caption (the layer's caption for message boxes).
  int32_t ShowMessageBox(int32_t owner, uint32_t kind, const char* text, const char* caption = nullptr);
  int32_t ShowWarningBox(int32_t id, const char* text);
  void GetMessageBoxCaption(char* buffer, size_t size);
  static uint32_t LoadResourceString(uint32_t number, char* buffer, uint32_t size);
  void GetProgramFileName(char* buffer, size_t size);
  int32_t ShowHelp(int32_t id, const char* file, uint32_t command, uintptr_t data);
  void FormatMemoryStatus(char* buffer, size_t size);
  uint32_t GetSystemElementColor(uint32_t element, int32_t foreground);
  int32_t GetCaptionHeight();
  int32_t GetHorizontalScrollHeight();
  int32_t GetVerticalScrollWidth();
  int32_t GetIconSpacingX();
  int32_t GetIconSpacingY();
  void Beep();
  static void SetBeepEnabled(int32_t flag);

 private:
  struct CursorEntry {
    NativeCursor cursor = 0;
    uint32_t kind = kCursorArrow;
  };
  struct HandlerPair {
    uint32_t command = 0;
    MenuHandler handler = nullptr;
  };

  LayerWindow* Live(int32_t id);
  bool IsOfType(int32_t id, uint32_t type);
  LayerAttributes SystemAttributes(const LayerWindow& window) const;
  static LayerFont FontOf(const LayerWindow& window);
  NativeWindow Item(int32_t dialog, int32_t item);
  intptr_t SendItem(int32_t dialog, int32_t item, ControlMessage message, uintptr_t wParam = 0, intptr_t lParam = 0);
  int32_t CopyEntryText(NativeWindow box, bool list, intptr_t index, char* buffer, int32_t size);
  NativeMenu MenuOf(int32_t id);
  NativeMenu FramePopup(uint32_t position);
  void ActivateIfRegistered(int32_t id);

  LayerSystem& m_system;
  LayerWindow m_table[kLayerSlotCount];
  NativeWindow m_frame = 0;
  NativeWindow m_generalWindow = 0;
  int32_t m_activeId = kNoLayerId;
  int32_t m_previousActiveId = kNoLayerId;
  int32_t m_highlightedId = kNoLayerId;
  int32_t m_modalStack[kModalStackSize] = {};
  int32_t m_modalTop = -1;
  CursorEntry m_cursors[kCursorStackSize];
  int32_t m_cursorTop = 0;
  bool m_caretShown = false;
  bool m_helpMode = false;
  LayerTimer m_timers[kTimerTableSize];
  int32_t m_timerCount = 0;
  LayerScreenMetrics m_screen;
  int32_t m_usableWidth = 0;
  int32_t m_usableHeight = 0;
  std::vector<HandlerPair> m_menuHandlers;
};

// The layer the GUI's code uses; the program installs it at start-up (null: none).
void InstallGuiWindowLayer(GuiWindowLayer* layer);
GuiWindowLayer* InstalledGuiWindowLayer();

}  // namespace zentor
