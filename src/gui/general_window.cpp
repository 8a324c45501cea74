#include "gui/general_window.h"

#include "core/current_viewpoint.h"
#include "core/hi_service.h"
#include "core/view_kind.h"
#include "gui/dialog_request_target.h"
#include "gui/gui_window_layer.h"
#include "gui/pane_services.h"
#include "gui/view_dispatcher.h"
#include "core/viewpoint_manager.h"
#include "gui/color_settings.h"
#include "gui/general_status.h"

namespace zentor {

namespace {

// The strip's height in vertical dialog units.
constexpr int32_t kStripHeightUnits = 8;

// The first and last frame-menu command on the Source window's current line, and the
// pane command each of 0x67..0x6d runs.
constexpr int32_t kFirstSourceMenuCommand = 0x65;
constexpr int32_t kToggleAsmCommand = 0x66;
constexpr int32_t kLastSourceMenuCommand = 0x6d;
constexpr int32_t kSourcePaneCommands[] = {0x76, 0x6d, 0x6f, 0x6a, 0x8d, 0x8e, 0x7b};

GeneralWindow* g_generalWindow = nullptr;

}  // namespace

// 1. The change records are registered only after the first refresh, which paints
//    whatever they say.
// 2. The layer learns which child window is the strip, so moving to the next child
//    window passes over it.
GeneralWindow::GeneralWindow(NativeWindow window, uint32_t viewpointValue, const char* title)
    : WinSuper(window, viewpointValue, title),
      m_records{CollectableRecord(kRecordCurrentViewpoint), CollectableRecord(kRecordSymbolBrowsing),
                CollectableRecord(kRecordLocations), CollectableRecord(kRecordStatusLine),
                CollectableRecord(kRecordExecutionState)} {
  SetKind(kViewStatus);
  g_generalWindow = this;
  Layer()->SetGeneralWindow(window);
  Place();
  m_statusText.clear();
  Refresh(1);
  for (CollectableRecord& record : m_records) record.Register();
}

GeneralWindow::~GeneralWindow() {
  if (g_generalWindow == this) g_generalWindow = nullptr;
  if (Layer() != nullptr) Layer()->SetGeneralWindow(0);
}

void GeneralWindow::Place() {
  GuiWindowLayer* layer = Layer();
  LayerRect parent;
  if (layer->GetClientArea(layer->GetParentWindow(LayerWindowId()), &parent) == nullptr) return;
  const int32_t height = layer->DialogUnitsToPixelsY(kStripHeightUnits);
  const int32_t width = parent.right - parent.left;
  SetClientArea(LayerRect{0, 0, height, width});
  layer->SetWindowBounds(LayerWindowId(), LayerRect{parent.bottom - height, parent.left, height, width});
}

// 1. Every record is tested, so each mark is cleared even when an earlier one was set.
// 2. Without a mark and without force nothing is redrawn.
// 3. An empty status text of a current viewpoint leaves the strip as it is.
void GeneralWindow::Refresh(int32_t force) {
  bool changed = false;
  for (CollectableRecord& record : m_records) {
    if (record.TestAndClearChanged() != 0) changed = true;
  }
  if (!changed && force == 0) return;
  RefreshGeneralStatus(2);
  const ViewpointHandle current = CurrentViewpoint();
  m_statusText = ViewpointManager::StatusTextOf(current).data();
  if (m_statusText.empty() && !current.IsNone()) return;
  Paint();
}

void GeneralWindow::Paint() {
  GuiWindowLayer* layer = Layer();
  const int32_t id = LayerWindowId();
  LayerRect area;
  if (layer->GetClientArea(id, &area) == nullptr) return;
  const uint32_t background = ColorSettings::GetColor(GetViewpoint(), kColorElementStatusLine, 0);
  const uint32_t text = ColorSettings::GetColor(GetViewpoint(), kColorElementStatusLine, 1);
  ClearPaneRect(id, nullptr, background);
  layer->SetBackgroundColor(id, background);
  layer->SetTextColor(id, text);
  const char* shown = CurrentViewpoint().IsNone() ? kNoProgramText : m_statusText.c_str();
  layer->DrawTextAt(id, 0, area.bottom - 2, shown, -1);
}

void RefreshGeneralWindow(int32_t force) {
  if (g_generalWindow != nullptr) g_generalWindow->OnRefresh(force);
}

int32_t GeneralWindowLayerId() { return g_generalWindow != nullptr ? g_generalWindow->LayerWindowId() : kNoLayerId; }

GeneralWindow* TheGeneralWindow() { return g_generalWindow; }

void PlaceGeneralWindow() {
  if (g_generalWindow != nullptr) g_generalWindow->Place();
}

void SetGeneralWindowPaneRect(const LayerRect& area) {
  if (g_generalWindow != nullptr) g_generalWindow->SetClientArea(area);
}

SourceLineCommands::~SourceLineCommands() = default;
void SourceLineCommands::ToggleAsmDisplay() {}
int32_t SourceLineCommands::RunSourcePaneCommand(int32_t) { return 0; }

InstalledService<SourceLineCommands>& SourceLineCommandHandler() {
  static InstalledService<SourceLineCommands> handler;
  return handler;
}

void RunSourceMenuCommand(int32_t code) {
  if (code < kFirstSourceMenuCommand || code > kLastSourceMenuCommand) return;
  DVError status(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommand(status, GeneralMenuRequestTarget(), kGuiMenuBracketBegin,
                                reinterpret_cast<intptr_t>(&ShowStatusMessage));
  if (code == kToggleAsmCommand) {
    SourceLineCommandHandler().Get().ToggleAsmDisplay();
  } else if (code > kToggleAsmCommand) {
    SourceLineCommandHandler().Get().RunSourcePaneCommand(kSourcePaneCommands[code - kToggleAsmCommand - 1]);
  }
  if (code != kFirstSourceMenuCommand) {
    if (GuiWindowLayer* layer = InstalledGuiWindowLayer()) layer->ReactivateAfterClose(kNoLayerId);
  }
  DVError closing(0, 0, kDisplayByFocus);
  ViewDispatcher::RunGuiCommand(closing, GeneralMenuRequestTarget(), kGuiMenuBracketEnd, 0);
}

}  // namespace zentor
