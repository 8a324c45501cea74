#pragma once
// The four small modal dialogs of the Source window and of the frame's File and Browse
// menus: Source Find (the shared find text and direction, then a search in the owner's
// pane), Modify Value (a variable's new value, given by the command "\name = value"),
// Browse To (an address expression that becomes the scope, "scope=...") and Source
// Path (the viewpoint's and the global search paths). Modify Value and Browse To run
// command texts through RunCommandTextFromDialog, so they do exactly what the typed
// command does; Source Find and Source Path call their owners directly.

#include <cstdint>
#include <string>

#include "gui/dialog_body.h"

namespace zentor {

// Controls of the templates SFIND, SRCMOD, SCOPE and SRCPATH.
enum SourceDialogControl : int32_t {
  kFindTextEdit = 2101,
  kFindUpRadio = 2102,
  kFindDownRadio = 2103,
  kModifyVariableText = 105,
  kModifyOldValueText = 103,
  kModifyNewValueEdit = 104,
  kScopeEdit = 283,
  kSourcePathEdit = 273,
  kGlobalPathEdit = 274,
};

inline constexpr uint32_t kSourcePathHelpContext = 30160;
inline constexpr uint32_t kScopeHelpContext = 30190;
inline constexpr uint32_t kModifyValueHelpContext = 30290;
inline constexpr uint32_t kSourceFindHelpContext = 30300;

// The longest command text a dialog builds: the command buffer's 510 bytes with their
// terminator. A longer text would be cut by the runner and run as something else.
inline constexpr size_t kLongestDialogCommandText = 509;

// What the four share: a close gives the activation back to the window under the
// dialog.
class SourceDialogBody : public DialogBody {
 public:
  using DialogBody::DialogBody;

 protected:
  void OnCancel() override { Finish(kDialogResultCancel); }
  void Finish(int32_t result);
};

// Source Find: the owner (the parameter) is the layer id of the Source window whose
// pane is searched. Find Next keeps the dialog open for the next match.
class SourceFindDialog final : public SourceDialogBody {
 public:
  SourceFindDialog();

 protected:
  void OnInitialise() override;
  void OnOk() override;
  void OnControl(int32_t control, int32_t notification) override;
};

// Modify Value: the owner is the Source window whose selected text names the variable.
class ModifyValueDialog final : public SourceDialogBody {
 public:
  ModifyValueDialog();

 protected:
  void OnInitialise() override;
  void OnOk() override;

 private:
  std::string m_variable;
};

// Browse To.
class ScopeDialog final : public SourceDialogBody {
 public:
  ScopeDialog();

 protected:
  void OnInitialise() override;
  void OnOk() override;
};

// Source Path: the edits take paths of any length; their limit grows with the longest
// path shown so far and never shrinks.
class SourcePathDialog final : public SourceDialogBody {
 public:
  SourcePathDialog();
  size_t Capacity() const { return m_capacity; }

 protected:
  void OnInitialise() override;
  void OnOk() override;

 private:
  void Fill(int32_t edit, const std::string& path);
  size_t m_capacity = 0;
};

// The launchers: each runs its dialog modally over the window of `ownerId` (a layer
// id; kNoLayerId: the frame) and reports what the dialog raised.
void ShowSourceFindDialog(int32_t ownerId);
void ShowModifyValueDialog(int32_t ownerId);
void ShowScopeDialog(int32_t ownerId);
void ShowSourcePathDialog(int32_t ownerId);

// The frame's File and Browse menu commands open their dialogs from now on.
void InstallSourceDialogs();

}  // namespace zentor
