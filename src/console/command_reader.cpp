#include "console/command_reader.h"

#include <cstring>
#include <vector>

#include "console/cleanup_stack.h"
#include "console/command_device.h"
#include "console/include_device.h"
#include "console/macro_device.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/token_record.h"
#include "core/viewpoint_manager.h"

namespace zentor {
namespace {

constexpr uint32_t kMsgRefusedInCompound = 83;
// Ctrl+R reads as a line end that is neither stored, echoed nor captured.
constexpr uint8_t kLineEndMark = 0x12;

// One open capture: where its block begins in the copy buffer and the deepest device
// whose characters it takes. Kept here rather than on the value stack, so marks are
// full 32-bit positions.
struct CaptureFrame {
  uint32_t mark;
  uint16_t depthLimit;
};

struct ReaderState {
  uint8_t currentChar = '\n';
  bool echo = true;
  uint16_t echoColumn = 0;
  uint8_t nestingLevel = 0;
  bool doubledPrompt = false;
  bool lineConsumed = false;
  bool restart = true;
  bool testOption = false;
  // The viewpoint text the last prompt printed (empty with the "test" option).
  char promptViewpoint[ViewpointManager::kMaxDisplayNameLength + 3] = {};
  MemoryFileHandle commandText = kNullMemoryFile;
  MemoryFileHandle copyBuffer = kNullMemoryFile;
  uint32_t captureMark = 0;
  uint16_t captureDepthLimit = 0;
  std::vector<CaptureFrame> captures;
};

ReaderState g_reader;

MemoryFile& FileOf(MemoryFileHandle& handle) {
  if (handle == kNullMemoryFile) ThrowIfMemoryFileError(CreateMemoryFile(-1, 1, &handle));
  return MemoryFileOf(handle);
}

void Empty(MemoryFileHandle& handle) {
  FileOf(handle).Clear();
}

void Append(MemoryFileHandle& handle, uint8_t ch) {
  MemoryFile& file = FileOf(handle);
  ThrowIfMemoryFileError(file.Seek(file.Size()));
  ThrowIfMemoryFileError(file.Write(1, 1, &ch));
}

bool IsCaptureOpen() { return !g_reader.captures.empty(); }

}  // namespace

void InitCommandReader() {
  InitCommandDevices();
  FileOf(g_reader.commandText);
  FileOf(g_reader.copyBuffer);
  SelectConsoleDevice();
}

// 1. The current device delivers a character, or its end: the device ends and the
//    character saved with the device below is current again.
// 2. Ctrl+R becomes a line end and goes nowhere else.
// 3. Any other character goes into the command text (console level only), is
//    echoed (unless a macro expansion is open anywhere on the stack) and captured.
void ReadNextChar() {
  CommandDevice& device = CurrentDevice();
  uint8_t ch = 0;
  if (!device.read(&ch)) {
    EndDevice();
    return;
  }
  if (ch == kLineEndMark) {
    g_reader.currentChar = '\n';
    return;
  }
  g_reader.currentChar = ch;
  if (g_reader.restart) Empty(g_reader.commandText);
  if (DeviceStackDepth() == 0) Append(g_reader.commandText, ch);
  g_reader.restart = false;
  if (g_reader.echo && MacroExpansionDevice().openInstances == 0) CurrentDevice().echo();
  if (IsCaptureOpen() && DeviceStackDepth() <= g_reader.captureDepthLimit) Append(g_reader.copyBuffer, ch);
}

uint8_t CurrentChar() { return g_reader.currentChar; }
void SetCurrentChar(uint8_t ch) { g_reader.currentChar = ch; }

void PrintPrompt() {
  if (g_reader.echo) {
    g_reader.echoColumn = 0;
    g_reader.promptViewpoint[0] = '\0';
    if (!g_reader.testOption) {
      char* name = g_reader.promptViewpoint;
      FormatViewpointName(GetCurrentViewpointValue(), name, sizeof g_reader.promptViewpoint, true);
      OutputWriter::WriteString(name);
      g_reader.echoColumn = static_cast<uint16_t>(std::strlen(name));
    }
    g_reader.echoColumn = static_cast<uint16_t>(g_reader.echoColumn + g_reader.nestingLevel);
    for (uint8_t level = 0; level < g_reader.nestingLevel; ++level) OutputWriter::PutChar('.');
    const bool running = ViewpointManager::RunStateOf(CurrentViewpoint()) == ViewpointManager::kRunStateRunning;
    const char promptChar = running ? '?' : '>';
    OutputWriter::PutChar(promptChar);
    if (g_reader.doubledPrompt) {
      ++g_reader.echoColumn;
      OutputWriter::PutChar(promptChar);
      g_reader.doubledPrompt = false;
    }
    OutputWriter::MarkPromptWritten();
  }
  Pager::Flush();
}

void DiscardInputLine() {
  if (g_reader.lineConsumed) {
    g_reader.lineConsumed = false;
    return;
  }
  while (g_reader.currentChar != '\n') ReadNextChar();
}

void PrepareCommandInput() {
  g_reader.nestingLevel = 0;
  g_reader.doubledPrompt = false;
  DiscardInputLine();
  ClearMacroText();
  g_reader.restart = true;
  g_reader.captureMark = 0;
}

void RepromptAfterDiscard() {
  g_reader.doubledPrompt = true;
  DiscardInputLine();
  PrintPrompt();
}

void ResetCommandInput() {
  // The reset must complete: a file that fails to close is forgotten all the same.
  if (IsIncludeFileOpen()) {
    try {
      IncludeClose();
    } catch (const DVError&) {
      AbandonIncludeFile();
    }
  }
  ResetCommandDevices();
  Empty(g_reader.copyBuffer);
  Empty(g_reader.commandText);
  g_reader.echo = true;
  g_reader.captures.clear();
  g_reader.captureMark = 0;
  g_reader.captureDepthLimit = 0;
  g_reader.currentChar = '\n';
  g_reader.restart = true;
}

void RecoverFromUserBreak() {
  CleanupStack::RunAll();
  ResetCommandInput();
}

void EnterCompound() {
  if (g_reader.nestingLevel < 0xFF) ++g_reader.nestingLevel;
}

void LeaveCompound() {
  if (g_reader.nestingLevel > 0) --g_reader.nestingLevel;
}

void RefuseInCompound() {
  if (g_reader.nestingLevel != 0) throw DVError(kMsgRefusedInCompound, kSeverityError, kDisplayByFocus);
}

uint8_t CompoundLevel() { return g_reader.nestingLevel; }

void SetLineConsumed(bool consumed) { g_reader.lineConsumed = consumed; }

// 1. A failed command undoes the capture through the command-end routine.
// 2. The outer capture's mark and depth limit are kept; the new block starts with the
//    character already read, which an outer capture already holds.
void BeginCapture() {
  CleanupStack::Push(&CaptureUnwind);
  g_reader.captures.push_back(CaptureFrame{g_reader.captureMark, g_reader.captureDepthLimit});
  MemoryFile& copy = FileOf(g_reader.copyBuffer);
  g_reader.captureMark = copy.Size();
  if (g_reader.captures.size() == 1) {
    Append(g_reader.copyBuffer, g_reader.currentChar);
  } else if (g_reader.captureMark > 0) {
    --g_reader.captureMark;
  }
  g_reader.captureDepthLimit = DeviceStackDepth();
}

// The look-ahead token and the current character were read past the block's end and
// stay out of it.
void EndCapture(EmbeddedBlockEmitter emit) {
  MemoryFile& copy = FileOf(g_reader.copyBuffer);
  const uint32_t size = copy.Size();
  const uint32_t trailing = static_cast<uint32_t>(CurrentToken().textLength) + 1;
  const uint32_t mark = g_reader.captureMark <= size ? g_reader.captureMark : size;
  const uint32_t length = size - mark > trailing ? size - mark - trailing : 0;
  ThrowIfMemoryFileError(copy.Seek(mark));
  if (emit != nullptr) ThrowIfMemoryFileError(emit(g_reader.copyBuffer, length));
  ThrowIfMemoryFileError(copy.Seek(copy.Size()));
  CaptureUnwind();
  CleanupStack::Drop();
}

void CaptureUnwind() {
  if (g_reader.captures.empty()) return;
  const CaptureFrame outer = g_reader.captures.back();
  g_reader.captures.pop_back();
  g_reader.captureMark = outer.mark;
  g_reader.captureDepthLimit = outer.depthLimit;
  if (g_reader.captures.empty()) {
    Empty(g_reader.copyBuffer);
  } else if (g_reader.captureDepthLimit > DeviceStackDepth()) {
    g_reader.captureDepthLimit = DeviceStackDepth();
  }
}

uint16_t CaptureCount() { return static_cast<uint16_t>(g_reader.captures.size()); }
void SetCaptureDepthLimit(uint16_t depth) { g_reader.captureDepthLimit = depth; }

bool IsEchoOn() { return g_reader.echo; }
void SetEchoOn(bool on) { g_reader.echo = on; }
uint16_t EchoColumn() { return g_reader.echoColumn; }
void SetEchoColumn(uint16_t column) { g_reader.echoColumn = column; }
void SetDoubledPrompt() { g_reader.doubledPrompt = true; }
void SetPromptTestOption(bool on) { g_reader.testOption = on; }
bool PromptTestOption() { return g_reader.testOption; }
const char* LastPromptViewpointText() { return g_reader.promptViewpoint; }
void SetRestartFlag() { g_reader.restart = true; }

MemoryFileHandle CommandText() {
  FileOf(g_reader.commandText);
  return g_reader.commandText;
}

MemoryFileHandle CopyBuffer() {
  FileOf(g_reader.copyBuffer);
  return g_reader.copyBuffer;
}

}  // namespace zentor
