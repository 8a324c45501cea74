#include "platform/alert.h"

#include <windows.h>

namespace zentor::platform {

AlertAnswer ShowConsoleAlert(const AlertRequest& request);
AlertResponder CurrentAlertResponder();

AlertAnswer ShowAlert(const AlertRequest& request) {
  if (AlertResponder responder = CurrentAlertResponder()) return responder(request);
  if (GetAlertMode() == AlertMode::Console) return ShowConsoleAlert(request);
  if (request.beep) MessageBeep(MB_ICONHAND);
  UINT type = MB_TASKMODAL;
  if (request.stopIcon) type |= MB_ICONSTOP;
  switch (request.buttons) {
    case AlertButtons::Ok: type |= MB_OK; break;
    case AlertButtons::OkCancel: type |= MB_OKCANCEL; break;
    case AlertButtons::AbortRetryIgnore: type |= MB_ABORTRETRYIGNORE; break;
  }
  if (request.defaultButton == 1) type |= MB_DEFBUTTON2;
  if (request.defaultButton == 2) type |= MB_DEFBUTTON3;
  int answer = MessageBoxA(nullptr, request.text, request.title, type);
  if (answer == 0) answer = MessageBoxA(nullptr, request.text, request.title, (type & ~MB_TASKMODAL) | MB_SYSTEMMODAL);
  switch (answer) {
    case IDOK: return AlertAnswer::Ok;
    case IDCANCEL: return AlertAnswer::Cancel;
    case IDABORT: return AlertAnswer::Abort;
    case IDRETRY: return AlertAnswer::Retry;
    case IDIGNORE: return AlertAnswer::Ignore;
    default: return AlertAnswer::NotShown;
  }
}

}  // namespace zentor::platform
