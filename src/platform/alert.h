#pragma once
// The one modal alert of the program: the memory manager's and the class library's
// last-resort messages. In the Windows GUI build it is a message box; in console
// mode (the native build, the console program, every test) it writes the text to
// stderr and answers at once without waiting for anybody, so a non-interactive run
// can never block on a box or loop on "Retry".

namespace zentor::platform {

enum class AlertButtons { Ok, OkCancel, AbortRetryIgnore };
enum class AlertAnswer { Ok, Cancel, Abort, Retry, Ignore, NotShown };

enum class AlertMode {
  Console,  // stderr; answers Ok for Ok/OkCancel boxes and Ignore for Abort/Retry/Ignore
  Window,   // a task-modal message box (Windows GUI build only; Console elsewhere)
};

struct AlertRequest {
  const char* title = "";
  const char* text = "";
  AlertButtons buttons = AlertButtons::Ok;
  int defaultButton = 0;  // 0-based index of the default button
  bool stopIcon = true;
  bool beep = false;
};

void SetAlertMode(AlertMode mode);
AlertMode GetAlertMode();

// Shows the alert and returns the answer. In console mode the answer is the one that
// lets the program go on without anybody's help (never Retry, never Abort).
AlertAnswer ShowAlert(const AlertRequest& request);

// While set, every alert is handed to the responder instead of being shown, and its
// answer is the alert's answer: tests use it to see what an alert asked and to choose
// an answer that console mode never gives (Retry, Cancel). Returns the previous
// responder; null shows alerts again.
using AlertResponder = AlertAnswer (*)(const AlertRequest& request);
AlertResponder SetAlertResponder(AlertResponder responder);

}  // namespace zentor::platform
