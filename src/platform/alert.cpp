#include "platform/alert.h"

#include "platform/held_output.h"

#include <cstdio>

namespace zentor::platform {

namespace {
AlertMode g_alertMode = AlertMode::Console;
AlertResponder g_responder = nullptr;
}  // namespace

AlertResponder SetAlertResponder(AlertResponder responder) {
  AlertResponder previous = g_responder;
  g_responder = responder;
  return previous;
}

AlertResponder CurrentAlertResponder() { return g_responder; }

void SetAlertMode(AlertMode mode) { g_alertMode = mode; }
AlertMode GetAlertMode() { return g_alertMode; }

// The console form: the text on stderr and the answer that lets the program go on.
AlertAnswer ShowConsoleAlert(const AlertRequest& request) {
  WriteHeldOutput();
  std::fprintf(stderr, "%s: %s\n", request.title, request.text);
  std::fflush(stderr);
  switch (request.buttons) {
    case AlertButtons::AbortRetryIgnore: return AlertAnswer::Ignore;
    case AlertButtons::Ok:
    case AlertButtons::OkCancel: return AlertAnswer::Ok;
  }
  return AlertAnswer::Ok;
}

}  // namespace zentor::platform
