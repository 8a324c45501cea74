#include "gui/viewpoint_dialogs.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/viewpoint_manager.h"
#include "gui/dialog_body.h"
#include "gui/gui_window_layer.h"

namespace zentor {
namespace {

// The Alias dialog reads no more than an alias can hold.
constexpr int32_t kAliasReadSize = static_cast<int32_t>(ViewpointManager::kMaxAliasLength) + 1;

class AliasDialogBody final : public DialogBody {
 public:
  AliasDialogBody() : DialogBody(DialogTemplate{"ALIASDLG", kAliasDialogHelpContext}) {}

 protected:
  void OnInitialise() override {
    const RWCString alias = ViewpointManager::AliasOf(ViewpointManager::SelectedIndex(false));
    Layer().SetItemText(DialogId(), kAliasEdit, alias.data());
    SelectAll();
  }

  // 1. At most 8 characters, and of those the first word.
  // 2. A refusal (the alias is another viewpoint's) is reported and the dialog stays
  //    open with the text selected for another try.
  void OnOk() override {
    char buffer[kAliasReadSize] = {};
    Layer().GetItemText(DialogId(), kAliasEdit, buffer, kAliasReadSize);
    const std::string text(buffer);
    const std::size_t start = text.find_first_not_of(" \t");
    const std::string word =
        start == std::string::npos ? std::string() : text.substr(start, text.find_first_of(" \t", start) - start);
    DVError status(0, 0, kDisplayByFocus);
    if (ViewpointManager::SetAlias(RWCString(word.c_str()), ViewpointManager::SelectedIndex(false), status) != 0) {
      status.Report();
      SelectAll();
      return;
    }
    RefillViewpointList();
    Close(kDialogResultOk);
  }

 private:
  void SelectAll() { Layer().SelectItemText(DialogId(), kAliasEdit, 0, -1); }
};

class ViewpointDialogBody final : public DialogBody {
 public:
  ViewpointDialogBody()
      : DialogBody(DialogTemplate{"VIEWPTDLG", kViewpointDialogHelpContext, true, kDialogOkControl, kViewpointClose}),
        m_listRecord(kRecordViewpointList) {}

  bool AliasedOnly() const { return m_aliasedOnly; }
  CollectableRecord& ListRecord() { return m_listRecord; }

  // One row per viewpoint under the headings Current, Viewpoint and Alias: the mark of
  // the current one, the target's own text of the viewpoint, its alias (empty when
  // none). The list sorts its rows, so a row's place says nothing of its record: each
  // row carries its viewpoint's handle as its item data.
  void Refill() {
    if (!IsOpen()) return;
    GuiWindowLayer& layer = Layer();
    const int32_t dialog = DialogId();
    layer.ListClear(dialog, kViewpointList);
    int32_t rows = 0;
    const int32_t current = ViewpointManager::CurrentIndex();
    const int32_t count = static_cast<int32_t>(ViewpointManager::Count());
    for (int32_t index = 0; index < count; ++index) {
      if (m_aliasedOnly && ViewpointManager::AliasNumberOf(index) == -1) continue;
      const ViewpointHandle handle = ViewpointManager::HandleAt(index);
      const RWCString name = ViewpointManager::BuildDisplayName(handle.Value(), false);
      const RWCString alias = ViewpointManager::AliasOf(index);
      char line[160];
      std::snprintf(line, sizeof line, "   %c         %s             %s", index == current ? '*' : ' ', name.data(),
                    alias.data());
      if (layer.ListAddEntry(dialog, kViewpointList, line, RowData(handle)) >= 0) ++rows;
    }
    const int32_t enable = rows > 0 ? 1 : 0;
    if (rows > 0) SelectRowOf(ViewpointManager::SelectedIndex(m_aliasedOnly));
    layer.EnableItem(dialog, kViewpointAlias, enable);
    layer.EnableItem(dialog, kViewpointMakeCurrent, enable);
  }

 protected:
  // The check box shows the filter the list is made with, also when the dialog opens
  // again with the filter on.
  void OnInitialise() override {
    Layer().CheckItem(DialogId(), kViewpointAliasedOnly, m_aliasedOnly ? 1 : 0);
    m_listRecord.Register();
    m_listRecord.MarkChanged();
    RefreshViewpointDialogIfChanged();
    Refill();
  }

  void OnCancel() override {
    m_listRecord.Unregister();
    Close(kDialogResultCancel);
  }

  void OnControl(int32_t control, int32_t notification) override {
    switch (control) {
      case kViewpointMakeCurrent:
        MakeCurrent();
        break;
      case kViewpointList:
        if (notification == kNotifyListSelectionChange) {
          ViewpointManager::SetDialogSelection(SelectedRecord());
        } else if (notification == kNotifyListDoubleClick) {
          MakeCurrent();
        }
        break;
      case kViewpointAlias:
        Layer().ActivateWindow(DialogId());
        RunModalDialog(m_alias, DialogId());
        break;
      case kViewpointAliasedOnly:
        m_aliasedOnly = !m_aliasedOnly;
        Layer().CheckItem(DialogId(), kViewpointAliasedOnly, m_aliasedOnly ? 1 : 0);
        Refill();
        break;
      default:
        break;
    }
  }

 private:
  static void MakeCurrent() { ViewpointManager::SelectIfNeeded(ViewpointManager::SelectedIndex(false), false); }

  static intptr_t RowData(ViewpointHandle handle) { return static_cast<intptr_t>(handle.Value()); }

  // The record of the selected row; -1 when no row is selected or its viewpoint has
  // gone since the list was made.
  int32_t SelectedRecord() {
    const int32_t row = Layer().ListGetSelection(DialogId(), kViewpointList);
    if (row < 0) return -1;
    const intptr_t data = Layer().ListGetItemData(DialogId(), kViewpointList, row);
    const ViewpointHandle handle(static_cast<uint32_t>(data));
    return handle.IsNone() ? -1 : ViewpointManager::FindIndexByHandle(handle);
  }

  void SelectRowOf(int32_t index) {
    if (index < 0) return;
    const intptr_t data = RowData(ViewpointManager::HandleAt(index));
    const int32_t rows = Layer().ListGetCount(DialogId(), kViewpointList);
    for (int32_t row = 0; row < rows; ++row) {
      if (Layer().ListGetItemData(DialogId(), kViewpointList, row) == data) {
        Layer().ListSelect(DialogId(), kViewpointList, row, 1);
        return;
      }
    }
  }

  bool m_aliasedOnly = false;
  CollectableRecord m_listRecord;
  AliasDialogBody m_alias;
};

ViewpointDialogBody& Dialog() {
  static ViewpointDialogBody dialog;
  return dialog;
}

}  // namespace

void OpenViewpointDialog() {
  if (IsViewpointDialogOpen()) {
    ActivateViewpointDialog();
    return;
  }
  OpenModelessDialog(Dialog(), kNoLayerId);
}

bool IsViewpointDialogOpen() { return Dialog().IsOpen(); }

void ActivateViewpointDialog() {
  if (GuiWindowLayer* layer = InstalledGuiWindowLayer(); layer != nullptr && IsViewpointDialogOpen()) {
    layer->ActivateWindow(Dialog().DialogId());
  }
}

void RefreshViewpointDialogIfChanged() {
  ViewpointDialogBody& dialog = Dialog();
  if (dialog.ListRecord().TestAndClearChanged() != 0 && dialog.IsOpen()) dialog.Refill();
}

void RefillViewpointList() { Dialog().Refill(); }

}  // namespace zentor
