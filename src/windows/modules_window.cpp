#include "windows/modules_window.h"

#include <string>

#include "core/dv_error.h"
#include "core/view_kind.h"
#include "gui/gui_window_layer.h"
#include "gui/key_translation.h"
#include "gui/text_pane_drawing.h"
#include "gui/view_dispatcher.h"
#include "gui/window_factory.h"
#include "windows/refresh_pending.h"
#include "windows/window_input.h"

namespace zentor {

namespace {

// The engine's change kind for the module list.
constexpr uint32_t kRecordModuleList = 12;
constexpr uint32_t kModulesPaneStyle = 0x2c;
constexpr int32_t kKeyEnter = 13;
// A module name the browse request takes is at most this long.
constexpr size_t kMaxBrowsedName = 254;

constexpr const char* kPopupItems[] = {"&Browse To"};
constexpr int32_t kBrowseItem = 0;

std::unique_ptr<WinSuper> MakeModulesWindow(NativeWindow window, uint32_t viewpointValue, const char* title) {
  return std::make_unique<ModulesWindow>(window, viewpointValue, title);
}

}  // namespace

// 1. The width is taken before the first request, so the first list already fits.
// 2. The change record is registered before the window opens, so a change the
//    opening itself makes is seen at the first refresh.
// 3. Opening and the first refresh each report their failure; a failed opening sends
//    no refresh.
ModulesWindow::ModulesWindow(NativeWindow window, uint32_t viewpointValue, const char* title)
    : WinSuper(window, viewpointValue, title), m_changeRecord(kRecordModuleList, ViewpointHandle(viewpointValue)) {
  ListInWindowMenu("Modules");
  m_width = WidthArgument();
  Layer()->CreatePopupMenu(LayerWindowId(), kPopupItems, 1);
  SetKind(kViewModules);
  SetPaneStyle(kModulesPaneStyle);
  m_changeRecord.Register();
  DVError status(0, 0, kDisplayByFocus);
  const auto width = reinterpret_cast<intptr_t>(&m_width);
  if (ViewDispatcher::RunGuiCommand(status, *this, kGuiOpened, width) != 0 ||
      ViewDispatcher::RunGuiCommand(status, *this, kGuiRefresh, width) != 0) {
    status.Report();
    return;
  }
  GetTextPane().Revalidate();
}

// The manager goes whatever its closing answers; its failure is reported, and the
// window leaves the screen all the same.
ModulesWindow::~ModulesWindow() {
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommand(status, *this, kGuiClosing, 0);
  status.Report();
  m_changeRecord.Unregister();
  Layer()->DestroyPopupMenu(LayerWindowId());
  Layer()->CloseWindow(LayerWindowId());
  Layer()->Destroy(LayerWindowId());
}

uint32_t ModulesWindow::WidthArgument() const {
  const int32_t charWidth = GetCharWidth();
  const int32_t columns = charWidth > 0 ? (ClientArea().right - ClientArea().left) / charWidth : 0;
  return columns < static_cast<int32_t>(kModulesMinimumWidth + 1) ? kModulesMinimumWidth
                                                                   : static_cast<uint32_t>(columns);
}

void ModulesWindow::ShowPopup() { Layer()->TrackPopupMenu(LayerWindowId(), -1, -1); }

void ModulesWindow::OnKey(const WindowEvent& event) {
  const int32_t code = event.KeyCode();
  if (code == static_cast<int32_t>(kKeyPopupMenu)) {
    ShowPopup();
  } else if (code == kKeyEnter) {
    BrowseToSelection();
  } else {
    GetTextPane().HandleKey(code);
  }
}

// The left button selects the module under the pointer through the pane's mouse
// handling; the popup opens on the press of another button (its menu takes the
// release), and a double click browses to the name the click before it selected.
void ModulesWindow::OnMouse(const WindowEvent& event) {
  if (event.type == kEventDoubleClick) {
    BrowseToSelection();
  } else if (MouseButton(event) == kMouseLeft) {
    TextPaneDrawing::HandleMouse(*this, event);
  } else if (event.type == kEventMouseDown) {
    ShowPopup();
  }
}

void ModulesWindow::OnCommand(int32_t command) {
  WaitCursor wait;
  if (command == kBrowseItem) BrowseToSelection();
}

void ModulesWindow::OnEngineNotify() {
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommand(status, *this, kGuiEngineNotice, 0);
  GetTextPane().Revalidate();
}

void ModulesWindow::Refresh(intptr_t width, bool report) {
  DVError status(0, 0, kDisplayByFocus);
  if (ViewDispatcher::RunGuiCommand(status, *this, kGuiRefresh, width) == 0) {
    GetTextPane().Revalidate();
  } else if (report) {
    status.Report();
  }
}

void ModulesWindow::OnRefresh(int32_t flags) {
  UpdateTitle();
  const bool changed = m_changeRecord.TestAndClearChanged() != 0;
  if (!changed && (flags & kRefreshPendingModules) == 0) return;
  Refresh(0, false);
  ClearRefreshPending(kRefreshPendingModules);
}

// The list is laid out again at every size, at the new width.
void ModulesWindow::OnResize(const WindowEvent& event) {
  WinSuper::OnResize(event);
  m_width = WidthArgument();
  Refresh(reinterpret_cast<intptr_t>(&m_width), true);
}

// The browse request takes a module by its name behind a ':'.
void ModulesWindow::BrowseToSelection() {
  std::string name = GetTextPane().SelectedFieldText();
  if (name.empty()) return;
  if (name.size() > kMaxBrowsedName) name.resize(kMaxBrowsedName);
  WaitCursor wait;
  const std::string text = ":" + name;
  DVError status(0, 0, kDisplayByFocus);
  if (ViewDispatcher::RunGuiCommandForKind(status, kViewGuiState, nullptr, kGuiBrowse,
                                           reinterpret_cast<intptr_t>(text.c_str())) != 0) {
    status.Report();
  }
}

void InstallModulesWindow() { SetWindowObjectCreator(kViewModules, &MakeModulesWindow); }

}  // namespace zentor
