// The second half of the window layer: dialog items, list and combo boxes, controls
// made by type, popup menus and the frame's menu bar with the command handlers,
// message boxes, help, strings and the system's colours and metrics.
#include "gui/gui_window_layer.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "core/window_layer.h"

namespace zentor {
namespace {

intptr_t TextParameter(const char* text) { return reinterpret_cast<intptr_t>(text != nullptr ? text : ""); }

void CopyBounded(char* buffer, size_t size, const char* text) {
  if (buffer == nullptr || size == 0) return;
  size_t length = 0;
  while (text != nullptr && length + 1 < size && text[length] != '\0') ++length;
  if (length > 0) std::memcpy(buffer, text, length);
  buffer[length] = '\0';
}

}  // namespace

NativeWindow GuiWindowLayer::Item(int32_t dialog, int32_t item) {
  LayerWindow* window = Live(dialog);
  return window != nullptr ? m_system.GetDialogItem(window->handle, item) : 0;
}

intptr_t GuiWindowLayer::SendItem(int32_t dialog, int32_t item, ControlMessage message, uintptr_t wParam,
                                  intptr_t lParam) {
  const NativeWindow control = Item(dialog, item);
  return control != 0 ? m_system.SendControlMessage(control, message, wParam, lParam) : -1;
}

void GuiWindowLayer::LimitItemText(int32_t dialog, int32_t item, int32_t limit) {
  SendItem(dialog, item, ControlMessage::EditLimitText, static_cast<uintptr_t>(limit));
}

void GuiWindowLayer::SetItemText(int32_t dialog, int32_t item, const char* text) {
  if (NativeWindow control = Item(dialog, item)) m_system.SetWindowText(control, text != nullptr ? text : "");
}

void GuiWindowLayer::GetItemText(int32_t dialog, int32_t item, char* buffer, int32_t size) {
  if (buffer == nullptr || size <= 0) return;
  buffer[0] = '\0';
  if (NativeWindow control = Item(dialog, item)) m_system.GetWindowText(control, buffer, static_cast<size_t>(size));
}

void GuiWindowLayer::SelectItemText(int32_t dialog, int32_t item, int32_t start, int32_t end) {
  const NativeWindow control = Item(dialog, item);
  if (control == 0) return;
  m_system.SetFocus(control);
  m_system.SendControlMessage(control, ControlMessage::EditSetSelection, static_cast<uintptr_t>(start), end);
}

void GuiWindowLayer::EnableItem(int32_t dialog, int32_t item, int32_t flag) {
  if (NativeWindow control = Item(dialog, item)) m_system.EnableWindow(control, flag != 0);
}

void GuiWindowLayer::CheckItem(int32_t dialog, int32_t item, int32_t value) {
  SendItem(dialog, item, ControlMessage::ButtonSetCheck, value == 1 ? 1 : 0);
}

// The buttons first..last by control id: the checked one on, every other off.
void GuiWindowLayer::CheckRadioItem(int32_t dialog, int32_t checked, int32_t first, int32_t last) {
  if (Live(dialog) == nullptr) return;
  for (int32_t item = first; item <= last; ++item) {
    SendItem(dialog, item, ControlMessage::ButtonSetCheck, item == checked ? 1 : 0);
  }
}

void GuiWindowLayer::SetDefaultButton(int32_t dialog, int32_t oldButton, int32_t newButton) {
  LayerWindow* window = Live(dialog);
  if (window == nullptr) return;
  SendItem(dialog, oldButton, ControlMessage::ButtonSetStyle, 0);
  m_system.SendControlMessage(window->handle, ControlMessage::DialogSetDefaultId, static_cast<uintptr_t>(newButton),
                              0);
  SendItem(dialog, newButton, ControlMessage::ButtonSetStyle, 1);
}

void GuiWindowLayer::SuspendItemRedraw(int32_t dialog, int32_t item) {
  SendItem(dialog, item, ControlMessage::SetRedraw, 0);
}

void GuiWindowLayer::ResumeItemRedraw(int32_t dialog, int32_t item) {
  const NativeWindow control = Item(dialog, item);
  if (control == 0) return;
  m_system.SendControlMessage(control, ControlMessage::SetRedraw, 1, 0);
  m_system.Invalidate(control, nullptr, true);
}

void GuiWindowLayer::SetWindowTitle(int32_t id, const char* text) {
  if (LayerWindow* window = Live(id)) m_system.SetWindowText(window->handle, text != nullptr ? text : "");
}

intptr_t GuiWindowLayer::SendWindowMessage(int32_t id, uint32_t message, intptr_t lParam) {
  LayerWindow* window = Live(id);
  return window != nullptr ? m_system.SendWindowMessage(window->handle, message, lParam) : 0;
}

// Each entry keeps its pixel width as its item data, so the widest one is found
// without measuring every text again.
int32_t GuiWindowLayer::ListInsertString(int32_t dialog, int32_t item, int32_t index, const char* text) {
  if (Live(dialog) == nullptr) return 0;
  const intptr_t at = SendItem(dialog, item, ControlMessage::ListInsertString, static_cast<uintptr_t>(index),
                               TextParameter(text));
  if (at >= 0) {
    SendItem(dialog, item, ControlMessage::ListSetItemData, static_cast<uintptr_t>(at),
             GetTextWidth(dialog, text != nullptr ? text : "", -1));
  }
  UpdateListExtent(dialog, item);
  return 1;
}

int32_t GuiWindowLayer::ListAddEntry(int32_t dialog, int32_t item, const char* text, intptr_t data) {
  if (Live(dialog) == nullptr) return -1;
  const intptr_t at = SendItem(dialog, item, ControlMessage::ListAddString, 0, TextParameter(text));
  if (at < 0) return -1;
  SendItem(dialog, item, ControlMessage::ListSetItemData, static_cast<uintptr_t>(at), data);
  return static_cast<int32_t>(at);
}

intptr_t GuiWindowLayer::ListGetItemData(int32_t dialog, int32_t item, int32_t index) {
  if (index < 0) return -1;
  return SendItem(dialog, item, ControlMessage::ListGetItemData, static_cast<uintptr_t>(index));
}

int32_t GuiWindowLayer::ListDeleteString(int32_t dialog, int32_t item, int32_t index) {
  if (SendItem(dialog, item, ControlMessage::ListDeleteString, static_cast<uintptr_t>(index)) < 0) return 0;
  UpdateListExtent(dialog, item);
  return 1;
}

int32_t GuiWindowLayer::ListClear(int32_t dialog, int32_t item) {
  if (Live(dialog) == nullptr) return 0;
  SendItem(dialog, item, ControlMessage::ListResetContent);
  UpdateListExtent(dialog, item);
  return 1;
}

int32_t GuiWindowLayer::ListGetCount(int32_t dialog, int32_t item) {
  return static_cast<int32_t>(SendItem(dialog, item, ControlMessage::ListGetCount));
}

int32_t GuiWindowLayer::ListGetSelection(int32_t dialog, int32_t item) {
  return static_cast<int32_t>(SendItem(dialog, item, ControlMessage::ListGetCurrentSelection));
}

int32_t GuiWindowLayer::CopyEntryText(NativeWindow box, bool list, intptr_t index, char* buffer, int32_t size) {
  if (box == 0 || buffer == nullptr || index < 0) return 0;
  const intptr_t length = m_system.SendControlMessage(
      box, list ? ControlMessage::ListGetTextLength : ControlMessage::ComboGetTextLength,
      static_cast<uintptr_t>(index), 0);
  if (length < 0 || length + 1 > size) return 0;
  const intptr_t copied =
      m_system.SendControlMessage(box, list ? ControlMessage::ListGetText : ControlMessage::ComboGetText,
                                  static_cast<uintptr_t>(index), reinterpret_cast<intptr_t>(buffer));
  return copied >= 0 ? 1 : 0;
}

int32_t GuiWindowLayer::ListGetSelectedText(int32_t dialog, int32_t item, char* buffer, int32_t size) {
  return CopyEntryText(Item(dialog, item), true, ListGetSelection(dialog, item), buffer, size);
}

int32_t GuiWindowLayer::ListGetText(int32_t dialog, int32_t item, int32_t index, char* buffer, int32_t size) {
  return CopyEntryText(Item(dialog, item), true, index, buffer, size);
}

// Clearing a single selection answers the error value although it succeeded (the list
// box's own rule), so only setting one can fail.
int32_t GuiWindowLayer::ListSelect(int32_t dialog, int32_t item, int32_t index, int32_t selectFlag) {
  const NativeWindow box = Item(dialog, item);
  if (box == 0) return 0;
  if (m_system.SendControlMessage(box, ControlMessage::ListGetSelectionCount, 0, 0) == -1) {
    const intptr_t result = m_system.SendControlMessage(box, ControlMessage::ListSetCurrentSelection,
                                                        static_cast<uintptr_t>(selectFlag != 0 ? index : -1), 0);
    return selectFlag == 0 || result >= 0 ? 1 : 0;
  }
  return m_system.SendControlMessage(box, ControlMessage::ListSetSelection, selectFlag != 0 ? 1 : 0, index) >= 0 ? 1
                                                                                                               : 0;
}

int32_t GuiWindowLayer::ListGetSelCount(int32_t dialog, int32_t item) {
  return static_cast<int32_t>(SendItem(dialog, item, ControlMessage::ListGetSelectionCount));
}

int32_t GuiWindowLayer::ListGetSelItems(int32_t dialog, int32_t item, int32_t* indexes, int32_t count) {
  if (indexes == nullptr || count <= 0) return 0;
  return static_cast<int32_t>(SendItem(dialog, item, ControlMessage::ListGetSelectedItems,
                                       static_cast<uintptr_t>(count), reinterpret_cast<intptr_t>(indexes)));
}

int32_t GuiWindowLayer::ListSetTabStops(int32_t dialog, int32_t item, int32_t count, const int32_t* stops) {
  if (stops == nullptr || count <= 0) return 0;
  return SendItem(dialog, item, ControlMessage::ListSetTabStops, static_cast<uintptr_t>(count),
                  reinterpret_cast<intptr_t>(stops)) > 0
             ? 1
             : 0;
}

// The horizontal scroll bar appears exactly when the widest entry is wider than the
// box.
void GuiWindowLayer::UpdateListExtent(int32_t dialog, int32_t item) {
  const NativeWindow box = Item(dialog, item);
  if (box == 0) return;
  const intptr_t count = m_system.SendControlMessage(box, ControlMessage::ListGetCount, 0, 0);
  intptr_t widest = -1;
  for (intptr_t i = 0; i < count; ++i) {
    const intptr_t data = m_system.SendControlMessage(box, ControlMessage::ListGetItemData, static_cast<uintptr_t>(i), 0);
    if (data > widest) widest = data;
  }
  const LayerRect outer = m_system.GetWindowRect(box);
  const int32_t width = outer.right - outer.left;
  const int32_t device = m_system.LogicalToDeviceX(box, static_cast<int32_t>(widest));
  m_system.SendControlMessage(box, ControlMessage::ListSetHorizontalExtent,
                              static_cast<uintptr_t>(device > width ? device : 0), 0);
}

int32_t GuiWindowLayer::ComboAddString(int32_t dialog, int32_t item, const char* text) {
  if (Live(dialog) == nullptr) return -1;
  return static_cast<int32_t>(SendItem(dialog, item, ControlMessage::ComboAddString, 0, TextParameter(text)));
}

int32_t GuiWindowLayer::ComboDeleteString(int32_t dialog, int32_t item, int32_t index) {
  return SendItem(dialog, item, ControlMessage::ComboDeleteString, static_cast<uintptr_t>(index)) >= 0 ? 1 : 0;
}

int32_t GuiWindowLayer::ComboClear(int32_t dialog, int32_t item) {
  if (Item(dialog, item) == 0) return 0;
  SendItem(dialog, item, ControlMessage::ComboResetContent);
  return 1;
}

int32_t GuiWindowLayer::ComboGetCount(int32_t dialog, int32_t item) {
  return static_cast<int32_t>(SendItem(dialog, item, ControlMessage::ComboGetCount));
}

int32_t GuiWindowLayer::ComboGetSelection(int32_t dialog, int32_t item) {
  return static_cast<int32_t>(SendItem(dialog, item, ControlMessage::ComboGetCurrentSelection));
}

int32_t GuiWindowLayer::ComboGetSelectedText(int32_t dialog, int32_t item, char* buffer, int32_t size) {
  return CopyEntryText(Item(dialog, item), false, ComboGetSelection(dialog, item), buffer, size);
}

int32_t GuiWindowLayer::ComboSelect(int32_t dialog, int32_t item, int32_t index, int32_t selectFlag) {
  const NativeWindow box = Item(dialog, item);
  if (box == 0) return 0;
  const intptr_t result = m_system.SendControlMessage(box, ControlMessage::ComboSetCurrentSelection,
                                                      static_cast<uintptr_t>(selectFlag != 0 ? index : -1), 0);
  return selectFlag == 0 || result >= 0 ? 1 : 0;
}

void GuiWindowLayer::ComboSetEditSelection(int32_t dialog, int32_t item, int32_t start, int32_t end) {
  const NativeWindow box = Item(dialog, item);
  if (box == 0) return;
  m_system.SetFocus(box);
  const intptr_t range = static_cast<intptr_t>((static_cast<uint32_t>(end) << 16) | (static_cast<uint32_t>(start) & 0xFFFFu));
  m_system.SendControlMessage(box, ControlMessage::ComboSetEditSelection, 0, range);
}

// A control the table cannot take is destroyed again: nothing could ever address it.
int32_t GuiWindowLayer::CreateControl(const LayerRect& bounds, const char* text, uint32_t type, int32_t parent,
                                      int32_t visible, int32_t controlId) {
  LayerWindow* owner = Live(parent);
  if (owner == nullptr || type < kLayerPushButton || type > kLayerWhiteRect) return kNoLayerId;
  const NativeWindow control =
      m_system.CreateControl(owner->handle, type, bounds, text != nullptr ? text : "", visible == 1, controlId);
  if (control == 0) return kNoLayerId;
  m_system.ShowWindow(control, LayerShowMode::Normal);
  const int32_t id = Register(control, type, 0);
  if (id == kNoLayerId) m_system.DestroyWindow(control);
  return id;
}

// Separators ("$") take no command number: the items are numbered 0, 1, 2, ... in
// the order they appear.
int32_t GuiWindowLayer::CreatePopupMenu(int32_t id, const char* const* strings, int32_t count) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return -1;
  if (window->popupMenu != 0) m_system.DestroyMenu(window->popupMenu);
  window->popupMenu = m_system.CreatePopupMenu();
  uint32_t number = 0;
  for (int32_t i = 0; strings != nullptr && i < count; ++i) {
    const char* text = strings[i] != nullptr ? strings[i] : "";
    if (std::strcmp(text, "$") == 0) {
      m_system.AppendMenuSeparator(window->popupMenu);
    } else {
      m_system.AppendMenuItem(window->popupMenu, number++, text);
    }
  }
  return 0;
}

void GuiWindowLayer::TrackPopupMenu(int32_t id, int32_t x, int32_t y) {
  LayerWindow* window = Live(id);
  if (window == nullptr || window->popupMenu == 0) return;
  const NativeWindow handle = window->handle;
  LayerPoint at;
  if (x != -1 || y != -1) {
    at = m_system.ClientToScreen(handle, LayerPoint{y, x});
  } else {
    const LayerPoint mouse = m_system.GetCursorPos();
    if (m_system.WindowFromPoint(mouse) == handle) {
      at = mouse;
    } else {
      const LayerRect client = m_system.GetClientRect(handle);
      at = m_system.ClientToScreen(handle, LayerPoint{client.bottom / 2, client.right / 2});
    }
  }
  window->popupTracking = 1;
  m_system.TrackPopupMenu(window->popupMenu, handle, at.x, at.y);
  // The window may have closed while its menu was open.
  if (Live(id) != nullptr && m_table[id].handle == handle) m_table[id].popupTracking = 0;
}

int32_t GuiWindowLayer::IsPopupTracking(int32_t id) {
  LayerWindow* window = Live(id);
  return window != nullptr ? static_cast<int32_t>(window->popupTracking) : 0;
}

void GuiWindowLayer::ClearPopupTracking(int32_t id) {
  if (LayerWindow* window = Live(id)) window->popupTracking = 0;
}

void GuiWindowLayer::DestroyPopupMenu(int32_t id) {
  LayerWindow* window = Live(id);
  if (window == nullptr || window->popupMenu == 0) return;
  m_system.DestroyMenu(window->popupMenu);
  window->popupMenu = 0;
}

NativeMenu GuiWindowLayer::MenuOf(int32_t id) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return 0;
  return window->handle == m_frame ? m_system.GetMenuBar(m_frame) : window->popupMenu;
}

NativeMenu GuiWindowLayer::FramePopup(uint32_t position) {
  if (m_frame == 0) return 0;
  const NativeMenu bar = m_system.GetMenuBar(m_frame);
  return bar != 0 ? m_system.GetSubMenu(bar, position) : 0;
}

void GuiWindowLayer::EnableMenuItem(int32_t id, uint32_t command, int32_t enable) {
  if (NativeMenu menu = MenuOf(id)) m_system.EnableMenuItem(menu, command, enable != 0);
}

void GuiWindowLayer::CheckMenuItem(int32_t id, uint32_t command, int32_t check) {
  if (NativeMenu menu = MenuOf(id)) m_system.CheckMenuItem(menu, command, check != 0);
}

void GuiWindowLayer::SetMenuItemText(int32_t id, uint32_t command, const char* text) {
  if (NativeMenu menu = MenuOf(id)) m_system.SetMenuItemText(menu, command, text != nullptr ? text : "");
}

void GuiWindowLayer::AppendMenuItem(uint32_t popupPosition, uint32_t command, const char* text, MenuHandler handler) {
  const NativeMenu popup = FramePopup(popupPosition);
  if (popup == 0) return;
  m_system.AppendMenuItem(popup, command, text != nullptr ? text : "");
  if (handler != nullptr) AddMenuHandler(command, handler);
}

void GuiWindowLayer::InsertMenuItem(uint32_t popupPosition, uint32_t command, const char* text,
                                    uint32_t itemPosition, MenuHandler handler) {
  const NativeMenu popup = FramePopup(popupPosition);
  if (popup == 0) return;
  m_system.InsertMenuItemAt(popup, itemPosition, command, text != nullptr ? text : "");
  if (handler != nullptr) AddMenuHandler(command, handler);
}

void GuiWindowLayer::InsertMenuSeparator(uint32_t popupPosition, uint32_t beforeCommand) {
  if (NativeMenu popup = FramePopup(popupPosition)) m_system.InsertMenuSeparatorBefore(popup, beforeCommand);
}

void GuiWindowLayer::DeleteMenuItem(uint32_t popupPosition, uint32_t command) {
  const NativeMenu popup = FramePopup(popupPosition);
  if (popup == 0) return;
  m_system.DeleteMenuItem(popup, command);
  RemoveMenuHandler(command);
}

void GuiWindowLayer::InsertTopMenu(uint32_t position, const char* titleArgument, uint32_t command,
                                   const char* itemText) {
  if (m_frame == 0) return;
  const NativeMenu bar = m_system.GetMenuBar(m_frame);
  if (bar == 0) return;
  const NativeMenu popup = m_system.CreatePopupMenu();
  m_system.AppendMenuItem(popup, command, itemText != nullptr ? itemText : "");
  const std::string title = std::string("&") + (titleArgument != nullptr ? titleArgument : "");
  m_system.InsertPopupAt(bar, position, popup, title.c_str());
  m_system.DrawMenuBar(m_frame);
}

void GuiWindowLayer::RemoveTopMenu(uint32_t position) {
  if (m_frame == 0) return;
  const NativeMenu bar = m_system.GetMenuBar(m_frame);
  if (bar == 0) return;
  if (NativeMenu popup = m_system.RemovePopupAt(bar, position)) m_system.DestroyMenu(popup);
  m_system.DrawMenuBar(m_frame);
}

MenuHandler GuiWindowLayer::FindMenuHandler(uint32_t command) const {
  for (const HandlerPair& pair : m_menuHandlers) {
    if (pair.command == command) return pair.handler;
  }
  return nullptr;
}

int32_t GuiWindowLayer::AddMenuHandler(uint32_t command, MenuHandler handler) {
  try {
    m_menuHandlers.push_back(HandlerPair{command, handler});
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

void GuiWindowLayer::RemoveMenuHandler(uint32_t command) {
  std::erase_if(m_menuHandlers, [command](const HandlerPair& pair) { return pair.command == command; });
}

void GuiWindowLayer::FreeMenuHandlers() {
  m_menuHandlers.clear();
  m_menuHandlers.shrink_to_fit();
}

// The owner -1 is the frame; before the frame exists the box has no owner rather
// than no box at all.
int32_t GuiWindowLayer::ShowMessageBox(int32_t owner, uint32_t kind, const char* text, const char* caption) {
  NativeWindow ownerHandle = 0;
  if (owner == kNoLayerId) {
    ownerHandle = m_frame;
  } else {
    LayerWindow* window = Live(owner);
    if (window == nullptr) return -1;
    ownerHandle = window->handle;
  }
  MessageBoxIcon icon = MessageBoxIcon::Exclamation;
  MessageBoxButtons buttons = MessageBoxButtons::Ok;
  switch (kind) {
    case kMessageBoxInformation: icon = MessageBoxIcon::Asterisk; break;
    case kMessageBoxYesNo: icon = MessageBoxIcon::Question; buttons = MessageBoxButtons::YesNo; break;
    case kMessageBoxError: icon = MessageBoxIcon::Hand; break;
    case kMessageBoxOkCancel: buttons = MessageBoxButtons::OkCancel; break;
    default: break;
  }
  char usualCaption[256];
  GetMessageBoxCaption(usualCaption, sizeof usualCaption);
  if (caption == nullptr) caption = usualCaption;
  const bool childOwner = owner != kNoLayerId && IsOfType(owner, kLayerChildWindow);
  if (childOwner) {
    PostCaptionInactive(owner);
    m_system.RunRepaintRound();
  }
  const MessageBoxReply reply = m_system.MessageBox(ownerHandle, text != nullptr ? text : "", caption, icon, buttons);
  if (childOwner) PostCaptionActive(owner);
  switch (reply) {
    case MessageBoxReply::Ok: return kMessageBoxAnswerOk;
    case MessageBoxReply::Cancel: return kMessageBoxAnswerCancel;
    case MessageBoxReply::Yes: return kMessageBoxAnswerYes;
    case MessageBoxReply::No: return kMessageBoxAnswerNo;
    default: return kMessageBoxAnswerOther;
  }
}

int32_t GuiWindowLayer::ShowWarningBox(int32_t id, const char* text) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return -1;
  char caption[256];
  GetMessageBoxCaption(caption, sizeof caption);
  const MessageBoxReply reply = m_system.MessageBox(window->handle, text != nullptr ? text : "", caption,
                                                    MessageBoxIcon::Exclamation, MessageBoxButtons::Ok);
  return reply == MessageBoxReply::Ok ? kMessageBoxAnswerOk : kMessageBoxAnswerOther;
}

void GuiWindowLayer::GetMessageBoxCaption(char* buffer, size_t size) {
  const int32_t frame = IdOf(m_frame);
  CopyBounded(buffer, size, frame != kNoLayerId ? reinterpret_cast<const char*>(m_table[frame].userWord) : nullptr);
}

uint32_t GuiWindowLayer::LoadResourceString(uint32_t number, char* buffer, uint32_t size) {
  return WindowLayer::LoadResourceString(number, buffer, size);
}

void GuiWindowLayer::GetProgramFileName(char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return;
  buffer[0] = '\0';
  m_system.GetProgramFileName(buffer, size);
}

int32_t GuiWindowLayer::ShowHelp(int32_t id, const char* file, uint32_t command, uintptr_t data) {
  LayerWindow* window = Live(id);
  if (window == nullptr) return 0;
  const bool shown = m_system.WinHelp(window->handle, file != nullptr ? file : "", command, data);
  ReactivateAfterClose(kNoLayerId);
  return shown ? 1 : 0;
}

void GuiWindowLayer::FormatMemoryStatus(char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return;
  std::snprintf(buffer, size, " Global Mem Avail: %lli bytes ",
                static_cast<long long>(m_system.AvailableVirtualMemory()));
}

uint32_t GuiWindowLayer::GetSystemElementColor(uint32_t element, int32_t foreground) {
  const bool fore = foreground != 0;
  SystemColor color = SystemColor::ScrollBar;
  switch (element) {
    case 0: color = fore ? SystemColor::MenuText : SystemColor::Menu; break;
    case 1: color = fore ? SystemColor::InactiveCaption : SystemColor::InactiveBorder; break;
    case 2: color = fore ? SystemColor::CaptionText : SystemColor::ActiveCaption; break;
    case 3: color = SystemColor::ActiveBorder; break;
    case 4:
    case 5: color = fore ? SystemColor::WindowText : SystemColor::Window; break;
    case 6: color = fore ? SystemColor::ButtonText : SystemColor::ButtonFace; break;
    default: break;
  }
  return SwapRedBlue(m_system.GetSystemColor(color));
}

int32_t GuiWindowLayer::GetCaptionHeight() { return m_system.GetSystemMetric(SystemMetric::CaptionHeight); }
int32_t GuiWindowLayer::GetHorizontalScrollHeight() {
  return m_system.GetSystemMetric(SystemMetric::HorizontalScrollHeight);
}
int32_t GuiWindowLayer::GetVerticalScrollWidth() { return m_system.GetSystemMetric(SystemMetric::VerticalScrollWidth); }
int32_t GuiWindowLayer::GetIconSpacingX() { return m_system.GetSystemMetric(SystemMetric::IconSpacingX); }
int32_t GuiWindowLayer::GetIconSpacingY() { return m_system.GetSystemMetric(SystemMetric::IconSpacingY); }

// One beep switch for the whole program: the core's, which its own callers use too.
void GuiWindowLayer::Beep() {
  if (WindowLayer::IsBeepEnabled()) m_system.MessageBeep();
}

void GuiWindowLayer::SetBeepEnabled(int32_t flag) { WindowLayer::SetBeepEnabled(flag != 0); }

}  // namespace zentor
