#pragma once
// The dialog framework. Every dialog of the debugger is a DialogBody: portable code
// over the window layer that receives numbered events and answers with layer calls
// (dialog items, lists, message boxes). A dialog procedure (the Win32 one in
// win32/win32_dialog_runner.h, or the tests' scripted driver) turns the system's
// messages into the body's procedure calls below; a DialogRunner opens a body's
// template modally or modeless. Nothing a body raises leaves the procedure: the
// dialog is closed and the error handed on to the code that opened it, once the
// dialog has returned.
//
// The conventions every dialog keeps:
// - events: 0 initialise, 2 OK (the OK control, 1 unless the template says), 3
//   Cancel (the Cancel control, 2 unless the template says), any other number is the
//   dialog's own control id with the control's notification code;
// - WM_CLOSE posts the Cancel control; the Help control (10) and the F1 hook's
//   message open the dialog's help context;
// - a modal dialog registers with the layer as a modal dialog (type 0), a modeless
//   one as a modeless dialog (type 1), with the body as the window's user word;
// - a list dialog keeps its own entries and a snapshot taken when it opens, and a
//   Cancel after a change puts the snapshot back (ListDialogBody);
// - a dialog with "&Apply" renames its Cancel button "Cl&ose" after a successful
//   Apply (ApplySucceeded).

#include <cstdint>
#include <exception>
#include <vector>

#include "gui/layer_types.h"

namespace zentor {

class GuiWindowLayer;

// The numbered events of a body.
inline constexpr int32_t kDialogEventInitialise = 0;
inline constexpr int32_t kDialogEventOk = 2;
inline constexpr int32_t kDialogEventCancel = 3;

// The usual control ids of the templates.
inline constexpr int32_t kDialogOkControl = 1;
inline constexpr int32_t kDialogCancelControl = 2;
inline constexpr int32_t kDialogHelpControl = 10;

// Notification codes a procedure passes with a control's command.
inline constexpr int32_t kNotifyListSelectionChange = 1;  // LBN_SELCHANGE, CBN_SELCHANGE
inline constexpr int32_t kNotifyListDoubleClick = 2;      // LBN_DBLCLK
inline constexpr int32_t kNotifyEditChange = 0x300;       // EN_CHANGE

// A body's result once its dialog has closed.
inline constexpr int32_t kDialogResultCancel = 0;
inline constexpr int32_t kDialogResultOk = 1;

// What a dialog procedure needs to open and route a body's dialog.
struct DialogTemplate {
  const char* name = "";         // the resource template
  uint32_t helpContext = 0;      // the help file's context of the dialog (0: none)
  bool modeless = false;
  int32_t okControl = kDialogOkControl;
  int32_t cancelControl = kDialogCancelControl;
  // A box that closes itself (as Cancel) after this long once it is open; 0: never.
  // When its timer cannot be started it closes at once (as OK).
  uint32_t closeAfterMilliseconds = 0;
};

class DialogBody {
 public:
  explicit DialogBody(const DialogTemplate& dialogTemplate);
  virtual ~DialogBody();
  DialogBody(const DialogBody&) = delete;
  DialogBody& operator=(const DialogBody&) = delete;

  const DialogTemplate& Template() const { return m_template; }
  // The layer id of the open dialog; kNoLayerId while it is not open.
  int32_t DialogId() const { return m_dialogId; }
  bool IsOpen() const { return m_dialogId != kNoLayerId; }
  int32_t Result() const { return m_result; }
  // What the opener passed (a dialog's mode, the control id of a Manage button).
  intptr_t Parameter() const { return m_parameter; }
  void SetParameter(intptr_t parameter) { m_parameter = parameter; }

  // The procedure's side. None of these lets an exception out: what a handler raises
  // closes the dialog and is kept for RaiseFailure.
  // WM_INITDIALOG: registers the window with the layer and runs event 0. False when
  // the window could not be registered (the dialog is closed at once).
  bool Open(NativeWindow window);
  // WM_COMMAND: the OK and Cancel controls become events 2 and 3, the Help control
  // opens the help context, every other control is an event of its own id.
  void Command(int32_t control, int32_t notification);
  // A message the procedure does not handle: a paint the body draws itself, or the F1
  // hook's message, which opens the help context (true); anything else is not the
  // dialog's (false).
  bool OtherMessage(uint32_t message);
  // WM_DESTROY: a dialog destroyed from outside gives up its layer slot.
  void Destroyed();
  // Once the dialog has returned: raises again what a handler raised, if anything.
  void RaiseFailure();
  bool HasFailure() const { return static_cast<bool>(m_failure); }

  // Runs one numbered event (what Command does after its mapping).
  void Deliver(int32_t event, int32_t notification);

 protected:
  virtual void OnInitialise() = 0;
  // By default OK closes with kDialogResultOk.
  virtual void OnOk();
  // By default Cancel puts the snapshot back after a change and closes with
  // kDialogResultCancel.
  virtual void OnCancel();
  // The dialog's own controls; by default nothing.
  virtual void OnControl(int32_t control, int32_t notification);
  // WM_PAINT of a dialog that draws into its own client area: true when it painted
  // (between the layer's BeginPaint and EndPaint); by default the system paints.
  virtual bool OnPaint() { return false; }
  // A list dialog's Cancel after a change: the state as it was when it opened.
  virtual void RestoreSnapshot() {}

  // Closes the dialog (EndDialog for a modal one, DestroyWindow for a modeless one)
  // and gives up its layer slot.
  void Close(int32_t result);
  // The Apply succeeded: the Cancel button reads "Cl&ose" from now on.
  void ApplySucceeded();
  void MarkChanged() { m_changed = true; }
  bool IsChanged() const { return m_changed; }
  void ShowHelp();
  GuiWindowLayer& Layer() const;

 private:
  // Every handler runs through here: what it raises is kept and closes the dialog.
  template <typename Handler>
  void Guarded(Handler&& handler);
  void CloseAfterFailure();

  DialogTemplate m_template;
  int32_t m_dialogId = kNoLayerId;
  int32_t m_result = kDialogResultCancel;
  intptr_t m_parameter = 0;
  bool m_changed = false;
  std::exception_ptr m_failure;
};

// A list dialog: its own copy of the entries it shows, and the snapshot of them taken
// when it opened, which a Cancel after a change hands to PutBack.
template <typename Entry>
class ListDialogBody : public DialogBody {
 public:
  using DialogBody::DialogBody;

 protected:
  std::vector<Entry>& Entries() { return m_entries; }
  const std::vector<Entry>& Snapshot() const { return m_snapshot; }
  // After the entries are filled at initialise.
  void TakeSnapshot() { m_snapshot = m_entries; }
  // Makes the state (the engine's, the settings') what the snapshot says.
  virtual void PutBack(const std::vector<Entry>& snapshot) = 0;
  void RestoreSnapshot() override { PutBack(m_snapshot); }

 private:
  std::vector<Entry> m_entries;
  std::vector<Entry> m_snapshot;
};

// How dialogs are opened: the Win32 runner with the program's templates, the tests'
// scripted driver. Without one installed (the console program) no dialog opens.
class DialogRunner {
 public:
  virtual ~DialogRunner();
  // Opens the body's template over the owner and returns when the dialog has closed.
  // The base opens nothing.
  virtual void RunModal(DialogBody& body, int32_t ownerId);
  // Opens the body's template over the owner and returns at once; false when it
  // could not be made. The base makes none.
  virtual bool OpenModeless(DialogBody& body, int32_t ownerId);
};

// Installs the runner (the caller keeps it alive); null takes it away. Answers the
// one installed before.
DialogRunner* InstallDialogRunner(DialogRunner* runner);

// Runs the body's dialog modally over the owner (kNoLayerId: the frame) with the
// parameter; answers its result. What the body raised is raised again here, after the
// dialog is gone. A body already open is not opened twice (kDialogResultCancel).
int32_t RunModalDialog(DialogBody& body, int32_t ownerId, intptr_t parameter = 0);
// Opens the body's dialog modeless; true when it is open.
bool OpenModelessDialog(DialogBody& body, int32_t ownerId, intptr_t parameter = 0);

}  // namespace zentor
