#include "console/console_services.h"

#include "console/char_channel.h"
#include "console/cleanup_stack.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "console/console_bridge.h"
#include "console/console_question.h"
#include "console/file_channel.h"
#include "console/line_editor.h"
#include "console/macro_device.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "console/temp_files.h"
#include "core/error_display.h"

namespace zentor {
namespace {

class ConsoleErrorOutput final : public ErrorOutput {
 public:
  void DiscardInputLine() override { zentor::DiscardInputLine(); }
  void WriteString(const char* text) override { OutputWriter::WriteString(text); }
  void FreshLine() override { OutputWriter::FreshLine(); }
};

}  // namespace

void InstallConsoleServices() {
  static ConsoleErrorOutput errorOutput;
  InstallErrorOutput(&errorOutput);
  static ConsoleQuestionOnInput question;
  InstallConsoleQuestion(&question);
}

void ResetConsoleRuntime() {
  ResetConsoleBridge();
  LogFile::Close();
  ResetInputChannels();
  TempFileTable::DeleteAll();
  OutputWriter::Reset();
  Pager::Reset();
  LineEditor::Reset();
  FileChannel::ResetFlags();
  CleanupStack::Clear();
  InitCommandReader();
  ResetCommandInput();
  SetLineConsumed(false);
  while (CompoundLevel() > 0) LeaveCompound();
  SetEchoColumn(0);
  SetPromptTestOption(false);
  ClearMacroText();
  if (CharChannel::IsCreated()) {
    CharChannel::Clear();
  } else {
    CharChannel::Create();
  }
}

}  // namespace zentor
