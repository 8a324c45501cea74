#pragma once
// The management dialog (DLGMANAG) that the six settings forms share, and its Save
// dialog (SAVEMANA). It lists the named entries a form keeps in the settings store
// under its record id, with their descriptions, and saves, restores and removes them;
// it knows nothing of the data: the form's ManageCallback does the work.
//
// The ManageCallback contract: callback(management dialog's layer id, event, argument)
// answers 0 when done.
//   15 list     NamedSetList*: fill it with the form's entries (a negative answer: none)
//   16 restore  NamedSetRequest*: name, description and data length of the entry
//   17 save     NamedSetRequest*: the current settings under this name and description
//   18 remove   NamedSetRequest*: the name
//   19 opened, 20 closing: no argument (null); the form may keep the dialog's id to
//               own its message boxes
// "CURRENT" (the settings in use) is never listed when the dialog opens and is never
// removed; "DEFAULT" (the built-in settings) is never removed or replaced. A
// replacement sets the old entry aside as "__pmet" until the new one is saved.

#include <cstdint>
#include <string>

#include "engine/dialog_records.h"
#include "gui/dialog_body.h"
#include "gui/manage_operations.h"

namespace zentor {

using ManageCallback = int32_t (*)(int32_t dialogId, uint32_t event, void* argument);

// The operations a management dialog offers.
inline constexpr uint32_t kManageSaveAllowed = 0x1;
inline constexpr uint32_t kManageRestoreAllowed = 0x2;
inline constexpr uint32_t kManageRemoveAllowed = 0x4;
inline constexpr uint32_t kManageEverything = 0x7;

inline constexpr uint32_t kManagementHelpContext = 30100;
inline constexpr uint32_t kSaveDialogHelpContext = 30110;

inline constexpr char kCurrentEntryName[] = "CURRENT";
inline constexpr char kDefaultEntryName[] = "DEFAULT";
inline constexpr char kSetAsideEntryName[] = "__pmet";

// A settings form by the control id of its Manage button.
struct ManagementForm {
  int32_t manageControl;
  const char* title;
  uint32_t recordId;
};
// Null for a control id no form has.
const ManagementForm* FindManagementForm(int32_t manageControl);

class ManagementDialog final : public DialogBody {
 public:
  ManagementDialog(uint32_t flags, ManageCallback callback, const char* title, uint32_t recordId);

  // The Save dialog's OK with what was typed: 1 when the Save dialog may close, 0
  // when it stays open for a correction.
  int32_t SaveEntry(const std::string& typedName, const std::string& typedDescription);
  const std::string& SelectedName() const { return m_selectedName; }
  const std::string& SelectedDescription() const { return m_selectedDescription; }
  int32_t SelectedIndex() const { return m_selectedIndex; }
  // A name the store may take: a letter, then letters, digits and '_'.
  static bool IsValidName(const std::string& name);

 protected:
  void OnInitialise() override;
  void OnOk() override { CloseManagement(); }
  void OnCancel() override { CloseManagement(); }
  void OnControl(int32_t control, int32_t notification) override;

 private:
  void SelectEntry(int32_t index);
  void OnListSelection();
  void Restore();
  void Remove();
  void OpenSaveDialog();
  void CloseManagement();
  // The callback with what it raises reported (the dialog stays); -1 then.
  int32_t Call(uint32_t event, void* argument);
  // The store's entry of the form's record id and the name.
  bool LookUp(const std::string& name, NamedSetRequest* entry);
  void AppendLine(const std::string& name, const std::string& description);
  int32_t FindLine(const std::string& name);
  void PutBackSetAside(const std::string& name);

  uint32_t m_flags;
  ManageCallback m_callback;
  std::string m_title;
  uint32_t m_recordId;
  std::string m_selectedName;
  std::string m_selectedDescription;
  int32_t m_selectedIndex = -1;
};

// The Save dialog over a management dialog: a name (at most 16 characters) and a
// description (at most 32), the selected entry's to start with.
class SaveDialog final : public DialogBody {
 public:
  explicit SaveDialog(ManagementDialog& management);

 protected:
  void OnInitialise() override;
  void OnOk() override;
  void OnControl(int32_t control, int32_t notification) override;

 private:
  // The typed name (at most 16 characters) and description (at most 32).
  void ReadFields(std::string* name, std::string* description);
  ManagementDialog& m_management;
};

// Opens the management dialog over the owner for the form whose Manage button has the
// control id, with every operation offered; answers the dialog's result.
int32_t RunManagementDialog(int32_t ownerId, int32_t manageControl, ManageCallback callback);

}  // namespace zentor
