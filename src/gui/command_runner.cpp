#include "gui/command_runner.h"

#include "command/grammar_object.h"
#include "console/char_channel.h"
#include "console/command_reader.h"
#include "console/output_writer.h"
#include "core/dv_error.h"
#include "core/busy_pump.h"
#include "core/hi_service.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

struct CaptureState {
  char* buffer = nullptr;
  uint32_t count = 0;
  // Set once the capture is full (or its first line ended): the rest is dropped.
  bool stopped = false;
};

CaptureState g_capture;

bool IsLineEnd(char ch) { return ch == '\r' || ch == '\n'; }

void Store(char ch) {
  g_capture.buffer[g_capture.count++] = ch;
  g_capture.stopped = false;
}

void Stop() {
  g_capture.buffer[CommandRunner::kCaptureLimit] = '\0';
  g_capture.stopped = true;
}

}  // namespace

void CommandRunner::CaptureAll(char ch) {
  if (g_capture.count == kCaptureLimit || g_capture.stopped) return Stop();
  Store(IsLineEnd(ch) ? ' ' : ch);
}

void CommandRunner::CaptureFirstLine(char ch) {
  if (IsLineEnd(ch) || g_capture.count == kCaptureLimit || g_capture.stopped) return Stop();
  Store(ch);
}

// 1. Refused before the GUI is ready.
// 2. Busy cursor; the capture starts empty with the chosen hook.
// 3. The text runs as one command line; its status is the result.
// 4. The hook goes, the command input is reset, the capture is ended by a NUL.
DVErrorCode* CommandRunner::Run(DVErrorCode* result, int32_t firstLineOnly, const char* text, char* buffer) {
  *result = DVErrorCode();
  if (!GuiReadyFlag()) {
    *result = DVErrorCode(kMsgToolNotInitialized, kSeverityWarning);
    return result;
  }
  BeginBusyCursor();
  g_capture = CaptureState{buffer, 0, false};
  OutputWriter::InstallHook(firstLineOnly == 0 ? &CommandRunner::CaptureAll : &CommandRunner::CaptureFirstLine);
  uint16_t resultKind = 0;
  uint8_t value[ValueStack::kMaxItemSize];
  const DVErrorCode status = ExecuteText(text, kProductionCommand, &resultKind, value);
  OutputWriter::RemoveHook();
  ResetCommandInput();
  CharChannel::Clear();
  buffer[g_capture.count] = '\0';
  g_capture = CaptureState{};
  EndBusyCursor();
  *result = status;
  return result;
}

}  // namespace zentor
