#include "windows/breakpoint_dialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "core/window_layer.h"
#include "engine/breakpoint_sets.h"
#include "gui/dialog_request_target.h"
#include "gui/frame_commands.h"
#include "gui/frame_dialog_launchers.h"
#include "gui/gui_window_layer.h"
#include "gui/management_dialog.h"
#include "gui/message_loop.h"
#include "gui/notice_router.h"
#include "gui/run_control_state.h"
#include "gui/view_dispatcher.h"
#include "windows/watch_dialogs.h"
#include "windows/window_input.h"

namespace zentor {
namespace {

constexpr uint32_t kRequestAdd = 0xc9;
constexpr uint32_t kRequestDelete = 0xca;
constexpr uint32_t kRequestChange = 0xcb;
constexpr uint32_t kRequestComplete = 0xcc;
constexpr uint32_t kRequestIds = 0xcd;
constexpr uint32_t kRequestClear = 0xcf;
constexpr uint32_t kRequestSaveSet = 0xd0;
constexpr uint32_t kRequestRestoreSet = 0xd1;
constexpr uint32_t kRequestRemoveSet = 0xd2;
constexpr uint32_t kRequestListSets = 0xd3;
constexpr uint32_t kRequestEnable = 0xd4;
constexpr uint32_t kRequestDisable = 0xd5;
constexpr uint32_t kRequestCapabilities = 0xd6;

constexpr uint32_t kNoticeAdd = 250;
constexpr uint32_t kNoticeRemove = 251;
constexpr uint32_t kNoticeAddOrUpdate = 252;
constexpr uint32_t kNoticeRemoveAll = 253;

constexpr uint32_t kMsgNotRestored = 24;  // "Breakpoints not restored. %s"
constexpr uint32_t kMsgNotSaved = 25;     // "Breakpoints not saved. %s"
constexpr uint32_t kMsgNoSymbol = 204;
constexpr uint32_t kMsgEmptyString = 210;
constexpr uint32_t kMsgControlBreak = 80;

constexpr uint32_t kListHelp = 30210;
constexpr uint32_t kAddHelp = 30200;
constexpr uint32_t kModifyHelp = 30220;

constexpr uint32_t kTextLimit = 127;

constexpr char kOneMustBeSelected[] = "One breakpoint must be selected for this operation.";
constexpr char kOnlyOne[] = "Only one breakpoint may be selected for this operation.";
constexpr char kInterrupted[] = "All breaks may not be in list due to CTRL+C.";
constexpr char kSaveInterrupted[] = "All breaks may not be saved due to CTRL+C.";
constexpr char kNoDataBrowse[] = "Vantriq operation not permitted on data breakpoints.";
constexpr char kNoDataOrTaskBrowse[] = "Vantriq operation not permitted on data or task breakpoints.";

constexpr const char* kLongNames[] = {"Execution", "Write", "Access", "I/O"};
constexpr const char* kTypePrefixes[] = {"br", "cb", "pp"};

BreakpointListDialog* g_openList = nullptr;

GuiWindowLayer& GuiLayer() { return *InstalledGuiWindowLayer(); }

void Inform(int32_t owner, const char* text) { GuiLayer().ShowMessageBox(owner, kMessageBoxInformation, text); }

std::string ViewpointText(uint32_t value) {
  char text[ViewpointHandle::kMaxTextLength + 4] = {};
  FormatViewpointName(value, text, sizeof text, true);
  return text;
}

std::string EntryName(uint32_t type, int32_t id) {
  return std::string(kTypePrefixes[type < 3 ? type : 0]) + "[" + std::to_string(id) + "]";
}

// The text the engine parses: the condition in "if (...)", the format in
// "printf (...)", whole.
std::string WrappedExpression(uint32_t type, const std::string& text) {
  if (type == 1) return "if (" + text + ")";
  if (type == 2 && !text.empty()) return "printf (" + text + ")";
  return std::string();
}

// The add request that sets the entry's breakpoint again under its id.
BreakpointDialogRequest RequestOf(const BreakpointDialogEntry& e) {
  BreakpointDialogRequest request;
  request.m_kind = e.m_kind;
  request.m_slot = e.m_slot;
  request.m_enabled = e.m_enabled;
  request.m_viewpointOnly = e.m_viewpointOnly;
  request.m_type = e.m_type;
  request.m_access = e.m_access;
  request.m_locationText = e.m_locationText;
  request.m_conditionText = WrappedExpression(e.m_kind, e.m_conditionText.data()).c_str();
  request.m_result = -1;
  return request;
}

// A failure by its number as a warning in a message box, the number's text in the
// slot of the message.
void ReportWithText(uint32_t message, const DVError& status) {
  char text[256] = {};
  WindowLayer::LoadResourceString(status.Number(), text, sizeof text);
  DVError report(message, kSeverityWarning, kDisplayMessageBox);
  report.SetArg(0, text);
  report.Report();
}

// A refusal of one entry among several: a warning in a message box, the next follows.
void ReportAsWarning(const DVError& status) { DVError(status.Number(), kSeverityWarning, kDisplayMessageBox).Report(); }

int32_t CompareText(const std::string& a, const std::string& b) { return a < b ? -1 : b < a ? 1 : 0; }

int32_t CompareNames(const BreakpointListEntry& a, const BreakpointListEntry& b) {
  const std::string pa(a.entry.m_name.data(), std::min<size_t>(2, a.entry.m_name.length()));
  const std::string pb(b.entry.m_name.data(), std::min<size_t>(2, b.entry.m_name.length()));
  if (const int32_t c = CompareText(pa, pb)) return c;
  return a.entry.m_slot < b.entry.m_slot ? -1 : a.entry.m_slot > b.entry.m_slot ? 1 : 0;
}

}  // namespace

int32_t SendBreakpointRequest(DVError& status, uint32_t code, void* argument) {
  status = DVError(0, 0, kDisplayByFocus);
  return ViewDispatcher::RunGuiCommand(status, BreakpointDialogRequestTarget(), static_cast<int32_t>(code),
                                       reinterpret_cast<intptr_t>(argument));
}

std::string BreakpointCapabilities::ShortName(uint32_t resource, uint32_t access) const {
  if (resource == 0) return std::string();
  for (const BreakpointTypeRow& row : rows) {
    if (row.m_type != resource) continue;
    for (uint32_t i = 0; i < 6; ++i) {
      if (row.m_accessCodes[i] == access && row.m_accessNames[i] != nullptr) {
        return std::string(row.m_accessNames[i]).substr(0, 3);
      }
    }
  }
  return std::string();
}

// The target's three rows: the software row's access code, the hardware row's kinds
// with their names, and whether task-switch breakpoints exist. Conditions on hardware
// breakpoints are always allowed: the engine parses them for every resource.
BreakpointCapabilities BreakpointEditDialog::QueryCapabilities() {
  BreakpointCapabilities capabilities;
  DVError status;
  SendBreakpointRequest(status, kRequestCapabilities, capabilities.rows);
  if (!status.IsOkay()) {
    status.Report();
    return capabilities;
  }
  for (const BreakpointTypeRow& row : capabilities.rows) {
    if (row.m_type == 0 && row.m_codeCount > 0) capabilities.softwareAccess = row.m_accessCodes[0];
    if (row.m_type == 1) {
      capabilities.kindCount = std::min<uint32_t>(row.m_codeCount, 6);
      for (uint32_t i = 0; i < capabilities.kindCount; ++i) {
        capabilities.codes[i] = row.m_accessCodes[i];
        if (row.m_accessNames[i] != nullptr) capabilities.shortNames[i] = row.m_accessNames[i];
      }
    }
    if (row.m_type == 2) capabilities.vantriq = row.m_codeCount != 0;
  }
  return capabilities;
}

std::string FormatBreakpointRow(const BreakpointListEntry& row, const BreakpointCapabilities& capabilities,
                                bool showAddress) {
  const BreakpointDialogEntry& e = row.entry;
  std::string viewpoint = ViewpointText(e.m_viewpoint);
  if (viewpoint.size() < 20) viewpoint.resize(20, ' ');
  std::string text = "  ";
  text += e.m_enabled != 0 ? "*" : " ";
  text += "\t" + viewpoint + "\t" + e.m_name.data() + "\t" + capabilities.ShortName(e.m_type, e.m_access) + "\t";
  text += showAddress ? e.m_addressText.data() : e.m_locationText.data();
  text += "   ";
  text += e.m_conditionText.data();
  return text;
}

void SortBreakpointEntries(std::vector<BreakpointListEntry>& entries, uint32_t key,
                           const BreakpointCapabilities& capabilities) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const BreakpointListEntry& a, const BreakpointListEntry& b) { return a.index < b.index; });
  auto compare = [&](const BreakpointListEntry& a, const BreakpointListEntry& b) -> int32_t {
    switch (key) {
      case kSortByStatus:
        if (a.entry.m_enabled != b.entry.m_enabled) return a.entry.m_enabled != 0 ? -1 : 1;
        return CompareNames(a, b);
      case kSortByLocation: return CompareText(a.entry.m_addressText.data(), b.entry.m_addressText.data());
      case kSortByResource: {
        const std::string ra = capabilities.ShortName(a.entry.m_type, a.entry.m_access);
        const std::string rb = capabilities.ShortName(b.entry.m_type, b.entry.m_access);
        if (const int32_t c = CompareText(ra.substr(0, 2), rb.substr(0, 2))) return c;
        return CompareText(a.entry.m_name.data(), b.entry.m_name.data());
      }
      case kSortByViewpoint: return CompareText(ViewpointText(a.entry.m_viewpoint), ViewpointText(b.entry.m_viewpoint));
      default: return CompareNames(a, b);
    }
  };
  std::stable_sort(entries.begin(), entries.end(),
                   [&](const BreakpointListEntry& a, const BreakpointListEntry& b) { return compare(a, b) < 0; });
  for (size_t i = 0; i < entries.size(); ++i) entries[i].index = static_cast<int32_t>(i);
}

// ---- The list

BreakpointListDialog::BreakpointListDialog() : ListDialogBody(DialogTemplate{"BRKWAT", kListHelp}) {}

BreakpointListDialog::~BreakpointListDialog() {
  if (g_openList == this) g_openList = m_previous;
}

BreakpointListDialog* BreakpointListDialog::Open() { return g_openList; }

// 1. For the types br, cb, pp in turn the engine's ids, each entry completed by the
//    engine; a user break stops the fill.
bool BreakpointListDialog::Fill() {
  Entries().clear();
  for (uint32_t type = 0; type < 3; ++type) {
    BreakpointDialogRequest ids;
    ids.m_kind = type;
    DVError status;
    SendBreakpointRequest(status, kRequestIds, &ids);
    if (!status.IsOkay()) {
      status.Report();
      continue;
    }
    const int32_t count = std::clamp<int32_t>(ids.m_slot, 0, static_cast<int32_t>(std::size(ids.m_slots)));
    for (int32_t i = 0; i < count; ++i) {
      if (CheckUserBreak(InstalledGuiWindowLayer()->FrameHandle()) != 0) return false;
      BreakpointListEntry row;
      row.entry.m_kind = type;
      row.entry.m_slot = ids.m_slots[i];
      SendBreakpointRequest(status, kRequestComplete, &row.entry);
      if (!status.IsOkay()) {
        status.Report();
        continue;
      }
      row.index = static_cast<int32_t>(Entries().size());
      Entries().push_back(row);
    }
  }
  return true;
}

void BreakpointListDialog::OnInitialise() {
  m_previous = g_openList;
  g_openList = this;
  WaitCursor wait;
  m_capabilities = BreakpointEditDialog::QueryCapabilities();
  const bool whole = Fill();
  m_sortKey = kSortByName;
  m_showAddress = false;
  m_messageOwner = -1;
  GuiWindowLayer& layer = Layer();
  const int32_t stops[] = {16, 100, 140, 170};
  layer.ListSetTabStops(DialogId(), kBreakList, 4, stops);
  layer.CheckRadioItem(DialogId(), kBreakSortName, kBreakSortStatus, kBreakSortLocation);
  layer.CheckRadioItem(DialogId(), kBreakShowSymbol, kBreakShowSymbol, kBreakShowAddress);
  ShowList();
  TakeSnapshot();
  if (!whole) Inform(DialogId(), kInterrupted);
}

void BreakpointListDialog::EnableOperations(bool on) {
  for (int32_t control : {kBreakDelete, kBreakModify, kBreakEnable, kBreakDisable, kBreakBrowse}) {
    Layer().EnableItem(DialogId(), control, on ? 1 : 0);
  }
}

void BreakpointListDialog::ShowList() {
  if (!IsOpen()) return;
  GuiWindowLayer& layer = Layer();
  SortBreakpointEntries(Entries(), m_sortKey, m_capabilities);
  layer.SuspendItemRedraw(DialogId(), kBreakList);
  layer.ListClear(DialogId(), kBreakList);
  bool anySelected = false;
  for (const BreakpointListEntry& row : Entries()) {
    layer.ListInsertString(DialogId(), kBreakList, -1, FormatBreakpointRow(row, m_capabilities, m_showAddress).c_str());
  }
  for (const BreakpointListEntry& row : Entries()) {
    if (!row.selected) continue;
    layer.ListSelect(DialogId(), kBreakList, row.index, 1);
    anySelected = true;
  }
  layer.ResumeItemRedraw(DialogId(), kBreakList);
  EnableOperations(!Entries().empty() && anySelected);
}

void BreakpointListDialog::ReadSelection() {
  GuiWindowLayer& layer = Layer();
  const int32_t count = layer.ListGetSelCount(DialogId(), kBreakList);
  std::vector<int32_t> rows(static_cast<size_t>(std::max(count, 0)));
  if (count > 0) layer.ListGetSelItems(DialogId(), kBreakList, rows.data(), count);
  for (BreakpointListEntry& row : Entries()) {
    row.selected = std::find(rows.begin(), rows.end(), row.index) != rows.end();
  }
  EnableOperations(count > 0);
}

BreakpointListEntry* BreakpointListDialog::OneSelected() {
  BreakpointListEntry* one = nullptr;
  int32_t count = 0;
  for (BreakpointListEntry& row : Entries()) {
    if (!row.selected) continue;
    one = &row;
    ++count;
  }
  if (count == 1) return one;
  Inform(DialogId(), count == 0 ? kOneMustBeSelected : kOnlyOne);
  return nullptr;
}

void BreakpointListDialog::OnControl(int32_t control, int32_t notification) {
  GuiWindowLayer& layer = Layer();
  switch (control) {
    case kBreakSortStatus: m_sortKey = kSortByStatus; break;
    case kBreakSortViewpoint: m_sortKey = kSortByViewpoint; break;
    case kBreakSortName: m_sortKey = kSortByName; break;
    case kBreakSortResource: m_sortKey = kSortByResource; break;
    case kBreakSortLocation: m_sortKey = kSortByLocation; break;
    case kBreakShowSymbol:
    case kBreakShowAddress:
      layer.CheckRadioItem(DialogId(), control, kBreakShowSymbol, kBreakShowAddress);
      m_showAddress = control == kBreakShowAddress;
      ShowList();
      return;
    case kBreakList:
      if (notification == kNotifyListSelectionChange) ReadSelection();
      return;
    case kBreakAdd: Add(); return;
    case kBreakModify: Modify(); return;
    case kBreakDelete: Delete(); return;
    case kBreakDisable: SetEnabled(false); return;
    case kBreakEnable: SetEnabled(true); return;
    case kBreakBrowse: BrowseTo(); return;
    case kBreakManage: RunManagementDialog(DialogId(), kBreakManage, &BreakpointListDialog::ManageCallback); return;
    default: return;
  }
  layer.CheckRadioItem(DialogId(), control, kBreakSortStatus, kBreakSortLocation);
  ShowList();
}

void BreakpointListDialog::Add() {
  BreakpointEditDialog dialog(this, nullptr);
  RunModalDialog(dialog, DialogId());
}

void BreakpointListDialog::Modify() {
  BreakpointListEntry* one = OneSelected();
  if (one == nullptr) return;
  BreakpointEditDialog dialog(this, one);
  RunModalDialog(dialog, DialogId());
}

// Each selected entry the engine deletes leaves the list; a refusal is reported and
// the entry stays.
void BreakpointListDialog::Delete() {
  if (std::none_of(Entries().begin(), Entries().end(), [](const BreakpointListEntry& row) { return row.selected; })) {
    Inform(DialogId(), kOneMustBeSelected);
    return;
  }
  WaitCursor wait;
  std::vector<BreakpointListEntry> kept;
  for (BreakpointListEntry& row : Entries()) {
    if (!row.selected) {
      kept.push_back(row);
      continue;
    }
    BreakpointDialogRequest request;
    request.m_kind = row.entry.m_kind;
    request.m_slot = row.entry.m_slot;
    DVError status;
    {
      ViewpointPushed pushed(ViewpointHandle(row.entry.m_viewpoint));
      SendBreakpointRequest(status, kRequestDelete, &request);
    }
    if (status.IsOkay()) {
      MarkChanged();
    } else {
      ReportAsWarning(status);
      kept.push_back(row);
    }
  }
  Entries() = kept;
  ShowList();
  ReadSelection();
}

void BreakpointListDialog::SetEnabled(bool enable) {
  if (std::none_of(Entries().begin(), Entries().end(), [](const BreakpointListEntry& row) { return row.selected; })) {
    Inform(DialogId(), kOneMustBeSelected);
    return;
  }
  WaitCursor wait;
  for (BreakpointListEntry& row : Entries()) {
    if (!row.selected) continue;
    BreakpointDialogRequest request;
    request.m_kind = row.entry.m_kind;
    request.m_slot = row.entry.m_slot;
    DVError status;
    {
      ViewpointPushed pushed(ViewpointHandle(row.entry.m_viewpoint));
      SendBreakpointRequest(status, enable ? kRequestEnable : kRequestDisable, &request);
    }
    if (status.IsOkay()) {
      row.entry.m_enabled = enable ? 1 : 0;
      MarkChanged();
    } else {
      ReportAsWarning(status);
    }
  }
  ShowList();
}

// Only code breakpoints have a place to browse to.
void BreakpointListDialog::BrowseTo() {
  BreakpointListEntry* one = OneSelected();
  if (one == nullptr) return;
  const BreakpointDialogEntry& e = one->entry;
  const bool code = e.m_type == 0 || (e.m_type == 1 && e.m_access == 0);
  if (!code) {
    Inform(DialogId(), m_capabilities.vantriq ? kNoDataOrTaskBrowse : kNoDataBrowse);
    return;
  }
  DVError status(0, 0, kDisplayByFocus);
  {
    ViewpointPushed pushed(ViewpointHandle(e.m_viewpoint));
    ViewDispatcher::RunGuiCommandForKind(status, kViewGuiState, nullptr, kGuiBrowseFromList,
                                         reinterpret_cast<intptr_t>(e.m_locationText.data()));
  }
  if (status.IsOkay()) {
    WaitForInputRound(InstalledGuiWindowLayer()->FrameHandle(), 0);
  } else {
    status.Report();
  }
}

void BreakpointListDialog::OnOk() { Close(kDialogResultOk); }

// 1. Every viewpoint the list holds breakpoints of is cleared; one the engine refuses
//    to clear is reported once and keeps what it has (its snapshot entries are not
//    added again, so nothing is set twice).
// 2. The snapshot's breakpoints are set again under their ids; a refused one is
//    reported and the next follows.
void BreakpointListDialog::PutBack(const std::vector<BreakpointListEntry>& snapshot) {
  WaitCursor wait;
  std::set<uint32_t> viewpoints;
  for (const BreakpointListEntry& row : Entries()) viewpoints.insert(row.entry.m_viewpoint);
  std::set<uint32_t> failed;
  bool reported = false;
  for (uint32_t viewpoint : viewpoints) {
    BreakpointDialogRequest request;
    DVError status;
    {
      ViewpointPushed pushed(ViewpointHandle(viewpoint));
      SendBreakpointRequest(status, kRequestClear, &request);
    }
    if (!status.IsOkay()) {
      failed.insert(viewpoint);
      if (!reported) ReportWithText(kMsgNotRestored, status);
      reported = true;
    }
  }
  for (const BreakpointListEntry& row : snapshot) {
    const BreakpointDialogEntry& e = row.entry;
    if (failed.count(e.m_viewpoint) != 0) continue;
    BreakpointDialogRequest request = RequestOf(e);
    DVError status;
    {
      ViewpointPushed pushed(ViewpointHandle(e.m_viewpoint));
      SendBreakpointRequest(status, kRequestAdd, &request);
    }
    if (!status.IsOkay()) status.Report();
  }
}

void BreakpointListDialog::OnEngineNotice(uint32_t code, const BreakpointDialogEntry& entry) {
  auto same = [&entry](const BreakpointListEntry& row) {
    return row.entry.m_kind == entry.m_kind && row.entry.m_slot == entry.m_slot;
  };
  auto append = [&] {
    BreakpointListEntry row;
    row.entry = entry;
    row.engineNotice = true;
    row.index = static_cast<int32_t>(Entries().size());
    Entries().push_back(row);
  };
  std::vector<BreakpointListEntry>& rows = Entries();
  switch (code) {
    case kNoticeAdd: append(); break;
    case kNoticeRemove: {
      auto at = std::find_if(rows.begin(), rows.end(), same);
      if (at != rows.end()) rows.erase(at);
      break;
    }
    case kNoticeAddOrUpdate: {
      auto at = std::find_if(rows.begin(), rows.end(), same);
      if (at == rows.end()) {
        append();
      } else {
        at->engineNotice = true;
        at->entry.m_locationText = entry.m_locationText;
        at->entry.m_conditionText = entry.m_conditionText;
        at->entry.m_enabled = entry.m_enabled;
        at->entry.m_type = entry.m_type;
        at->entry.m_access = entry.m_access;
      }
      break;
    }
    case kNoticeRemoveAll: rows.clear(); break;
    default: break;
  }
}

// Restoring a set changes the breakpoints: the list is filled again from the engine.
int32_t BreakpointListDialog::ManageCallback(int32_t owner, uint32_t operation, void* argument) {
  BreakpointListDialog* list = g_openList;
  DVError status;
  switch (operation) {
    case kManageList: return SendBreakpointRequest(status, kRequestListSets, argument);
    case kManageRestore: {
      WaitCursor wait;
      if (list != nullptr) list->MarkChanged();
      const int32_t result = SendBreakpointRequest(status, kRequestRestoreSet, argument);
      if (!status.IsOkay()) ReportWithText(kMsgNotRestored, status);
      if (list != nullptr) {
        if (!list->Fill()) Inform(list->m_messageOwner, kInterrupted);
        list->ShowList();
      }
      return result;
    }
    case kManageSave: {
      int32_t result = 0;
      {
        WaitCursor wait;
        result = SendBreakpointRequest(status, kRequestSaveSet, argument);
      }
      if (status.Number() == kMsgControlBreak) {
        Inform(list != nullptr ? list->m_messageOwner : owner, kSaveInterrupted);
        return 0;
      }
      if (!status.IsOkay()) ReportWithText(kMsgNotSaved, status);
      return result;
    }
    case kManageRemove: {
      const int32_t result = SendBreakpointRequest(status, kRequestRemoveSet, argument);
      if (!status.IsOkay()) status.Report();
      return result;
    }
    case kManageOpened:
      if (list != nullptr) list->m_messageOwner = owner;
      return 0;
    case kManageClosed:
      if (list != nullptr) list->m_messageOwner = -1;
      return 0;
    default: return 0;
  }
}

// ---- Add and Modify

BreakpointEditDialog::BreakpointEditDialog(BreakpointListDialog* list, BreakpointListEntry* modified)
    : DialogBody(DialogTemplate{modified != nullptr ? "MODBRK" : "ADDBRK", modified != nullptr ? kModifyHelp : kAddHelp,
                                false, kEditOk, kDialogCancelControl}),
      m_list(list),
      m_modified(modified),
      m_modify(modified != nullptr) {}

void BreakpointEditDialog::OnInitialise() {
  GuiWindowLayer& layer = Layer();
  const int32_t dialog = DialogId();
  m_capabilities = m_list != nullptr ? m_list->Capabilities() : BreakpointEditDialog::QueryCapabilities();
  layer.LimitItemText(dialog, kEditLocation, 128);
  layer.LimitItemText(dialog, kEditExpression, 128);
  if (m_capabilities.kindCount >= 2) {
    for (uint32_t i = 0; i < m_capabilities.kindCount; ++i) {
      const uint32_t code = m_capabilities.codes[i];
      layer.ComboAddString(dialog, kEditAccessKind, code < 4 ? kLongNames[code] : "");
    }
    layer.ComboSelect(dialog, kEditAccessKind, 0, 1);
  }
  const uint32_t count = ViewpointManager::Count();
  for (uint32_t i = 0; i < count; ++i) {
    layer.ComboAddString(dialog, kEditViewpoint,
                         ViewpointText(ViewpointManager::HandleAt(static_cast<int32_t>(i)).Value()).c_str());
  }
  layer.EnableItem(dialog, kEditViewpoint, count > 1 ? 1 : 0);
  if (m_modified == nullptr) {
    m_viewpoint = GetCurrentViewpointValue();
    m_type = 0;
    m_resource = 0;
    m_enabled = 1;
    m_option = 1;
    m_access = m_capabilities.softwareAccess;
    ApplyState(0);
    layer.EnableItem(dialog, kEditOk, 0);
    layer.EnableItem(dialog, kEditApply, 0);
    layer.ComboSelect(dialog, kEditViewpoint, ViewpointManager::CurrentIndex(), 1);
    m_firstEdit = false;
    return;
  }
  const BreakpointDialogEntry& e = m_modified->entry;
  m_viewpoint = e.m_viewpoint;
  m_type = e.m_kind;
  m_resource = e.m_type;
  m_enabled = e.m_enabled;
  m_access = e.m_access;
  m_dataBreak = m_resource == kResourceSelector && m_access == kAccessDataBreak;
  m_option = m_modified->option;
  const int32_t index = ViewpointManager::FindIndexByHandle(ViewpointHandle(e.m_viewpoint));
  if (index >= 0) layer.ComboSelect(dialog, kEditViewpoint, index, 1);
  if (m_resource == 1 && m_capabilities.kindCount >= 2) {
    for (uint32_t i = 0; i < m_capabilities.kindCount; ++i) {
      if (m_capabilities.codes[i] == m_access) {
        layer.ComboSelect(dialog, kEditAccessKind, static_cast<int32_t>(i), 1);
        break;
      }
    }
  }
  const uint32_t access = m_access;
  SetResource(m_resource);
  m_access = access;
  SetType(m_type);
  SetStatus(m_enabled);
  layer.SetItemText(dialog, kEditName, ("Name: " + std::string(e.m_name.data())).c_str());
  layer.SetItemText(dialog, kEditLocation, e.m_locationText.data());
  layer.SetItemText(dialog, kEditExpression, e.m_conditionText.data());
  m_firstEdit = true;
}

void BreakpointEditDialog::SetStatus(uint32_t enabled) {
  m_enabled = enabled;
  Layer().CheckRadioItem(DialogId(), enabled != 0 ? kEditEnable : kEditDisable, kEditEnable, kEditDisable);
}

void BreakpointEditDialog::SetType(uint32_t type) {
  GuiWindowLayer& layer = Layer();
  const int32_t dialog = DialogId();
  m_type = type;
  layer.CheckRadioItem(dialog, kEditUnconditional + static_cast<int32_t>(type), kEditUnconditional, kEditPasspoint);
  if (type == 0) {
    layer.SetItemText(dialog, kEditExpressionLabel, "N/A:");
    layer.EnableItem(dialog, kEditExpressionLabel, 0);
    layer.EnableItem(dialog, kEditExpression, 0);
    return;
  }
  layer.EnableItem(dialog, kEditExpressionLabel, 1);
  layer.EnableItem(dialog, kEditExpression, 1);
  layer.SetItemText(dialog, kEditExpressionLabel, type == 1 ? "if ( ) :" : "printf ( ) :");
}

// 1. The radio of the resource; the access kinds only for hardware.
// 2. A task-switch selector (resource 2, only an entry modified) takes no type, and
//    its data break none of the location either.
// 3. Hardware breakpoints the target keeps plain are unconditional.
void BreakpointEditDialog::SetResource(uint32_t resource) {
  GuiWindowLayer& layer = Layer();
  const int32_t dialog = DialogId();
  m_resource = resource <= kResourceSelector ? resource : 0;
  const bool hardware = m_resource == 1;
  const bool selector = m_resource == kResourceSelector;
  layer.CheckRadioItem(dialog, kEditSoftware + static_cast<int32_t>(m_resource), kEditSoftware,
                       kEditSoftware + static_cast<int32_t>(kResourceSelector));
  if (m_capabilities.kindCount >= 2) layer.EnableItem(dialog, kEditAccessKind, hardware ? 1 : 0);
  layer.SetItemText(dialog, kEditLocationLabel, selector ? "Selector:" : "Location:");
  const bool plainOnly = hardware && m_capabilities.hardwarePlainOnly;
  for (int32_t control : {kEditTypeGroup, kEditUnconditional, kEditConditional, kEditPasspoint}) {
    layer.EnableItem(dialog, control, plainOnly || selector ? 0 : 1);
  }
  if (plainOnly) SetType(0);
  if (selector) {
    ApplyDataBreak();
    return;
  }
  for (int32_t control : {kEditLocationLabel, kEditLocation}) layer.EnableItem(dialog, control, 1);
  if (!hardware) {
    m_access = m_capabilities.softwareAccess;
    return;
  }
  const int32_t kind = layer.ComboGetSelection(dialog, kEditAccessKind);
  m_access = m_capabilities.kindCount >= 2 && kind >= 0 ? m_capabilities.codes[kind] : 0;
}

// A selector's data break needs no location: the access says which of the two it is,
// and the location is off while the data break is on.
void BreakpointEditDialog::ApplyDataBreak() {
  m_access = m_dataBreak ? kAccessDataBreak : kAccessTaskSwitch;
  for (int32_t control : {kEditLocationLabel, kEditLocation}) {
    Layer().EnableItem(DialogId(), control, m_dataBreak ? 0 : 1);
  }
}

// After a failed request the dialog shows the settings it sent, with the text at
// fault selected; a fresh add starts empty.
void BreakpointEditDialog::ApplyState(int32_t answer) {
  GuiWindowLayer& layer = Layer();
  const int32_t dialog = DialogId();
  const uint32_t access = m_access;
  SetResource(m_resource);
  if (m_resource == 1) m_access = access;
  SetType(m_type);
  SetStatus(m_enabled);
  if (answer == -1) {
    layer.SelectItemText(dialog, kEditLocation, 0, -1);
  } else if (answer == -2) {
    layer.SelectItemText(dialog, kEditExpression, 0, -1);
  } else {
    layer.SetItemText(dialog, kEditExpression, "");
    layer.SetItemText(dialog, kEditLocation, "");
  }
}

void BreakpointEditDialog::FirstEdit() {
  if (m_firstEdit) return;
  m_firstEdit = true;
  Layer().EnableItem(DialogId(), kEditOk, 1);
  if (m_modified == nullptr) Layer().EnableItem(DialogId(), kEditApply, 1);
}

void BreakpointEditDialog::OnControl(int32_t control, int32_t notification) {
  switch (control) {
    case kEditSoftware: SetResource(0); return;
    case kEditHardware:
      SetResource(1);
      // The kind of access comes next: the list takes the focus.
      if (m_capabilities.kindCount >= 2) Layer().ComboSetEditSelection(DialogId(), kEditAccessKind, 0, -1);
      return;
    case kEditEnable: SetStatus(1); return;
    case kEditDisable: SetStatus(0); return;
    case kEditUnconditional:
    case kEditConditional:
    case kEditPasspoint:
      SetType(static_cast<uint32_t>(control - kEditUnconditional));
      if (m_type != 0) Layer().SelectItemText(DialogId(), kEditExpression, 0, -1);
      return;
    case kEditAccessKind:
      if (notification == kNotifyListSelectionChange) SetResource(1);
      return;
    case kEditViewpoint:
      if (notification == kNotifyListSelectionChange) {
        const int32_t index = Layer().ComboGetSelection(DialogId(), kEditViewpoint);
        if (index >= 0) m_viewpoint = ViewpointManager::HandleAt(index).Value();
      }
      return;
    case kEditLocation:
    case kEditExpression:
      if (notification == kNotifyEditChange) FirstEdit();
      return;
    case kEditApply: Apply(); return;
    default: return;
  }
}

// The location and, for a condition or format, the expression; an empty one is
// refused with the message and the edit at fault.
bool BreakpointEditDialog::ReadTexts(DVError& status, int32_t* answer, uint32_t emptyMessage) {
  char text[256] = {};
  Layer().GetItemText(DialogId(), kEditLocation, text, sizeof text);
  m_location = std::string(text).substr(0, kTextLimit);
  const bool needsLocation = m_resource != kResourceSelector || !m_dataBreak;
  if (needsLocation && m_location.find_first_not_of(' ') == std::string::npos) {
    status = DVError(emptyMessage, kSeverityError, kDisplayByFocus);
    *answer = -1;
    return false;
  }
  m_expression.clear();
  if (m_type != 0) {
    Layer().GetItemText(DialogId(), kEditExpression, text, sizeof text);
    m_expression = std::string(text).substr(0, kTextLimit);
    if (m_expression.empty() && m_type == 1) {
      status = DVError(emptyMessage, kSeverityError, kDisplayByFocus);
      *answer = -2;
      return false;
    }
  }
  m_sentText = WrappedExpression(m_type, m_expression);
  return true;
}

BreakpointDialogRequest BreakpointEditDialog::Request(int32_t id, uint32_t viewpointOnly) const {
  BreakpointDialogRequest request;
  request.m_kind = m_type;
  request.m_slot = id;
  request.m_enabled = m_enabled;
  request.m_viewpointOnly = viewpointOnly;
  request.m_type = m_resource;
  request.m_access = m_access;
  request.m_locationText = m_location.c_str();
  request.m_conditionText = m_sentText.c_str();
  request.m_result = -1;
  return request;
}

int32_t BreakpointEditDialog::AddBreakpoint(DVError& status) {
  int32_t answer = -1;
  if (!ReadTexts(status, &answer, kMsgEmptyString)) return answer;
  BreakpointDialogRequest request = Request(-1, 0);
  {
    ViewpointPushed pushed(ViewpointHandle(m_viewpoint));
    SendBreakpointRequest(status, kRequestAdd, &request);
  }
  answer = status.IsOkay() ? request.m_result : (request.m_result == -2 ? -2 : -1);
  if (answer < 0 || m_list == nullptr) return answer;
  BreakpointListEntry row;
  row.entry.m_kind = m_type;
  row.entry.m_slot = answer;
  row.option = m_option;
  row.index = static_cast<int32_t>(m_list->Rows().size());
  {
    ViewpointPushed pushed(ViewpointHandle(m_viewpoint));
    SendBreakpointRequest(status, kRequestComplete, &row.entry);
  }
  if (!status.IsOkay()) {
    // The breakpoint is set; the list shows what the dialog knows of it.
    row.entry.m_enabled = m_enabled;
    row.entry.m_type = m_resource;
    row.entry.m_access = m_access;
    row.entry.m_locationText = m_location.c_str();
    row.entry.m_conditionText = m_expression.c_str();
    row.entry.m_name = EntryName(m_type, answer).c_str();
    row.entry.m_viewpoint = m_viewpoint;
    status.Report();
    status = DVError();
  }
  m_list->Rows().push_back(row);
  return answer;
}

// 1. The same type changes in place; another deletes the old breakpoint and adds the
//    new one.
// 2. A refused change puts the old breakpoint back under its id; when that fails too
//    it is reported (the breakpoint is gone and the list says so).
int32_t BreakpointEditDialog::ModifyBreakpoint(DVError& status) {
  int32_t answer = -1;
  if (!ReadTexts(status, &answer, kMsgNoSymbol)) return answer;
  const BreakpointListEntry old = *m_modified;
  BreakpointDialogRequest request = Request(old.entry.m_slot, old.entry.m_viewpointOnly);
  ViewpointPushed pushed(ViewpointHandle(m_viewpoint));
  bool oldDeleted = false;
  if (m_type == old.entry.m_kind) {
    SendBreakpointRequest(status, kRequestChange, &request);
  } else {
    BreakpointDialogRequest removal;
    removal.m_kind = old.entry.m_kind;
    removal.m_slot = old.entry.m_slot;
    {
      ViewpointPushed oldViewpoint(ViewpointHandle(old.entry.m_viewpoint));
      SendBreakpointRequest(status, kRequestDelete, &removal);
    }
    if (!status.IsOkay()) return -1;
    oldDeleted = true;
    request.m_slot = -1;
    SendBreakpointRequest(status, kRequestAdd, &request);
  }
  answer = status.IsOkay() ? request.m_result : (request.m_result == -2 ? -2 : -1);
  if (answer < 0) {
    if (oldDeleted) {
      BreakpointDialogRequest back = RequestOf(old.entry);
      DVError backStatus;
      {
        ViewpointPushed oldViewpoint(ViewpointHandle(old.entry.m_viewpoint));
        SendBreakpointRequest(backStatus, kRequestAdd, &back);
      }
      if (!backStatus.IsOkay()) {
        backStatus.Report();
        auto& rows = m_list->Rows();
        rows.erase(std::remove_if(rows.begin(), rows.end(),
                                  [&old](const BreakpointListEntry& row) { return row.index == old.index; }),
                   rows.end());
        m_modified = nullptr;
        m_list->NoteChanged();
      }
    }
    return answer;
  }
  BreakpointDialogEntry& e = m_modified->entry;
  e.m_viewpoint = m_viewpoint;
  e.m_kind = m_type;
  e.m_enabled = m_enabled;
  e.m_type = m_resource;
  e.m_access = m_access;
  e.m_slot = answer;
  e.m_locationText = m_location.c_str();
  e.m_conditionText = m_expression.c_str();
  e.m_name = EntryName(m_type, answer).c_str();
  m_modified->engineNotice = false;
  m_modified->option = m_option;
  DVError complete;
  SendBreakpointRequest(complete, kRequestComplete, &e);
  return answer;
}

void BreakpointEditDialog::OnOk() {
  DVError status;
  int32_t answer = 0;
  {
    WaitCursor wait;
    answer = m_modify ? ModifyBreakpoint(status) : AddBreakpoint(status);
  }
  if (answer >= 0) {
    if (m_list != nullptr) {
      m_list->NoteChanged();
      m_list->ShowList();
    }
    Close(kDialogResultOk);
    return;
  }
  status.Report();
  if (m_modify && m_modified == nullptr) {
    // The old breakpoint could not be put back: there is nothing left to modify.
    m_list->ShowList();
    Close(kDialogResultCancel);
    return;
  }
  ApplyState(answer);
}

void BreakpointEditDialog::Apply() {
  if (m_modify) return;
  DVError status;
  int32_t answer = 0;
  {
    WaitCursor wait;
    answer = AddBreakpoint(status);
  }
  if (answer < 0) {
    status.Report();
    ApplyState(answer);
    return;
  }
  if (m_list != nullptr) {
    m_list->NoteChanged();
    m_list->ShowList();
  }
  ApplyState(0);
  m_firstEdit = false;
  Layer().EnableItem(DialogId(), kEditOk, 0);
  Layer().EnableItem(DialogId(), kEditApply, 0);
  ApplySucceeded();
}

// ---- Opening

void ShowBreakpointListDialog(int32_t ownerId) {
  BreakpointListDialog dialog;
  RunModalDialog(dialog, ownerId);
}

void ShowAddBreakpointDialog(int32_t ownerId) {
  BreakpointEditDialog dialog(nullptr, nullptr);
  RunModalDialog(dialog, ownerId);
}

void InstallBreakpointAndWatchDialogs() {
  SetFrameDialogLauncher(1380, &ShowBreakpointListDialog);
  SetFrameDialogLauncher(1381, &ShowAddBreakpointDialog);
  SetFrameDialogLauncher(1382, &ShowAddWatchDialog);
  SetFrameDialogLauncher(1383, &ShowDeleteWatchDialog);
  InstallBreakpointDialogNotices();
}

void InstallBreakpointDialogNotices() {
  SetNoticeHandler(NoticeTarget::kBreakpointList, [](uint32_t, uint32_t, uint32_t code, const void* value) {
    BreakpointListDialog* list = BreakpointListDialog::Open();
    if (list == nullptr || !list->IsOpen()) return;
    if (value == nullptr && code != kNoticeRemoveAll) return;
    static const BreakpointDialogEntry kNone;
    list->OnEngineNotice(code, value != nullptr ? *static_cast<const BreakpointDialogEntry*>(value) : kNone);
  });
}

}  // namespace zentor
