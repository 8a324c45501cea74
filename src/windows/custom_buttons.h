#pragma once
// The user's own buttons in the frame's button bar: at most eight, each a caption of at
// most 5 characters and a command text of at most 250 that a press runs as if it had
// been typed, its output in the Command window. The Custom Buttons dialog (CUSBUTN)
// lists, adds (ADDCBUTN), modifies (MODCBUTN) and deletes them, with the list as it was
// put back by Cancel; the button bar is made again whenever that dialog closes and
// whenever a saved set is restored. Named sets live in the settings store under record
// id 32, through the dialog management and with the saved window layout ("CURRENT").

#include <cstdint>
#include <string>
#include <vector>

#include "gui/dialog_body.h"

namespace zentor {

enum CustomButtonControl : int32_t {
  kCustomNameEdit = 1500,
  kCustomCommandEdit = 1501,
  kCustomApplyButton = 1502,
  kCustomButtonList = 1503,
  kCustomAddButton = 1504,
  kCustomDeleteButton = 1505,
  kCustomModifyButton = 1506,
  kCustomManageButton = 1507,
};

inline constexpr uint32_t kCommandCustomButtons = 1491;
inline constexpr uint32_t kCustomButtonsHelpContext = 30250;
inline constexpr uint32_t kAddCustomButtonHelpContext = 30260;
inline constexpr uint32_t kModifyCustomButtonHelpContext = 30270;

struct CustomButton {
  int32_t index = 0;      // its row in the dialog's list, 0..count-1
  int32_t commandId = 0;  // the command of its push button in the bar
  int32_t selected = 0;   // 1 while its row is selected in the dialog
  std::string name;
  std::string command;
};

// The buttons in list order (tests and the layout code read them).
const std::vector<CustomButton>& CustomButtons();
int32_t CurrentCustomButtonIndex();

// A press of a bar button: runs the command text of the button with that command id as
// a typed command line and answers 1; 0 when no button has the id or its text is empty.
int32_t RunCustomButton(int32_t commandId);
// The buttons as a named set (record id 32): 0 or the store's code.
int32_t SaveCustomButtons(const char* name, const char* description);
// The named set in place of the buttons, the bar made again: 0, or the store's code
// (114 for a record that is no saved set of buttons); the buttons stay as they were
// when it fails. A name never saved leaves no buttons and counts as success.
int32_t RestoreCustomButtons(const char* name, const char* description);
// The dialog management's callback of the "Custom Buttons" form.
int32_t CustomButtonManageCallback(int32_t ownerId, uint32_t operation, void* argument);

// The three dialogs; the Custom Buttons dialog opens the other two over itself.
class CustomButtonsDialog final : public DialogBody {
 public:
  CustomButtonsDialog();
  // The list box shows the buttons (only while the dialog is open).
  void ShowList();

 protected:
  void OnInitialise() override;
  void OnOk() override;
  void OnCancel() override;
  void OnControl(int32_t control, int32_t notification) override;

 private:
  void SelectionChanged();
  void DeleteSelected();
  void CloseAndRebuildBar(int32_t result);
};

class CustomButtonEditDialog final : public DialogBody {
 public:
  // Adds a button (ADDCBUTN) or modifies the current one (MODCBUTN).
  CustomButtonEditDialog(bool modify, CustomButtonsDialog& list);

 protected:
  void OnInitialise() override;
  void OnOk() override;
  void OnCancel() override;
  void OnControl(int32_t control, int32_t notification) override;

 private:
  // The two edits into `name` and `command`; false (reported, the blank text
  // selected) when either is empty or blank.
  bool ReadFields(std::string* name, std::string* command);
  void Append(const std::string& name, const std::string& command);
  void Apply();

  bool m_modify;
  CustomButtonsDialog& m_list;
};

// Opens the Custom Buttons dialog over the frame (the frame's command 1491).
void ShowCustomButtonsDialog();
// The frame's bar buttons and Options item reach the custom buttons from now on.
void InstallCustomButtons();
// Back to the start of a run: no buttons, no dialog (tests).
void ResetCustomButtons();

}  // namespace zentor
