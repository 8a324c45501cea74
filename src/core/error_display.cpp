#include "core/error_display.h"

#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/installed_service.h"
#include "core/message_table.h"

#include "core/startup_settings_words.h"
#include "core/viewpoint_manager.h"
#include "core/window_layer.h"
#include "platform/held_output.h"

#include <cstdio>
#include <cstring>

namespace zentor {
namespace {

// Before the console is installed errors go to the standard output; this tells
// whether its last line is ended.
bool g_standardOutputAtLineStart = true;

InstalledService<ErrorOutput> g_output;

uint32_t BatchWord() { return GetStartupSettingsWords().m_batch; }

// Window types whose focus sends an error to a message box: dialogs and controls,
// where the Command window's output would go unseen.
bool FocusWantsMessageBox(int32_t windowType) {
  return windowType == 0 || windowType == 1 || windowType == 3 || (windowType >= 5 && windowType <= 16);
}

void WriteMessageLine(uint32_t number) {
  char buffer[kMessageLoadBufferSize];
  WindowLayer::LoadResourceString(number, buffer, sizeof buffer);
  g_output.Get().WriteString(buffer);
  g_output.Get().FreshLine();
}

}  // namespace

ErrorOutput::~ErrorOutput() = default;
void ErrorOutput::DiscardInputLine() {}

void ErrorOutput::WriteString(const char* text) {
  if (text == nullptr || *text == '\0') return;
  platform::WriteHeldOutput();
  std::fputs(text, stdout);
  g_standardOutputAtLineStart = text[std::strlen(text) - 1] == '\n';
}

void ErrorOutput::FreshLine() {
  if (!g_standardOutputAtLineStart) std::fputc('\n', stdout);
  g_standardOutputAtLineStart = true;
  std::fflush(stdout);
}

ErrorOutput* InstallErrorOutput(ErrorOutput* output) { return g_output.Install(output); }

RWCString ExpandMessageText(const char* templateText, const RWCString* arguments, uint32_t argumentCount) {
  RWCString result;
  if (templateText == nullptr) return result;
  uint32_t nextArgument = 0;
  const char* rest = templateText;
  while (const char* place = std::strstr(rest, "%s")) {
    result.append(rest, static_cast<uint32_t>(place - rest));
    if (nextArgument < argumentCount) {
      result.append(arguments[nextArgument]);
      ++nextArgument;
    } else {
      result.append(kMissingPlaceText);
    }
    rest = place + 2;
  }
  result.append(rest);
  return result;
}

void PrintInternalErrorNotice() {
  WriteMessageLine(kMsgInternalNoticeFailed);
  WriteMessageLine(kMsgInternalNoticeUnreliable);
}

RWCString DVError::Header() const {
  RWCString header(SeverityName(m_severity));
  header.append(" #");
  char digits[16];
  std::snprintf(digits, sizeof digits, "%lu", static_cast<unsigned long>(m_number));
  header.append(digits);
  // Raw values are compared: the header must not ask the target anything.
  if (m_stamp.Value() != GetBaseViewpoint().Value()) {
    header.append(" in ");
    header.append(ViewpointManager::DisplayNameOf(m_stamp.Value(), true));
  }
  return header;
}

RWCString DVError::Text() const {
  char buffer[kMessageLoadBufferSize];
  if (WindowLayer::LoadResourceString(m_number, buffer, sizeof buffer) == 0) {
    WindowLayer::LoadResourceString(kMsgNoTextForError, buffer, sizeof buffer);
  }
  return ExpandMessageText(buffer, m_arguments.data(), m_argumentCount);
}

// A command a window started is the user's command as much as a typed one: its errors
// go with its output, whatever window the press left the focus on.
uint32_t DVError::ChooseDisplayMode() {
  uint32_t mode = kDisplayCommandOutput;
  int32_t focus = WindowLayer::GetFocusWindow();
  if (focus != -1 && !IsWindowCommandRunning() && FocusWantsMessageBox(WindowLayer::GetWindowType(focus))) {
    mode = kDisplayMessageBox;
  }
  if (m_severity == kSeverityFatal) mode = kDisplayMessageBox;
  if (BatchWord() == 1) mode = kDisplayCommandOutput;
  m_displayMode = mode;
  return mode;
}

uint32_t DVError::MessageBoxStyle() const {
  if (m_severity == kSeverityWarning) return kMessageBoxWarningAlso;
  if (m_severity == kSeverityFatal) return kMessageBoxError;
  return kMessageBoxWarning;
}

void DVError::Report() {
  Validate();
  if (m_displayed != 0 || m_displayMode == kDisplayNone || m_number == 0) return;
  m_displayed = 1;
  // LastError keeps the mode as raised, before it is settled below.
  LastError() = *this;
  // Without windows there is no status line to show a message in.
  if (m_displayMode == kDisplayStatusLine && IsConsoleMode()) m_displayMode = kDisplayByFocus;
  if (m_displayMode == kDisplayByFocus) ChooseDisplayMode();
  Display();
}

// 1. Build the header, the text and the one-line form of both.
// 2. Command output: drop the rest of the input line, beep unless in batch, print the
//    internal notice first for an INTERNAL ERROR; syntax errors 103 and 104 carry the
//    echoed input with the caret, so they print their text alone (and become 102);
//    every other error prints its header and its text on lines of their own.
// 3. Status line: the text alone, as a transient message.
// 4. Message box: beep, then the one-line form in a box of the severity's kind.
void DVError::Display() {
  RWCString header = Header();
  RWCString text = Text();
  if (m_displayMode == kDisplayCommandOutput) {
    g_output.Get().DiscardInputLine();
    if (BatchWord() == 0) WindowLayer::Beep();
    if (m_severity == kSeverityInternal) PrintInternalErrorNotice();
    if (m_severity == kSeveritySyntax &&
        (m_number == kMsgSyntaxCaretAfter || m_number == kMsgSyntaxCaretBefore)) {
      m_number = kMsgSyntaxErrorGeneric;
      g_output.Get().WriteString(text.data());
      g_output.Get().FreshLine();
    } else {
      g_output.Get().FreshLine();
      g_output.Get().WriteString(header.data());
      g_output.Get().FreshLine();
      g_output.Get().WriteString(text.data());
      g_output.Get().FreshLine();
    }
  } else if (m_displayMode == kDisplayStatusLine) {
    ShowStatusMessage(text.data());
  } else if (m_displayMode == kDisplayMessageBox) {
    WindowLayer::Beep();
    RWCString line = header + ": " + text;
    WindowLayer::ShowMessageBox(WindowLayer::GetFocusWindow(), MessageBoxStyle(), line.data());
  }
  m_displayed = 1;
}

}  // namespace zentor
