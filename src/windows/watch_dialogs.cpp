#include "windows/watch_dialogs.h"

#include <algorithm>

#include "core/dv_error.h"
#include "gui/dialog_request_target.h"
#include "gui/gui_window_layer.h"
#include "gui/manage_operations.h"
#include "gui/management_dialog.h"
#include "gui/win_super.h"
#include "gui/view_dispatcher.h"
#include "windows/window_input.h"

namespace zentor {
namespace {

constexpr uint32_t kRequestAdd = 0xc9;
constexpr uint32_t kRequestDelete = 0xca;
constexpr uint32_t kRequestComplete = 0xcc;
constexpr uint32_t kRequestIds = 0xcd;
constexpr uint32_t kRequestDisable = 0xd5;

constexpr uint32_t kAddHelp = 30130;
constexpr uint32_t kDeleteHelp = 30140;
constexpr uint32_t kTextLimit = 127;

constexpr int32_t kWatchManage = 15;
constexpr uint32_t kRequestSaveSet = 0xd0;
constexpr uint32_t kRequestRestoreSet = 0xd1;
constexpr uint32_t kRequestRemoveSet = 0xd2;
constexpr uint32_t kRequestListSets = 0xd3;

// The management dialog of watch sets while it is open, and the Watch window it works
// for, which closes it when it closes itself.
struct WatchManagement {
  WinSuper* window = nullptr;
  ManagementDialog* dialog = nullptr;
};

WatchManagement& Management() {
  static WatchManagement management;
  return management;
}

constexpr char kOneWatch[] = "One Watch must be selected for deletion.";

int32_t Send(DVError& status, uint32_t code, void* argument) {
  status = DVError(0, 0, kDisplayByFocus);
  return ViewDispatcher::RunGuiCommand(status, WatchDialogRequestTarget(), static_cast<int32_t>(code),
                                       reinterpret_cast<intptr_t>(argument));
}

// A watch of the expression; the status holds a refusal.
void SendAdd(DVError& status, const std::string& expression, bool enabled) {
  BreakpointDialogRequest request;
  request.m_kind = kWatchEntryKind;
  request.m_watch.m_expressionText = expression.c_str();
  Send(status, kRequestAdd, &request);
  if (!status.IsOkay() || enabled) return;
  BreakpointDialogRequest ids;
  ids.m_kind = kWatchEntryKind;
  Send(status, kRequestIds, &ids);
  if (!status.IsOkay() || ids.m_watch.m_slot <= 0) return;
  // The new watch has the highest slot of the viewpoint's.
  BreakpointDialogRequest off;
  off.m_kind = kWatchEntryKind;
  off.m_watch.m_slot = *std::max_element(ids.m_watch.m_slots, ids.m_watch.m_slots + ids.m_watch.m_slot);
  Send(status, kRequestDisable, &off);
}

void SendDelete(DVError& status, int32_t slot) {
  BreakpointDialogRequest request;
  request.m_kind = kWatchEntryKind;
  request.m_watch.m_slot = slot;
  Send(status, kRequestDelete, &request);
}

std::vector<int32_t> WatchIds() {
  BreakpointDialogRequest ids;
  ids.m_kind = kWatchEntryKind;
  DVError status;
  Send(status, kRequestIds, &ids);
  if (!status.IsOkay()) {
    status.Report();
    return {};
  }
  const int32_t count = std::clamp<int32_t>(ids.m_watch.m_slot, 0, static_cast<int32_t>(std::size(ids.m_watch.m_slots)));
  return std::vector<int32_t>(ids.m_watch.m_slots, ids.m_watch.m_slots + count);
}

}  // namespace

// ---- Add Watch

AddWatchDialog::AddWatchDialog()
    : DialogBody(DialogTemplate{"ADDWTCH", kAddHelp, false, kWatchOk, kDialogCancelControl}) {}

void AddWatchDialog::OnInitialise() {
  GuiWindowLayer& layer = Layer();
  layer.SetItemText(DialogId(), kWatchExpressionEdit, "");
  layer.SelectItemText(DialogId(), kWatchExpressionEdit, 0, -1);
  layer.EnableItem(DialogId(), kWatchOk, 0);
  layer.EnableItem(DialogId(), kWatchApply, 0);
  m_firstEdit = false;
}

bool AddWatchDialog::AddWatch() {
  char text[256] = {};
  Layer().GetItemText(DialogId(), kWatchExpressionEdit, text, sizeof text);
  const std::string expression = std::string(text).substr(0, kTextLimit);
  if (expression.empty()) return false;
  DVError status;
  {
    WaitCursor wait;
    SendAdd(status, expression, true);
  }
  if (status.IsOkay()) return true;
  status.Report();
  Layer().SelectItemText(DialogId(), kWatchExpressionEdit, 0, -1);
  return false;
}

void AddWatchDialog::OnOk() {
  if (AddWatch()) Close(kDialogResultOk);
}

void AddWatchDialog::OnControl(int32_t control, int32_t notification) {
  GuiWindowLayer& layer = Layer();
  if (control == kWatchExpressionEdit && notification == kNotifyEditChange && !m_firstEdit) {
    m_firstEdit = true;
    layer.EnableItem(DialogId(), kWatchOk, 1);
    layer.EnableItem(DialogId(), kWatchApply, 1);
    return;
  }
  if (control != kWatchApply || !AddWatch()) return;
  layer.EnableItem(DialogId(), kWatchOk, 0);
  layer.EnableItem(DialogId(), kWatchApply, 0);
  ApplySucceeded();
  layer.SetItemText(DialogId(), kWatchExpressionEdit, "");
  layer.SelectItemText(DialogId(), kWatchExpressionEdit, 0, -1);
  m_firstEdit = false;
}

// ---- Delete Watch

DeleteWatchDialog::DeleteWatchDialog()
    : ListDialogBody(DialogTemplate{"DELWTCH", kDeleteHelp, false, kWatchOk, kDialogCancelControl}) {}

void DeleteWatchDialog::OnInitialise() {
  Entries().clear();
  for (int32_t id : WatchIds()) {
    BreakpointDialogEntry entry;
    entry.m_kind = kWatchEntryKind;
    entry.m_watch.m_slot = id;
    DVError status;
    Send(status, kRequestComplete, &entry);
    if (!status.IsOkay()) {
      status.Report();
      continue;
    }
    WatchListEntry row;
    row.watch = entry.m_watch;
    row.watch.m_slot = id;
    row.index = static_cast<int32_t>(Entries().size());
    Entries().push_back(row);
  }
  TakeSnapshot();
  m_deleted = false;
  const int32_t stop = 40;
  Layer().ListSetTabStops(DialogId(), kWatchList, 1, &stop);
  ShowList();
  Layer().EnableItem(DialogId(), kWatchOk, 0);
  Layer().EnableItem(DialogId(), kWatchApply, 0);
}

// By name: the first two characters, then the id.
void DeleteWatchDialog::ShowList() {
  std::vector<WatchListEntry>& rows = Entries();
  std::stable_sort(rows.begin(), rows.end(), [](const WatchListEntry& a, const WatchListEntry& b) {
    const std::string pa(a.watch.m_name.data(), std::min<size_t>(2, a.watch.m_name.length()));
    const std::string pb(b.watch.m_name.data(), std::min<size_t>(2, b.watch.m_name.length()));
    if (pa != pb) return pa < pb;
    return a.watch.m_slot < b.watch.m_slot;
  });
  GuiWindowLayer& layer = Layer();
  layer.SuspendItemRedraw(DialogId(), kWatchList);
  layer.ListClear(DialogId(), kWatchList);
  for (size_t i = 0; i < rows.size(); ++i) {
    rows[i].index = static_cast<int32_t>(i);
    const std::string line = std::string(rows[i].watch.m_name.data()) + "\t" + rows[i].watch.m_text.data();
    layer.ListInsertString(DialogId(), kWatchList, -1, line.c_str());
  }
  for (const WatchListEntry& row : rows) {
    if (row.selected) layer.ListSelect(DialogId(), kWatchList, row.index, 1);
  }
  layer.ResumeItemRedraw(DialogId(), kWatchList);
}

void DeleteWatchDialog::ReadSelection() {
  GuiWindowLayer& layer = Layer();
  const int32_t count = std::max(layer.ListGetSelCount(DialogId(), kWatchList), 0);
  std::vector<int32_t> selected(static_cast<size_t>(count));
  if (count > 0) layer.ListGetSelItems(DialogId(), kWatchList, selected.data(), count);
  for (WatchListEntry& row : Entries()) {
    row.selected = std::find(selected.begin(), selected.end(), row.index) != selected.end();
  }
  layer.EnableItem(DialogId(), kWatchOk, 1);
  layer.EnableItem(DialogId(), kWatchApply, count > 0 ? 1 : 0);
  layer.SetItemText(DialogId(), kWatchOk, m_deleted && count == 0 ? "Cl&ose" : "&OK");
}

void DeleteWatchDialog::DeleteSelected() {
  WaitCursor wait;
  std::vector<WatchListEntry> kept;
  for (const WatchListEntry& row : Entries()) {
    if (!row.selected) {
      kept.push_back(row);
      continue;
    }
    DVError status;
    SendDelete(status, row.watch.m_slot);
    if (status.IsOkay()) {
      MarkChanged();
      m_deleted = true;
    } else {
      DVError(status.Number(), kSeverityWarning, kDisplayMessageBox).Report();
      kept.push_back(row);
    }
  }
  Entries() = kept;
}

void DeleteWatchDialog::OnOk() {
  DeleteSelected();
  Close(kDialogResultOk);
}

void DeleteWatchDialog::OnControl(int32_t control, int32_t notification) {
  if (control == kWatchList) {
    if (notification == kNotifyListSelectionChange) ReadSelection();
    return;
  }
  if (control != kWatchApply) return;
  if (std::none_of(Entries().begin(), Entries().end(), [](const WatchListEntry& row) { return row.selected; })) {
    Layer().ShowMessageBox(DialogId(), kMessageBoxInformation, kOneWatch);
    return;
  }
  DeleteSelected();
  ShowList();
  ReadSelection();
}

// Every watch of the viewpoint goes and the list as it opened comes back, in its
// order.
void DeleteWatchDialog::PutBack(const std::vector<WatchListEntry>& snapshot) {
  WaitCursor wait;
  DVError status;
  for (int32_t id : WatchIds()) {
    SendDelete(status, id);
    if (!status.IsOkay()) status.Report();
  }
  for (const WatchListEntry& row : snapshot) {
    SendAdd(status, row.watch.m_text.data(), row.watch.m_enabled != 0);
    if (!status.IsOkay()) status.Report();
  }
}

void ShowAddWatchDialog(int32_t ownerId) {
  AddWatchDialog dialog;
  RunModalDialog(dialog, ownerId);
}

void ShowDeleteWatchDialog(int32_t ownerId) {
  DeleteWatchDialog dialog;
  RunModalDialog(dialog, ownerId);
}

namespace {

// The watch form's side of the settings management: the window's view manager keeps
// the sets; a failure is reported and leaves the list as it is. Once the window has
// gone (its dialog closing with it) nothing is asked of it.
int32_t WatchManageCallback(int32_t, uint32_t operation, void* argument) {
  WatchManagement& management = Management();
  intptr_t sent = reinterpret_cast<intptr_t>(argument);
  uint32_t code = 0;
  switch (operation) {
    case kManageList: code = kRequestListSets; break;
    case kManageRestore: code = kRequestRestoreSet; break;
    case kManageSave: code = kRequestSaveSet; break;
    case kManageRemove:
      code = kRequestRemoveSet;
      sent = reinterpret_cast<intptr_t>(&static_cast<NamedSetRequest*>(argument)->m_name);
      break;
    default: return 0;
  }
  if (management.window == nullptr) return -1;
  DVError status(0, 0, kDisplayByFocus);
  const int32_t result = ViewDispatcher::RunGuiCommand(status, *management.window, static_cast<int32_t>(code), sent);
  if (!status.IsOkay()) {
    status.Report();
    return -1;
  }
  return result;
}

}  // namespace

// The dialog is the window's while it runs; what was there before (nothing, as the
// dialog is modal) comes back after.
void ShowWatchManagement(WinSuper& window) {
  const ManagementForm* form = FindManagementForm(kWatchManage);
  if (form == nullptr) ZENTOR_INTERNAL_ERROR();
  ManagementDialog dialog(kManageEverything, &WatchManageCallback, form->title, form->recordId);
  const WatchManagement previous = Management();
  Management() = WatchManagement{&window, &dialog};
  struct Restore {
    WatchManagement previous;
    ~Restore() { Management() = previous; }
  } restore{previous};
  RunModalDialog(dialog, window.LayerWindowId(), kWatchManage);
}

void CloseWatchManagement(const WinSuper& window) {
  WatchManagement& management = Management();
  if (management.window != &window) return;
  management.window = nullptr;
  if (management.dialog != nullptr && management.dialog->IsOpen()) {
    management.dialog->Deliver(kDialogEventCancel, 0);
  }
}

}  // namespace zentor
