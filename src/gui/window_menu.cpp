#include "gui/window_menu.h"

#include <cstdio>

#include "core/viewpoint_manager.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/win_super.h"
#include "gui/window_table.h"

namespace zentor {
namespace {

constexpr int32_t kWindowListBox = 101;
constexpr char kMoreWindowsText[] = "&More Windows...";

std::vector<WindowRecord>& List() {
  static std::vector<WindowRecord> records;
  return records;
}

std::string Cut(const std::string& text) {
  return text.size() < kWindowRecordTextSize ? text : text.substr(0, kWindowRecordTextSize - 1);
}

std::string ViewpointName(int32_t value) {
  char name[ViewpointManager::kMaxDisplayNameLength + 3];
  FormatViewpointName(static_cast<uint32_t>(value), name, sizeof name, true);
  return name;
}

// The first entry, and any whose window has no viewpoint, show none.
bool ShowsViewpoint(const WindowRecord& record, size_t place) {
  return place != 0 && record.viewpointValue != kWindowRecordNoViewpoint;
}

std::string MenuText(const WindowRecord& record, size_t place) {
  std::string text = "&" + std::to_string(place + 1) + " " + record.title;
  if (ShowsViewpoint(record, place)) text += " " + ViewpointName(record.viewpointValue);
  return Cut(text);
}

std::string ListText(const WindowRecord& record, size_t place) {
  return ShowsViewpoint(record, place) ? Cut(record.title + " " + ViewpointName(record.viewpointValue)) : record.title;
}

void CopyText(const std::string& text, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return;
  std::snprintf(buffer, size, "%s", text.c_str());
}

std::vector<WindowRecord>::iterator FindWindow(int32_t windowId) {
  std::vector<WindowRecord>& records = List();
  for (auto it = records.begin(); it != records.end(); ++it) {
    if (it->windowId == windowId) return it;
  }
  return records.end();
}

}  // namespace

void WindowRecordList::Initialize() { List().clear(); }

void WindowRecordList::Release() {
  List().clear();
  List().shrink_to_fit();
}

int32_t WindowRecordList::Count() { return static_cast<int32_t>(List().size()); }

const std::vector<WindowRecord>& WindowRecordList::Records() { return List(); }

// A window after the first shows the viewpoint its object has; the first never does.
uint32_t WindowRecordList::Append(int32_t windowId, const char* title, char* text, size_t size) {
  std::vector<WindowRecord>& records = List();
  WindowRecord record;
  record.windowId = windowId;
  record.title = Cut(title != nullptr ? title : "");
  record.command = kWindowMenuFirstCommand + static_cast<uint32_t>(records.size());
  if (!records.empty()) {
    const WinSuper* window = WindowTable::Get(windowId);
    record.viewpointValue =
        window != nullptr ? static_cast<int32_t>(ViewpointValueOf(*window)) : kWindowRecordNoViewpoint;
  }
  record.menuText = MenuText(record, records.size());
  CopyText(record.menuText, text, size);
  records.push_back(std::move(record));
  return records.back().command;
}

int32_t WindowRecordList::Unlink(int32_t windowId) {
  std::vector<WindowRecord>& records = List();
  if (records.empty()) return kWindowListEmptied;
  auto found = FindWindow(windowId);
  if (found == records.end()) return -1;
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->DeleteMenuItem(kWindowMenuPosition, found->command);
  records.erase(found);
  return records.empty() ? kWindowListEmptied : 1;
}

int32_t WindowRecordList::SelectEntry(uint32_t command) {
  std::vector<WindowRecord>& records = List();
  if (records.empty()) return -1;
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (command == kWindowMenuArrangeCommand) {
    if (layer != nullptr) layer->ArrangeIcons(FrameWindow::ClientAreaId());
    return 1;
  }
  if (command == kWindowMenuMoreCommand) {
    ShowWindowListDialog();
    return 1;
  }
  for (const WindowRecord& record : records) {
    if (record.command != command) continue;
    if (layer != nullptr) {
      layer->ActivateWindow(record.windowId);
      if (layer->IsMinimized(record.windowId) == 1) layer->ShowWindowState(record.windowId, kWindowStateNormal);
    }
    return 1;
  }
  return -1;
}

int32_t WindowRecordList::CheckEntry(int32_t windowId, int32_t checked) {
  std::vector<WindowRecord>& records = List();
  if (records.empty()) return -1;
  auto found = FindWindow(windowId);
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (found != records.end() && layer != nullptr) {
    layer->CheckMenuItem(layer->GetParentWindow(windowId), found->command, checked);
  }
  return 0;
}

// Every entry gets the command of its place, listed or not, so that no two entries
// ever share one (the window list finds entries by command).
void WindowRecordList::RebuildMenu() {
  std::vector<WindowRecord>& records = List();
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (records.empty() || layer == nullptr) return;
  layer->DeleteMenuItem(kWindowMenuPosition, kWindowMenuMoreCommand);
  for (const WindowRecord& record : records) layer->DeleteMenuItem(kWindowMenuPosition, record.command);
  for (size_t place = 0; place < records.size(); ++place) {
    WindowRecord& record = records[place];
    record.command = kWindowMenuFirstCommand + static_cast<uint32_t>(place);
    record.menuText = MenuText(record, place);
    if (place < static_cast<size_t>(kWindowMenuRebuiltEntries)) {
      layer->AppendMenuItem(kWindowMenuPosition, record.command, record.menuText.c_str(), nullptr);
    }
  }
  if (records.size() >= static_cast<size_t>(kWindowMenuRebuiltEntries)) {
    layer->AppendMenuItem(kWindowMenuPosition, kWindowMenuMoreCommand, kMoreWindowsText, nullptr);
  }
}

// While windows are only added the menu numbers nine and then offers the rest
// through "&More Windows...".
void AddWindowMenuEntry(int32_t windowId, const char* title) {
  const int32_t before = WindowRecordList::Count();
  char text[kWindowRecordTextSize];
  const uint32_t command = WindowRecordList::Append(windowId, title, text, sizeof text);
  GuiWindowLayer* layer = InstalledGuiWindowLayer();
  if (layer == nullptr) return;
  if (before == 0) {
    layer->InsertTopMenu(kWindowMenuPosition, "Window", command, text);
  } else if (before == 9) {
    layer->AppendMenuItem(kWindowMenuPosition, kWindowMenuMoreCommand, kMoreWindowsText, nullptr);
  } else if (before < 9) {
    layer->AppendMenuItem(kWindowMenuPosition, command, text, nullptr);
  }
}

void RemoveWindowMenuEntry(int32_t windowId) {
  if (FindWindow(windowId) == List().end()) return;
  if (WindowRecordList::Unlink(windowId) == kWindowListEmptied) {
    if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->RemoveTopMenu(kWindowMenuPosition);
    return;
  }
  WindowRecordList::RebuildMenu();
}

bool HandleWindowMenuCommand(uint32_t command) {
  const uint32_t last = kWindowMenuFirstCommand + static_cast<uint32_t>(WindowRecordList::Count());
  if (command < kWindowMenuMoreCommand || command > last) return false;
  WindowRecordList::SelectEntry(command);
  return true;
}

WindowListDialog::WindowListDialog() : DialogBody(DialogTemplate{"WINMENU", kWindowListHelpContext}) {}

void WindowListDialog::OnInitialise() {
  GuiWindowLayer& layer = Layer();
  layer.ListSelect(DialogId(), kWindowListBox, -1, 0);
  const std::vector<WindowRecord>& records = WindowRecordList::Records();
  for (size_t place = 0; place < records.size(); ++place) {
    layer.ListInsertString(DialogId(), kWindowListBox, -1, ListText(records[place], place).c_str());
  }
}

// The chosen window comes to the front while the dialog is still up; the layer gives
// it back the activation once the dialog is gone.
void WindowListDialog::OnOk() {
  const int32_t index = Layer().ListGetSelection(DialogId(), kWindowListBox);
  const std::vector<WindowRecord>& records = WindowRecordList::Records();
  uint32_t command = 0;
  if (index >= 0 && static_cast<size_t>(index) < records.size()) command = records[index].command;
  if (command != 0) WindowRecordList::SelectEntry(command);
  CloseAndReactivate(kDialogResultOk);
}

void WindowListDialog::OnCancel() { CloseAndReactivate(kDialogResultCancel); }

void WindowListDialog::OnControl(int32_t control, int32_t notification) {
  if (control == kWindowListBox && notification == kNotifyListDoubleClick) OnOk();
}

void WindowListDialog::CloseAndReactivate(int32_t result) {
  GuiWindowLayer& layer = Layer();
  Close(result);
  layer.ReactivateAfterClose(kNoLayerId);
}

void ShowWindowListDialog() {
  static WindowListDialog dialog;
  RunModalDialog(dialog, kNoLayerId);
}

}  // namespace zentor
