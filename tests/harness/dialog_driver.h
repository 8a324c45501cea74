#pragma once
// Dialog bodies natively: the tests' dialog runner. It makes each dialog a recording
// window with the controls of its real template (dialog_template.h), runs the body's
// procedure calls as the Win32 dialog procedure does, and plays a script of user
// actions on the innermost open dialog until that dialog closes, so nested modal
// dialogs (a Save dialog over a management dialog) run as they do under Windows.
// Everything the body does goes through the window layer into the recording log;
// the actions and the queries read the controls' state.
//
//   DialogDriver driver(system);
//   driver.Script({DialogDriver::Type(1560, "mine"), DialogDriver::Press(1)});
//   RunModalDialog(body, kNoLayerId);

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "gui/dialog_body.h"
#include "gui/layer_system.h"
#include "harness/dialog_template.h"
#include "harness/recording_layer_system.h"

namespace zentor::testing_support {

class DialogDriver final : public DialogRunner {
 public:
  using Action = std::function<void(DialogDriver&)>;

  // Installs itself as the dialog runner for its life.
  explicit DialogDriver(RecordingLayerSystem& system);
  ~DialogDriver() override;
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  // A test's own templates, besides the program's.
  void AddTemplates(std::string_view resourceText);

  // Appends actions to the script.
  void Script(std::vector<Action> actions);
  // Plays the script while a modeless dialog is open (a modal one plays it itself).
  void Play();
  bool ScriptDone() const { return m_script.empty(); }
  // Forgets what is left of the script (an action meant for a dialog that did not open).
  void DropScript() { m_script.clear(); }

  // The actions, on the innermost open dialog.
  // A click on an enabled button (a disabled one fails the test).
  static Action Press(int32_t control);
  // Any command, whatever the control's state.
  static Action Command(int32_t control, int32_t notification = 0);
  // WM_CLOSE: the procedure posts the Cancel control.
  static Action Close();
  // Typing that replaces an edit's text (cut at the edit's limit), then EN_CHANGE.
  static Action Type(int32_t control, std::string text);
  // A click on a list entry (-1: none), then the selection-change notification.
  static Action Select(int32_t control, int32_t index);
  static Action DoubleClick(int32_t control, int32_t index);
  // Selects exactly these rows of a multiple-selection list, then the notification.
  static Action SelectRows(int32_t control, std::vector<int32_t> rows);
  // The answer the next message boxes get.
  static Action Reply(MessageBoxReply reply);
  // Anything else: checks on the open dialog, a change of the world behind it.
  static Action Do(std::function<void(DialogDriver&)> action) { return action; }

  // The innermost open dialog and its controls.
  DialogBody* Current() const;
  int32_t CurrentId() const;
  std::string Caption() const;
  std::string Text(int32_t control) const;
  std::vector<std::string> Entries(int32_t control) const;
  int32_t Selection(int32_t control) const;
  bool Enabled(int32_t control) const;
  bool Checked(int32_t control) const;
  // The control has the keyboard focus.
  bool Focused(int32_t control) const;
  // The selected rows of a multiple-selection list, ascending.
  std::vector<int32_t> SelectedRows(int32_t control) const;
  // The dialogs that have been made, by template name, in order.
  const std::vector<std::string>& Opened() const { return m_opened; }

  // DialogRunner.
  void RunModal(DialogBody& body, int32_t ownerId) override;
  bool OpenModeless(DialogBody& body, int32_t ownerId) override;

 private:
  struct OpenDialog {
    DialogBody* body;
    NativeWindow window;
  };
  const DialogResourceTemplate* FindTemplate(const std::string& name) const;
  NativeWindow MakeWindow(const DialogResourceTemplate& dialogTemplate, int32_t ownerId);
  NativeWindow Item(int32_t control) const;
  RecordingLayerSystem::Window* ItemWindow(int32_t control) const;
  void PlayUntilClosed(DialogBody& body);
  void Forget(const OpenDialog& dialog);

  RecordingLayerSystem& m_system;
  DialogRunner* m_previous;
  std::vector<DialogResourceTemplate> m_ownTemplates;
  std::deque<Action> m_script;
  std::vector<OpenDialog> m_open;
  std::vector<std::string> m_opened;
};

}  // namespace zentor::testing_support
