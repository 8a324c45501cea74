#include "gui/layout_state.h"

#include <string>
#include <vector>

#include "core/busy_pump.h"
#include "core/dv_error.h"
#include "core/program_names.h"
#include "core/target_status.h"
#include "core/view_kind.h"
#include "core/viewpoint_handle.h"
#include "engine/breakpoint_sets.h"
#include "engine/dialog_records.h"
#include "engine/settings_store.h"
#include "gui/custom_button_record.h"
#include "gui/dialog_description_file.h"
#include "gui/frame_children.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/layout_block.h"
#include "gui/notice_router.h"
#include "gui/win_super.h"
#include "gui/window_placement.h"
#include "gui/window_table.h"
#include "support/little_endian.h"
#include "symbols/search_path.h"
#include "symbols/symbol_context.h"
#include "target/tmi_session.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgSettingsWriteFailed = 114;  // "I/O error on the Configuration Management file."
constexpr uint32_t kSaveOnExitSize = 4;
// The room for a saved search path; a longer record is read at the length the store
// gives (as written a path saved longer than this could never be restored).
constexpr uint32_t kSearchPathRoom = 512;
// No path a run sets is longer than this; a record that claims more is damage.
constexpr uint32_t kLongestSearchPath = 64 * 1024;
constexpr uint32_t kRequestDeleteSet = 0xD2;
constexpr uint32_t kRequestSaveSet = 0xD0;
constexpr const char kCurrentSetName[] = "CURRENT";

// The per-kind placements the block carries after the frame and the Command windows.
constexpr int32_t kPlacedKinds[] = {kViewSource,  kViewRegisters, kViewCallstack, kViewWatch,
                                    kViewMemory,  kViewLocals,    kViewModules,   kViewInspect};

struct LayoutStatics {
  bool storeOpened = false;
  bool pathsRestored = false;
  bool settingsApplied = false;
  bool placementsRestored = false;
  bool blockLoaded = false;
  std::vector<WindowLayoutRecord> records;
  uint32_t saveOnExit = 0;
};

LayoutStatics& Statics() {
  static LayoutStatics statics;
  return statics;
}

GuiWindowLayer* Layer() { return InstalledGuiWindowLayer(); }

DialogDescriptionFile& Store() { return TheDialogDescriptionFile(); }

void Warn(uint32_t number) {
  DVError warning(number, kSeverityWarning, kDisplayMessageBox);
  warning.Report();
}

CustomButtonSetOperation g_saveButtons = nullptr;
CustomButtonSetOperation g_restoreButtons = nullptr;

// The buttons of "CURRENT" back in the bar; a failure is shown as a warning and answered.
int32_t RestoreCurrentButtons() {
  if (g_restoreButtons == nullptr) return 0;
  const int32_t result = g_restoreButtons(kCurrentSetName, "");
  if (result != 0) Warn(static_cast<uint32_t>(result));
  return result;
}

void CheckFrameItem(uint32_t command, bool on) {
  if (GuiWindowLayer* layer = Layer(); layer != nullptr && FrameWindow::FrameId() != kNoLayerId) {
    layer->CheckMenuItem(FrameWindow::FrameId(), command, on ? 1 : 0);
  }
}

// A store that cannot be written raises 114; the answer is then false.
bool ReplaceRecord(uint32_t id, const std::string& data) {
  try {
    Store().RemoveRecord(id, kLayoutEntryName);
    return Store().AddRecord(id, kLayoutEntryName, "", static_cast<uint32_t>(data.size()),
                             reinterpret_cast<const uint8_t*>(data.data())) == 0;
  } catch (const DVError&) {
    return false;
  }
}

bool ReadWholeRecord(uint32_t id, uint32_t room, std::vector<uint8_t>* data) {
  try {
    char description[kDialogDescriptionField] = {};
    data->assign(room, 0);
    uint32_t length = room;
    int32_t result = Store().ReadRecord(id, kLayoutEntryName, description, &length, data->data());
    if (result == kStoreBadLength && length > room && length <= kLongestSearchPath) {
      data->assign(length, 0);
      result = Store().ReadRecord(id, kLayoutEntryName, description, &length, data->data());
    }
    if (result != 0 || length > data->size()) return false;
    data->resize(length);
    return true;
  } catch (const DVError&) {
    return false;
  }
}

bool IsEmptyRect(const LayerRect& bounds) { return bounds.bottom <= 0 || bounds.right <= 0; }

// A saved rectangle is read from a file: coordinates beyond what a screen could have
// are damage, and the window keeps its default place.
constexpr int32_t kLargestCoordinate = 32767;
bool InRange(int32_t value, int32_t low) { return value >= low && value <= kLargestCoordinate; }
bool IsUsableBounds(const LayerRect& bounds) {
  return InRange(bounds.top, -kLargestCoordinate) && InRange(bounds.left, -kLargestCoordinate) &&
         InRange(bounds.bottom, 1) && InRange(bounds.right, 1);
}
// A placement is a screen rectangle, or a size whose position the system chooses.
bool IsUsablePlacement(const LayerRect& placement) {
  if (placement.left == kPlaceByDefault) return InRange(placement.bottom, 1) && InRange(placement.right, 1);
  return InRange(placement.top, -kLargestCoordinate) && InRange(placement.left, -kLargestCoordinate) &&
         InRange(placement.bottom, placement.top + 1) && InRange(placement.right, placement.left + 1);
}
bool IsPlacedKind(uint32_t kind) {
  for (int32_t placed : kPlacedKinds) {
    if (static_cast<uint32_t>(placed) == kind) return true;
  }
  return false;
}

LayerRect RectOf(const LayoutBounds& bounds) {
  return LayerRect{bounds.m_top, bounds.m_left, bounds.m_height, bounds.m_width};
}

LayoutBounds BoundsOf(const LayerRect& rect) { return LayoutBounds{rect.top, rect.left, rect.bottom, rect.right}; }

// A maximised or minimised frame comes back at its restore bounds; a saved show state
// outside the three is taken as normal.
int32_t ShowStateOf(const WindowLayoutRecord& record) {
  return record.m_showState == kWindowStateMinimized || record.m_showState == kWindowStateMaximized
             ? static_cast<int32_t>(record.m_showState)
             : kWindowStateNormal;
}

LayerRect FrameBoundsOf(const WindowLayoutRecord& record) {
  const LayerRect chosen = RectOf(ShowStateOf(record) == kWindowStateNormal ? record.m_bounds : record.m_savedBounds);
  return IsEmptyRect(chosen) ? RectOf(record.m_bounds) : chosen;
}

uint32_t ViewpointOf(const WindowLayoutRecord& record) {
  ViewpointHandle viewpoint(ViewpointHandle::kNone);
  try {
    viewpoint.SetFromText(record.m_viewpointText.c_str());
  } catch (const DVError&) {
    return ViewpointHandle::kNone;
  }
  return viewpoint.Value();
}

// The record of one window as it stands: its bounds, its restore bounds (a window
// shown normal is at them), its focus and show state.
WindowLayoutRecord RecordOfWindow(uint32_t kind, int32_t id) {
  GuiWindowLayer& layer = *Layer();
  WindowLayoutRecord record;
  record.m_kind = kind;
  record.m_layerId = id;
  LayerRect bounds{};
  layer.GetWindowBounds(id, &bounds);
  record.m_bounds = BoundsOf(bounds);
  const int32_t state = layer.GetWindowState(id);
  record.m_showState = state == kWindowStateMinimized || state == kWindowStateMaximized ? state : kWindowStateNormal;
  LayerRect saved{};
  if (record.m_showState == kWindowStateNormal || layer.GetSavedBounds(id, &saved) == 0 || IsEmptyRect(saved)) {
    saved = bounds;
  }
  record.m_savedBounds = BoundsOf(saved);
  record.m_focus = layer.GetFocusWindow() == id ? 1 : 0;
  return record;
}

std::vector<WindowLayoutRecord> BuildLayout() {
  GuiWindowLayer& layer = *Layer();
  std::vector<WindowLayoutRecord> records;
  records.push_back(RecordOfWindow(kFrameLayoutKind, FrameWindow::FrameId()));
  int32_t cursor = 0;
  WindowTable::ResetIterator(cursor);
  while (WinSuper* window = WindowTable::Next(cursor)) {
    if (window->Kind() == kViewCommand) records.push_back(RecordOfWindow(kViewCommand, window->LayerWindowId()));
  }
  const int32_t focus = layer.GetFocusWindow();
  const int32_t state = layer.GetWindowState(0);
  for (int32_t kind : kPlacedKinds) {
    WindowLayoutRecord record;
    record.m_kind = static_cast<uint32_t>(kind);
    record.m_bounds = record.m_savedBounds = BoundsOf(GetKindPlacement(kind));
    record.m_focus = focus == 0 ? 1 : 0;
    record.m_showState = state == kWindowStateMinimized || state == kWindowStateMaximized ? state : kWindowStateNormal;
    records.push_back(record);
  }
  return records;
}

void SaveCurrentBreakpoints() {
  NamedSetRequest request;
  request.m_name = RWCString(kCurrentSetName);
  DVError status(0, 0, kDisplayMessageBox);
  HandleBreakpointRequest(&status, 0, kRequestDeleteSet, &request);
  status = DVError(0, 0, kDisplayMessageBox);
  HandleBreakpointRequest(&status, 0, kRequestSaveSet, &request);
  if (!status.IsOkayOrDisplayed()) status.Report();
}

// A window the start-up opened before the placements came back (the Source window of
// the stop the agent reports when it connects) goes where its kind was saved.
void PlaceOpenWindows(int32_t kind, const LayerRect& placement) {
  if (placement.left == kPlaceByDefault) return;
  GuiWindowLayer& layer = *Layer();
  int32_t cursor = 0;
  WindowTable::ResetIterator(cursor);
  while (WinSuper* window = WindowTable::Next(cursor)) {
    const int32_t id = window->LayerWindowId();
    if (window->Kind() != kind || layer.GetWindowState(id) != kWindowStateNormal) continue;
    layer.SetWindowBounds(id, LayerRect{placement.top, placement.left, placement.bottom - placement.top,
                                        placement.right - placement.left});
  }
}

void RestorePlacements(const std::vector<WindowLayoutRecord>& records) {
  GuiWindowLayer& layer = *Layer();
  const int32_t frame = FrameWindow::FrameId();
  for (const WindowLayoutRecord& record : records) {
    if (record.m_kind == kFrameLayoutKind) {
      const LayerRect bounds = FrameBoundsOf(record);
      if (!IsUsableBounds(bounds)) continue;
      const int32_t state = ShowStateOf(record);
      layer.SetSavedBounds(frame, bounds);
      if (state == kWindowStateNormal) layer.SetWindowBounds(frame, bounds);
      layer.ShowWindowState(frame, state);
    } else if (IsPlacedKind(record.m_kind) && IsUsablePlacement(RectOf(record.m_bounds))) {
      ViewpointOf(record);
      SetKindPlacement(static_cast<int32_t>(record.m_kind), RectOf(record.m_bounds));
      PlaceOpenWindows(static_cast<int32_t>(record.m_kind), RectOf(record.m_bounds));
    }
  }
}

// The Command window is the frame's client area: the first record makes it, and only
// when the run has none yet.
void RestoreCommandWindows(int32_t frameId, const std::vector<WindowLayoutRecord>& records) {
  for (const WindowLayoutRecord& record : records) {
    if (record.m_kind != kViewCommand) continue;
    bool exists = false;
    int32_t cursor = 0;
    WindowTable::ResetIterator(cursor);
    while (WinSuper* window = WindowTable::Next(cursor)) exists = exists || window->Kind() == kViewCommand;
    if (exists) return;
    const LayerRect bounds = RectOf(record.m_bounds);
    CreateChildWindow(frameId, kViewCommand, ShowStateOf(record), &bounds, ViewpointOf(record));
  }
}

}  // namespace

int32_t LayoutState::OpenStore(const char* programPath, uint32_t* length) {
  LayoutStatics& statics = Statics();
  if (!statics.storeOpened) {
    // Before start-up has named the program there is no store of its own.
    if (programPath == nullptr && ProgramBaseName().empty()) return -1;
    const std::string base =
        programPath != nullptr ? StripExtension(programPath) : ProgramDirectory() + ProgramBaseName();
    if (Store().Open((base + ".ddb").c_str()) != 0) return -1;
    statics.storeOpened = true;
  }
  try {
    std::vector<uint8_t> entry(kDialogListEntryLimit * 2);
    if (Store().ListRecords(kWindowLayoutRecordId, kListFirstBatch, entry.data(), static_cast<uint32_t>(entry.size()),
                            kLayoutEntryName) <= 0) {
      return -1;
    }
    DialogEntryInfo info;
    if (DialogDescriptionFile::ParseListEntry(entry.data(), entry.size(), &info) == 0) return -1;
    if (length != nullptr) *length = info.m_dataLength;
  } catch (const DVError&) {
    return -1;
  }
  return 0;
}

int32_t LayoutState::LoadRecords(uint32_t length) {
  LayoutStatics& statics = Statics();
  std::vector<WindowLayoutRecord> records;
  // The block is read at the length the store gives; the caller's length only said
  // that there is one.
  (void)length;
  if (ReadLayoutBlock(&records) != 0) return -1;
  statics.records = std::move(records);
  statics.blockLoaded = true;
  std::vector<uint8_t> word;
  if (ReadWholeRecord(kSaveOnExitRecordId, kSaveOnExitSize, &word) && word.size() == kSaveOnExitSize) {
    statics.saveOnExit = value_bytes::LoadU32(word.data());
  }
  CheckFrameItem(kCommandSaveOnExit, statics.saveOnExit != 0);
  RestoreSearchPaths();
  return 0;
}

void LayoutState::RestoreSearchPaths() {
  LayoutStatics& statics = Statics();
  if (statics.pathsRestored) return;
  statics.pathsRestored = true;
  const uint32_t records[] = {kViewpointPathRecordId, kGlobalPathRecordId};
  for (uint32_t selector = 0; selector < 2; ++selector) {
    std::vector<uint8_t> data;
    if (!ReadWholeRecord(records[selector], kSearchPathRoom, &data) || data.empty()) continue;
    const std::string text(data.begin(), data.end());
    const std::string path = text.substr(0, text.find('\0'));
    if (path.empty()) continue;
    try {
      SetSearchPath(RWCString(path.c_str()), selector);
    } catch (DVError& error) {
      error.Report();
    }
  }
}

int32_t LayoutState::GetSavedFrameBounds(const char* programPath, LayerRect* bounds, int32_t* showState) {
  uint32_t length = 0;
  if (OpenStore(programPath, &length) != 0 || LoadRecords(length) != 0) return -1;
  const std::vector<WindowLayoutRecord>& records = Statics().records;
  if (records.empty()) return -1;
  if (records.front().m_kind != kFrameLayoutKind) return -1;
  const LayerRect chosen = FrameBoundsOf(records.front());
  if (!IsUsableBounds(chosen)) return -1;
  if (bounds != nullptr) *bounds = chosen;
  if (showState != nullptr) *showState = ShowStateOf(records.front());
  return 0;
}

int32_t LayoutState::RestoreWindows(int32_t frameId, uint32_t pass) {
  uint32_t length = 0;
  if (OpenStore(nullptr, &length) != 0) return -1;
  LayoutStatics& statics = Statics();
  if (!statics.blockLoaded && LoadRecords(length) != 0) return -1;
  // The program entry may have loaded the records before the frame had its menu.
  CheckFrameItem(kCommandSaveOnExit, statics.saveOnExit != 0);
  if (pass == kRestorePlacements) {
    statics.placementsRestored = true;
    RestorePlacements(statics.records);
  } else if (pass == kRestoreCommandWindows) {
    RestoreCommandWindows(frameId, statics.records);
  }
  return RestoreCurrentButtons();
}

void LayoutState::ActivateFocusedWindow() {
  GuiWindowLayer* layer = Layer();
  if (layer == nullptr) return;
  for (const WindowLayoutRecord& record : Statics().records) {
    if (record.m_focus == 1 && layer->Record(record.m_layerId) != nullptr) layer->ActivateWindow(record.m_layerId);
  }
}

// The ids are those of the run that saved the block: only a window of the record's
// kind under the id takes its settings.
void LayoutState::ApplyWindowSettings() {
  LayoutStatics& statics = Statics();
  if (!statics.storeOpened) return;
  for (const WindowLayoutRecord& record : statics.records) {
    WinSuper* window = WindowTable::Get(record.m_layerId);
    if (window != nullptr && window->Kind() == static_cast<int32_t>(record.m_kind)) window->RestoreSettings();
  }
  statics.records.clear();
  statics.records.shrink_to_fit();
}

void LayoutState::ApplyPendingSettings() {
  LayoutStatics& statics = Statics();
  if (statics.settingsApplied) return;
  statics.settingsApplied = true;
  ApplyWindowSettings();
}

void LayoutState::CloseAllWindows() {
  for (int32_t id = 0; id < kLayerSlotCount; ++id) {
    WinSuper* window = WindowTable::Get(id);
    if (window != nullptr && window->Kind() != kViewStatus) DestroyWindowObject(id);
  }
}

int32_t LayoutState::RestoreFromStore() {
  uint32_t length = 0;
  if (OpenStore(nullptr, &length) != 0) return -1;
  LayoutStatics& statics = Statics();
  statics.blockLoaded = false;
  PumpingOff off;
  CloseAllWindows();
  const int32_t frame = FrameWindow::FrameId();
  if (RestoreWindows(frame, kRestoreCommandWindows) != 0) return -1;
  RestoreWindows(frame, kRestorePlacements);
  ActivateFocusedWindow();
  RestoreSearchPaths();
  ApplyWindowSettings();
  return 0;
}

uint32_t LayoutState::SaveOnExitWord() { return Statics().saveOnExit; }

bool LayoutState::PlacementsRestored() { return Statics().placementsRestored; }

void LayoutState::Reset() { Statics() = LayoutStatics{}; }

void SaveSessionLayout() {
  LayoutStatics& statics = Statics();
  std::string word(kSaveOnExitSize, '\0');
  value_bytes::StoreU32(reinterpret_cast<uint8_t*>(word.data()), statics.saveOnExit);
  if (!ReplaceRecord(kSaveOnExitRecordId, word)) {
    Warn(kMsgSettingsWriteFailed);
    return;
  }
  if (statics.saveOnExit == 0 || Layer() == nullptr || FrameWindow::FrameId() == kNoLayerId) return;
  SymbolContext* context = GetCurrentSymbolContext();
  const std::string viewpointPath = context != nullptr ? context->SourcePathList().AsText().data() : "";
  const std::string globalPath = GetGlobalSearchPath()->AsText().data();
  if (!ReplaceRecord(kViewpointPathRecordId, viewpointPath) || !ReplaceRecord(kGlobalPathRecordId, globalPath)) {
    Warn(kMsgSettingsWriteFailed);
    return;
  }
  GuiWindowLayer& layer = *Layer();
  layer.PushCursor(kCursorWait, 1);
  const std::vector<uint8_t> block = EncodeLayoutBlock(BuildLayout());
  if (!ReplaceRecord(kWindowLayoutRecordId, std::string(block.begin(), block.end()))) {
    Warn(kMsgSettingsWriteFailed);
    layer.PopCursor();
    return;
  }
  SaveCurrentBreakpoints();
  if (g_saveButtons != nullptr) {
    if (const int32_t result = g_saveButtons(kCurrentSetName, ""); result != 0) Warn(static_cast<uint32_t>(result));
  }
  layer.PopCursor();
}

void SetCustomButtonSetOperations(CustomButtonSetOperation save, CustomButtonSetOperation restore) {
  g_saveButtons = save;
  g_restoreButtons = restore;
}

void ToggleSaveOnExit() {
  LayoutStatics& statics = Statics();
  statics.saveOnExit = statics.saveOnExit == 0 ? 1 : 0;
  CheckFrameItem(kCommandSaveOnExit, statics.saveOnExit != 0);
}

void ToggleBreakOnNlmLoads() {
  const uint32_t on = TmiProcessorOptionSet() == 0 ? 1 : 0;
  CheckFrameItem(kCommandBreakOnNlmLoads, on != 0);
  TargetStatus status;
  TmiSelectProcessor(&status, on);
  DVError error(status);
  if (!error.IsOkayOrDisplayed()) error.Report();
}

void ClearSavedValues() {
  Statics().saveOnExit = 0;
  CheckFrameItem(kCommandSaveOnExit, false);
  try {
    for (uint32_t id : {kViewpointPathRecordId, kGlobalPathRecordId, kWindowLayoutRecordId}) {
      Store().RemoveRecord(id, kLayoutEntryName);
    }
    Store().RemoveRecord(kCustomButtonRecordId, kCurrentSetName);
  } catch (const DVError&) {
    Warn(kMsgSettingsWriteFailed);
  }
}

bool HandleLayoutCommand(uint32_t command) {
  switch (command) {
    case kCommandSaveOnExit: ToggleSaveOnExit(); return true;
    case kCommandBreakOnNlmLoads: ToggleBreakOnNlmLoads(); return true;
    case kCommandClearSavedValues: ClearSavedValues(); return true;
    default: return false;
  }
}

void InstallLayoutState() {
  SetNoticeHandler(NoticeTarget::kLayout,
                   [](uint32_t, uint32_t, uint32_t, const void*) { LayoutState::ApplyPendingSettings(); });
}

}  // namespace zentor
