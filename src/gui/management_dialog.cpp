#include "gui/management_dialog.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/dv_error.h"
#include "core/window_layer.h"
#include "gui/dialog_description_file.h"
#include "gui/gui_window_layer.h"

namespace zentor {
namespace {

// The management dialog's controls.
constexpr int32_t kEntryList = 15;
constexpr int32_t kRestoreButton = 16;
constexpr int32_t kSaveButton = 17;
constexpr int32_t kRemoveButton = 18;
constexpr int32_t kOldCloseCommand = 20;
// The Save dialog's.
constexpr int32_t kNameEdit = 1560;
constexpr int32_t kDescriptionEdit = 1561;
constexpr int32_t kSaveCancelCommand = 1342;

constexpr int32_t kEntryListTabStop = 128;
// Characters of a list line read back for the selection.
constexpr int32_t kListLineRead = 100;
// The store's list entry of one record fits this room.
constexpr uint32_t kLookUpRoom = 128;

constexpr uint32_t kMsgInvalidName = 221;
constexpr uint32_t kMsgCannotRemoveCurrent = 222;
constexpr uint32_t kMsgCannotRemoveDefault = 223;
constexpr uint32_t kMsgCannotReplaceDefault = 224;
constexpr uint32_t kMsgEntryReplaced = 225;
constexpr uint32_t kMsgSettingsFile = 114;

constexpr ManagementForm kForms[] = {
    {1207, "Memory", 5},         {15, "Watch", 15},       {1528, "Breakpoints", 1},
    {1507, "Custom Buttons", 32}, {1701, "Invocation", 9}, {1803, "Color", 8},
};

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Refusals are warnings in a message box over the dialog in front.
void Warn(uint32_t number) { DVError(number, kSeverityWarning, kDisplayMessageBox).Report(); }

// The list line of an entry: the name in 16 columns, a tab, the description in 32.
std::string ListLine(const std::string& name, const std::string& description) {
  char line[kDialogNameField + kDialogDescriptionField + 32];
  std::snprintf(line, sizeof line, "%-16s\t%-32s", name.c_str(), description.c_str());
  return line;
}

// The words of a line, split at blanks and tabs.
std::vector<std::string> Words(const char* text) {
  std::vector<std::string> words;
  std::string word;
  for (const char* at = text;; ++at) {
    if (*at == '\0' || *at == ' ' || *at == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
      if (*at == '\0') return words;
    } else {
      word += *at;
    }
  }
}

}  // namespace

const ManagementForm* FindManagementForm(int32_t manageControl) {
  for (const ManagementForm& form : kForms) {
    if (form.manageControl == manageControl) return &form;
  }
  return nullptr;
}

ManagementDialog::ManagementDialog(uint32_t flags, ManageCallback callback, const char* title, uint32_t recordId)
    : DialogBody(DialogTemplate{"DLGMANAG", kManagementHelpContext}),
      m_flags(flags),
      m_callback(callback),
      m_title(title != nullptr ? title : ""),
      m_recordId(recordId) {}

bool ManagementDialog::IsValidName(const std::string& name) {
  if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

int32_t ManagementDialog::Call(uint32_t event, void* argument) {
  if (m_callback == nullptr) return -1;
  try {
    return m_callback(DialogId(), event, argument);
  } catch (DVError& error) {
    if (error.Severity() == kSeverityFatal) throw;
    error.Report();
    return -1;
  }
}

// 1. The list's tab stop, the caption, the operations the form allows.
// 2. The form hears that the dialog opened, then fills the list: every entry but
//    "CURRENT".
// 3. The first line is selected.
void ManagementDialog::OnInitialise() {
  GuiWindowLayer& layer = Layer();
  const int32_t dialog = DialogId();
  m_selectedName.clear();
  m_selectedDescription.clear();
  m_selectedIndex = -1;
  layer.ListSetTabStops(dialog, kEntryList, 1, &kEntryListTabStop);
  layer.ListClear(dialog, kEntryList);
  layer.SetWindowTitle(dialog, (m_title + " Management").c_str());
  layer.EnableItem(dialog, kSaveButton, (m_flags & kManageSaveAllowed) != 0);
  layer.EnableItem(dialog, kRestoreButton, (m_flags & kManageRestoreAllowed) != 0);
  layer.EnableItem(dialog, kRemoveButton, (m_flags & kManageRemoveAllowed) != 0);
  Call(kManageOpened, nullptr);
  NamedSetList list;
  if (Call(kManageList, &list) >= 0 && list.m_count != 0) {
    for (const NamedSetEntry& entry : list.m_entries) {
      if (entry.m_name != kCurrentEntryName) AppendLine(entry.m_name.data(), entry.m_description.data());
    }
  }
  SelectEntry(0);
}

void ManagementDialog::OnControl(int32_t control, int32_t notification) {
  switch (control) {
    case kEntryList:
      if (notification == kNotifyListSelectionChange) OnListSelection();
      return;
    case kRestoreButton: Restore(); return;
    case kSaveButton: OpenSaveDialog(); return;
    case kRemoveButton: Remove(); return;
    case kOldCloseCommand: CloseManagement(); return;
    default: return;
  }
}

// The selection is what its line says: the first word the name, the other words,
// joined by single blanks, the description.
void ManagementDialog::SelectEntry(int32_t index) {
  GuiWindowLayer& layer = Layer();
  const int32_t dialog = DialogId();
  m_selectedName.clear();
  m_selectedDescription.clear();
  m_selectedIndex = -1;
  if (layer.ListGetCount(dialog, kEntryList) <= 0 || index < 0) return;
  layer.ListSelect(dialog, kEntryList, index, 1);
  char line[kListLineRead + 1] = {};
  if (layer.ListGetText(dialog, kEntryList, index, line, sizeof line) == 1) {
    const std::vector<std::string> words = Words(line);
    for (size_t i = 0; i < words.size(); ++i) {
      if (i == 0) {
        m_selectedName = words[0];
      } else {
        m_selectedDescription += (i > 1 ? " " : "") + words[i];
      }
    }
  }
  m_selectedIndex = layer.ListGetSelection(dialog, kEntryList);
}

void ManagementDialog::OnListSelection() { SelectEntry(Layer().ListGetSelection(DialogId(), kEntryList)); }

bool ManagementDialog::LookUp(const std::string& name, NamedSetRequest* entry) {
  uint8_t buffer[kLookUpRoom];
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  if (store.ListRecords(m_recordId, kListFirstBatch, buffer, sizeof buffer, name.c_str()) <= 0) return false;
  DialogEntryInfo info;
  if (DialogDescriptionFile::ParseListEntry(buffer, sizeof buffer, &info) == 0) return false;
  entry->m_name = RWCString(info.m_name);
  entry->m_description = RWCString(info.m_description);
  entry->m_dataLength = info.m_dataLength;
  return true;
}

void ManagementDialog::Restore() {
  NamedSetRequest entry;
  if (LookUp(m_selectedName, &entry)) Call(kManageRestore, &entry);
}

void ManagementDialog::Remove() {
  if (StartsWith(m_selectedName, kCurrentEntryName)) {
    Warn(kMsgCannotRemoveCurrent);
    return;
  }
  if (StartsWith(m_selectedName, kDefaultEntryName)) {
    Warn(kMsgCannotRemoveDefault);
    return;
  }
  NamedSetRequest entry;
  entry.m_name = RWCString(m_selectedName.c_str());
  if (Call(kManageRemove, &entry) != 0) return;
  GuiWindowLayer& layer = Layer();
  layer.ListDeleteString(DialogId(), kEntryList, m_selectedIndex);
  SelectEntry(0);
}

void ManagementDialog::OpenSaveDialog() {
  SaveDialog save(*this);
  RunModalDialog(save, DialogId());
}

void ManagementDialog::CloseManagement() {
  Call(kManageClosed, nullptr);
  Close(kDialogResultOk);
}

void ManagementDialog::AppendLine(const std::string& name, const std::string& description) {
  Layer().ListInsertString(DialogId(), kEntryList, -1, ListLine(name, description).c_str());
}

int32_t ManagementDialog::FindLine(const std::string& name) {
  GuiWindowLayer& layer = Layer();
  const int32_t count = layer.ListGetCount(DialogId(), kEntryList);
  for (int32_t index = 0; index < count; ++index) {
    char line[kListLineRead + 1] = {};
    if (layer.ListGetText(DialogId(), kEntryList, index, line, sizeof line) != 1) continue;
    const std::vector<std::string> words = Words(line);
    if (!words.empty() && words[0] == name) return index;
  }
  return -1;
}

void ManagementDialog::PutBackSetAside(const std::string& name) {
  TheDialogDescriptionFile().RenameRecord(m_recordId, kSetAsideEntryName, name.c_str());
}

// 1. The name must be a name, and not one of the built-in entries'.
// 2. An entry of that name is replaced only when the user agrees; it is set aside as
//    "__pmet" (a leftover "__pmet" of an interrupted replacement goes first, so the
//    set-aside entry is the only one), and a rename that fails saves nothing and
//    keeps the Save dialog open.
// 3. The form saves. Done: the set-aside entry goes, the old line with it, and the
//    new entry's line is appended and selected. Not done: the old entry gets its name
//    back; a save that raised is reported and the Save dialog stays open.
int32_t ManagementDialog::SaveEntry(const std::string& typedName, const std::string& typedDescription) {
  if (!IsValidName(typedName)) {
    Warn(kMsgInvalidName);
    return 0;
  }
  if (StartsWith(typedName, kDefaultEntryName)) {
    Warn(kMsgCannotReplaceDefault);
    return 0;
  }
  GuiWindowLayer& layer = Layer();
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  const std::string name = typedName.substr(0, kDialogNameLimit);
  NamedSetRequest entry;
  entry.m_name = RWCString(name.c_str());
  entry.m_description = RWCString(typedDescription.substr(0, kDialogDescriptionLimit).c_str());

  bool setAside = false;
  NamedSetRequest existing;
  if (LookUp(name, &existing)) {
    char question[256];
    WindowLayer::LoadResourceString(kMsgEntryReplaced, question, sizeof question);
    if (layer.ShowMessageBox(layer.GetFocusWindow(), kMessageBoxOkCancel, question) != kMessageBoxAnswerOk) return 0;
    NamedSetRequest leftover;
    if (LookUp(kSetAsideEntryName, &leftover)) store.RemoveRecord(m_recordId, kSetAsideEntryName);
    int32_t renamed = -1;
    try {
      renamed = store.RenameRecord(m_recordId, name.c_str(), kSetAsideEntryName);
    } catch (DVError& error) {
      if (error.Severity() == kSeverityFatal) throw;
    }
    if (renamed != 0) {
      Warn(kMsgSettingsFile);
      return 0;
    }
    setAside = true;
  }

  int32_t saved = -1;
  try {
    saved = m_callback != nullptr ? m_callback(DialogId(), kManageSave, &entry) : -1;
  } catch (DVError& error) {
    if (setAside) PutBackSetAside(name);
    if (error.Severity() == kSeverityFatal) throw;
    error.Report();
    return 0;
  }
  if (saved != 0) {
    if (setAside) PutBackSetAside(name);
    return 1;
  }
  if (setAside) {
    store.RemoveRecord(m_recordId, kSetAsideEntryName);
    const int32_t oldLine = FindLine(name);
    if (oldLine >= 0) layer.ListDeleteString(DialogId(), kEntryList, oldLine);
  }
  NamedSetRequest added;
  if (LookUp(name, &added)) {
    AppendLine(added.m_name.data(), added.m_description.data());
    SelectEntry(layer.ListGetCount(DialogId(), kEntryList) - 1);
  }
  return 1;
}

SaveDialog::SaveDialog(ManagementDialog& management)
    : DialogBody(DialogTemplate{"SAVEMANA", kSaveDialogHelpContext}), m_management(management) {}

void SaveDialog::OnInitialise() {
  GuiWindowLayer& layer = Layer();
  layer.LimitItemText(DialogId(), kNameEdit, kDialogNameLimit);
  layer.LimitItemText(DialogId(), kDescriptionEdit, kDialogDescriptionLimit);
  layer.SetItemText(DialogId(), kNameEdit, m_management.SelectedName().c_str());
  layer.SetItemText(DialogId(), kDescriptionEdit, m_management.SelectedDescription().c_str());
}

void SaveDialog::ReadFields(std::string* name, std::string* description) {
  char nameText[kDialogNameField] = {};
  char descriptionText[kDialogDescriptionField] = {};
  Layer().GetItemText(DialogId(), kNameEdit, nameText, sizeof nameText);
  Layer().GetItemText(DialogId(), kDescriptionEdit, descriptionText, sizeof descriptionText);
  *name = nameText;
  *description = descriptionText;
}

void SaveDialog::OnOk() {
  std::string name;
  std::string description;
  ReadFields(&name, &description);
  if (m_management.SaveEntry(name, description) != 0) Close(kDialogResultOk);
}

void SaveDialog::OnControl(int32_t control, int32_t) {
  if (control == kSaveCancelCommand) OnCancel();
}

int32_t RunManagementDialog(int32_t ownerId, int32_t manageControl, ManageCallback callback) {
  const ManagementForm* form = FindManagementForm(manageControl);
  if (form == nullptr) ZENTOR_INTERNAL_ERROR();
  ManagementDialog dialog(kManageEverything, callback, form->title, form->recordId);
  return RunModalDialog(dialog, ownerId, manageControl);
}

}  // namespace zentor
